#include "tk/tk_clip.h"

#include <cstring>
#include <exception>
#include <new>

#include "platform/pf_error.h"
#include "tk/tk_log.h"

void tk_copy_to_clipboard2(const std::wstring& text) noexcept { tk_copy_to_clipboard2(text, pf_clip()); }

void tk_copy_to_clipboard2(const std::wstring& text, pf_clipboard& clipboard) noexcept {
    try {
        tk_trace_w(2, L"tk_copy_to_clipboard2(%s)", text.c_str());
        pf_clip_block block;
        block.text.reset(new (std::nothrow) wchar_t[text.size() + 1]);
        if (!block.text) {
            tk_trace(2, "GlobalAlloc failed");
            return;
        }
        block.bytes = (text.size() + 1) * sizeof(wchar_t);
        std::memcpy(block.text.get(), text.c_str(), block.bytes);
        if (!clipboard.open()) {
            tk_trace(2, "GetLastError() returns %08X", static_cast<unsigned>(pf_last_error()));
            return;  // the block is freed here: nobody took it
        }
        tk_trace(2, "OpenClipboard succeeded");
        clipboard.empty();
        clipboard.set_unicode_text(std::move(block));
        clipboard.close();
    } catch (const std::exception& e) {
        tk_trace(2, "tk_copy_to_clipboard2: %s", e.what());
    } catch (...) {
        tk_trace(2, "tk_copy_to_clipboard2: unknown failure");
    }
}
