#include "tk/tk_clip.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cwchar>

#include "platform/pf_error.h"
#include "support/trace_capture.h"
#include "tk/tk_log.h"

namespace {

class fake_clipboard : public pf_clipboard {
public:
    bool open() override {
        calls += "open ";
        if (!opens) pf_set_last_error(EACCES);
        return opens;
    }
    void empty() override { calls += "empty "; }
    void set_unicode_text(pf_clip_block block) override {
        calls += "set ";
        held = std::move(block);
    }
    void close() override { calls += "close"; }

    bool opens = true;
    std::string calls;
    pf_clip_block held;
};

class TkClipboard : public testing::Test {
protected:
    std::string trace() const { return log.text(); }
    trace_capture log{2};
};

}  // namespace

TEST_F(TkClipboard, HoldsExactlyTheTextAfterACopy) {
    fake_clipboard clip;
    {
        std::wstring text = L"Error \u00e9\U0001F600\ttab";
        tk_copy_to_clipboard2(text, clip);
        text.assign(text.size(), L'#');  // the clipboard's copy is its own
    }
    EXPECT_EQ(clip.calls, "open empty set close");
    ASSERT_TRUE(clip.held.text);
    const std::wstring expected = L"Error \u00e9\U0001F600\ttab";
    EXPECT_EQ(std::wstring(clip.held.text.get()), expected);
    EXPECT_EQ(clip.held.bytes, (expected.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(trace(), "tk_copy_to_clipboard2(Error \xc3\xa9\xf0\x9f\x98\x80\\ttab)\r\n"
                       "OpenClipboard succeeded\r\n");
}

TEST_F(TkClipboard, UnavailableClipboardIsATraceLineOnly) {
    fake_clipboard clip;
    clip.opens = false;
    tk_copy_to_clipboard2(L"x", clip);
    EXPECT_EQ(clip.calls, "open ");
    EXPECT_FALSE(clip.held.text);
    tk_copy_to_clipboard2(L"y");  // the default: no clipboard at all
    EXPECT_EQ(trace(), "tk_copy_to_clipboard2(x)\r\nGetLastError() returns 0000000D\r\n"
                       "tk_copy_to_clipboard2(y)\r\nGetLastError() returns 0000005F\r\n");
}
