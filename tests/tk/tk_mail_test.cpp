#include "tk/tk_mail.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
// libstdc++'s regex trips GCC 12's maybe-uninitialized under the sanitizers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop

#include "support/trace_capture.h"
#include "tk/tk_log.h"

namespace {

struct sent_mail {
    std::optional<pf_mail_message> message;
    ULONG flags = 99;
    bool freed = false;
};

// A mail library that records what it is given and, like some mail
// clients, moves the current directory while sending.
class fake_library : public pf_mail_library {
public:
    fake_library(sent_mail& out, bool exports, std::string wander)
        : m_out(out), m_exports(exports), m_wander(std::move(wander)) {}
    ~fake_library() override { m_out.freed = true; }
    bool has_send_mail() const override { return m_exports; }
    ULONG send_mail(const pf_mail_message& message, ULONG flags) override {
        m_out.message = message;
        m_out.flags = flags;
        if (!m_wander.empty() && ::chdir(m_wander.c_str()) != 0) ADD_FAILURE();
        return 17;
    }

private:
    sent_mail& m_out;
    bool m_exports;
    std::string m_wander;
};

class fake_mail : public pf_mail_system {
public:
    std::unique_ptr<pf_mail_library> load(const std::string& name) override {
        loaded = name;
        return std::make_unique<fake_library>(sent, exports, wander);
    }
    sent_mail sent;
    std::string loaded;
    bool exports = true;
    std::string wander;
};

class TkSendBug : public testing::Test {
protected:
    std::string trace() const { return log.text(); }
    trace_capture log{2};
};

}  // namespace

TEST_F(TkSendBug, HandsTheReportToTheMailLibrary) {
    fake_mail mail;
    mail.wander = "/";
    const auto before = std::filesystem::current_path();
    tk_send_bug("agent 1.0", "line one\nline two", mail);
    EXPECT_EQ(std::filesystem::current_path(), before);

    EXPECT_EQ(mail.loaded, "MAPI32.DLL");
    ASSERT_TRUE(mail.sent.message);
    const pf_mail_message& m = *mail.sent.message;
    EXPECT_EQ(mail.sent.flags, 0u);
    EXPECT_EQ(m.subject, "Bug report on agent 1.0");
    EXPECT_EQ(m.note_text, "line one\nline two");
    EXPECT_TRUE(m.message_type.empty());
    EXPECT_TRUE(m.conversation_id.empty());
    EXPECT_TRUE(std::regex_match(m.date_received, std::regex(R"(\d{4}/[1-9]\d?/[1-9]\d? \d{1,2}:\d{1,2})")))
        << m.date_received;
    EXPECT_EQ(m.flags, PF_MAPI_UNREAD);
    EXPECT_EQ(m.originator.recip_class, PF_MAPI_ORIG);
    EXPECT_TRUE(m.originator.name.empty() && m.originator.address.empty());
    ASSERT_EQ(m.recipients.size(), 1u);
    EXPECT_EQ(m.recipients[0].recip_class, PF_MAPI_TO);
    EXPECT_TRUE(m.recipients[0].name.empty());
    EXPECT_EQ(m.recipients[0].address, tk_bug_report_address);
    EXPECT_EQ(m.recipients[0].address.rfind("mailto:", 0), 0u);
    EXPECT_TRUE(m.files.empty());
    EXPECT_TRUE(mail.sent.freed);
    EXPECT_EQ(trace(), "tk_send_bug(agent 1.0|line one\\nline two)\r\nlpfnMAPISendMail returns 17\r\n");
}

TEST_F(TkSendBug, LibraryWithoutTheExportSendsNothing) {
    fake_mail mail;
    mail.exports = false;
    tk_send_bug("x", "y", mail);
    EXPECT_FALSE(mail.sent.message);
    EXPECT_TRUE(mail.sent.freed);
    EXPECT_EQ(trace(), "tk_send_bug(x|y)\r\n");
}

TEST_F(TkSendBug, WithoutAMailLibraryOnlyATraceLine) {
    const auto before = std::filesystem::current_path();
    tk_send_bug("x", "y");  // the default system has no mail library
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_EQ(trace(), "tk_send_bug(x|y)\r\nFailed to locate MAPI32.DLL\r\n");
}
