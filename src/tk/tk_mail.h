#pragma once
// The bug report: a mail with the report's text handed to the user's mail
// client. Reports only through the trace; never throws.
#include <string>

#include "platform/pf_mail.h"

// Where bug reports go, in mailto form.
extern const char* const tk_bug_report_address;

// Subject "Bug report on " + suffix. The current directory is the same
// afterwards, whatever the mail client does with it.
void tk_send_bug(const std::string& suffix, const std::string& body) noexcept;
void tk_send_bug(const std::string& suffix, const std::string& body, pf_mail_system& mail) noexcept;

// The local time as "%d/%d/%d %d:%d" (year, month, day, hour, minute);
// empty when the clock cannot be read.
std::string tk_mail_date_text();
