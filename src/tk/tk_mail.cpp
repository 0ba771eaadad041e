#include "tk/tk_mail.h"

#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>

#include "tk/tk_log.h"
#include "tk/tk_utils.h"

const char* const tk_bug_report_address = "mailto:bugs@quorvane.example";

std::string tk_mail_date_text() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || !::localtime_r(&now, &local)) return std::string();
    char text[64];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min);
    return text;
}

void tk_send_bug(const std::string& suffix, const std::string& body) noexcept { tk_send_bug(suffix, body, pf_mail()); }

void tk_send_bug(const std::string& suffix, const std::string& body, pf_mail_system& mail) noexcept {
    try {
        tk_trace(2, "tk_send_bug(%s|%s)", suffix.c_str(), body.c_str());
        pf_mail_message message;
        message.subject = "Bug report on " + suffix;
        message.note_text = body;
        message.date_received = tk_mail_date_text();
        message.flags = PF_MAPI_UNREAD;
        pf_mail_recipient to;
        to.recip_class = PF_MAPI_TO;
        to.address = tk_bug_report_address;
        message.recipients.push_back(std::move(to));

        // Mail clients are known to move the current directory.
        tk_cur_dir keep(".");
        std::unique_ptr<pf_mail_library> library = mail.load("MAPI32.DLL");
        if (!library) {
            tk_trace(2, "Failed to locate MAPI32.DLL");
            return;
        }
        if (library->has_send_mail()) {
            const ULONG result = library->send_mail(message, 0);
            tk_trace(2, "lpfnMAPISendMail returns %d", static_cast<int>(result));
        }
    } catch (const std::exception& e) {
        tk_trace(2, "tk_send_bug: %s", e.what());
    } catch (...) {
        tk_trace(2, "tk_send_bug: unknown failure");
    }
}
