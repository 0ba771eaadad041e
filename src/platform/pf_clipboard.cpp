#include "platform/pf_clipboard.h"

#include <atomic>
#include <cerrno>

#include "platform/pf_error.h"

namespace {

class no_clipboard : public pf_clipboard {
public:
    bool open() override {
        pf_set_last_error(ENOTSUP);
        return false;
    }
    void empty() override {}
    void set_unicode_text(pf_clip_block) override {}
    void close() override {}
};

no_clipboard default_clipboard;
std::atomic<pf_clipboard*> installed{nullptr};

}  // namespace

pf_clipboard& pf_clip() {
    pf_clipboard* c = installed.load();
    return c ? *c : default_clipboard;
}

pf_clipboard* pf_set_clipboard(pf_clipboard* clipboard) { return installed.exchange(clipboard); }
