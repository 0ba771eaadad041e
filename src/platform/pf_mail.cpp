#include "platform/pf_mail.h"

#include <atomic>

namespace {

class no_mail_system : public pf_mail_system {
public:
    std::unique_ptr<pf_mail_library> load(const std::string&) override { return nullptr; }
};

no_mail_system default_system;
std::atomic<pf_mail_system*> installed{nullptr};

}  // namespace

pf_mail_system& pf_mail() {
    pf_mail_system* s = installed.load();
    return s ? *s : default_system;
}

pf_mail_system* pf_set_mail_system(pf_mail_system* system) { return installed.exchange(system); }
