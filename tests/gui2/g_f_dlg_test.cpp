// The profile file dialogs.
#include "gui2/g_f_dlg.h"
#include "gui2/g_qt_pres.h"

#include <gtest/gtest.h>
#include "gui2/g_fake_pres.h"
#include "tk/tk_exc.h"

namespace {

TEST(SaveFileDialog, adds_the_extension_when_the_file_name_has_none) {
    const struct {
        const wchar_t* chosen;
        const wchar_t* stored;
    } cases[] = {
        {L"/home/u/a.vek", L"/home/u/a.vek"},
        {L"/home/u/a", L"/home/u/a.vek"},
        {L"/home/u/x.vek/a", L"/home/u/x.vek/a.vek"},  // a folder's name does not count
        {L"/home/u/x.y/a", L"/home/u/x.y/a.vek"},
        {L"/home/u/a.vek.bak", L"/home/u/a.vek.bak"},
        {L"/home/u/a.VEK", L"/home/u/a.VEK"},
        {L"/home/u/shop.txt", L"/home/u/shop.txt"},      // the user's own extension stays
        {L"/home/u/.profile", L"/home/u/.profile.vek"},  // a hidden file's leading dot is no extension
        {L"/home/u/a.", L"/home/u/a.vek"},
        {L"a", L"a.vek"},
    };
    for (const auto& c : cases) EXPECT_EQ(save_file_dialog::with_extension(c.chosen, L".vek"), c.stored) << c.chosen;
}

TEST(SaveFileDialog, takes_the_extension_with_or_without_its_dot) {
    fake_presenter presenter;
    for (const wchar_t* ext : {L"vek", L".vek"}) {
        presenter.file_answers.push_back(QString("/tmp/settings"));
        save_file_dialog dialog(presenter, nullptr, "Select Profile File", g_profile_filters(L"vek", "t", 1), L"", ext);
        ASSERT_TRUE(dialog.run());
        EXPECT_EQ(dialog.path(), L"/tmp/settings.vek");
    }
    EXPECT_THROW(save_file_dialog(presenter, nullptr, "x", {}, L"", L""), tk_mail_assertion);
}

TEST(OpenFileDialog, opens_where_the_initial_path_points_and_reports_a_cancel) {
    fake_presenter presenter;
    open_file_dialog dialog(presenter, nullptr, "Select Profile File", g_profile_filters(L"vek", "t", 1),
                            L"/srv/profiles/shop.vek");
    EXPECT_FALSE(dialog.run());
    ASSERT_EQ(presenter.file_requests.size(), 1u);
    const g_file_request& r = presenter.file_requests[0];
    EXPECT_EQ(r.title, "Select Profile File");
    EXPECT_EQ(r.directory, "/srv/profiles");
    EXPECT_EQ(r.file_name, "shop");
    ASSERT_EQ(r.filters.size(), 2u);
    // As the file dialog shows it: each pattern once.
    EXPECT_EQ(g_qt_filter(r.filters), "Profile Files (*.vek);;All Files (*)");
    EXPECT_TRUE(dialog.path().empty());
}

TEST(ProfileFilters, need_a_three_character_extension) {
    try {
        g_profile_filters(L"ve", "g_finish", 253);
        FAIL();
    } catch (const tk_exception& e) {
        EXPECT_EQ(std::string(e.what()), tk_assertion_text("g_finish", 253));
    }
}

}  // namespace
