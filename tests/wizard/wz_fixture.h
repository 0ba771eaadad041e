#pragma once
// The wizard as the program builds it (converter in its wizard form, the
// program's shell and pages) on the scripted presenter, with a registry of
// its own for each test.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "converter/err_map.h"
#include "converter/fake_dlg.h"
#include "gui2/g_fixture.h"
#include "gui2/g_shot.h"
#include "support/test_servers.h"
#include "tk/tk_utils.h"
#include "wizard/pg_conn.h"
#include "wizard/pg_welc.h"
#include "wizard/vek_ids.h"
#include "wizard/vek_shel.h"

class WizardTest : public ::testing::Test {
protected:
    static constexpr int welcome_index = 0, mysql_index = 1, pgs_index = 2, databases_index = 3, tables_index = 4,
                         views_index = 5, run_index = 6;

    WizardTest() : handler(pgs_error_map) {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        registry = std::filesystem::temp_directory_path() / ("wz_reg_" + std::to_string(getpid()) + "_" +
                                                             std::to_string(std::hash<std::string>{}(test) % 100000));
        std::filesystem::remove_all(registry);
        setenv("VEK_REGISTRY_DIR", registry.c_str(), 1);
        handler.load_err_map(mysql_error_map);
        handler.set_dialogs(&dialogs);
        gui.dispatcher.set_error_handler(&handler);
    }
    ~WizardTest() override {
        shell.reset();
        conv.reset();
        unsetenv("VEK_REGISTRY_DIR");
        std::filesystem::remove_all(registry);
    }

    // Builds the converter (which reads the registry), the shell and the
    // pages, and shows the welcome page.
    void start() {
        conv = std::make_unique<dravik_convertor>(handler, converter_form::wizard);
        shell = std::make_unique<vek_shell>(gui.services());
        shell->set_help_dir(VEK_HELP_DIR);
        vek_add_pages(*shell, *conv, handler);
        ASSERT_TRUE(shell->open());
    }

    wizard_page& page(int index) { return shell->page(index); }
    g_controls& controls(int index) { return page(index).controls(); }
    // Goes from the welcome page to a connection page (set_cur_sel_id: no
    // connection is made on the way).
    void go_to(int index) { ASSERT_TRUE(shell->set_cur_sel_id(page(index).dialog_id())); }

    // Fills a connection page as a user would.
    void fill(int index, bool remote, const std::string& host, const std::string& port, const std::string& user,
              const std::string& password) {
        g_controls& c = controls(index);
        c.as<QRadioButton>(remote ? conn_id::remote : conn_id::local).click();
        c.set_text(conn_id::host, host);
        c.set_text(conn_id::port, port);
        c.set_text(conn_id::user, user);
        c.set_text(conn_id::password, password);
    }

    std::vector<QString> box_texts() const { return gui.presenter.texts(); }

    // Connects both test servers as the connection pages would.
    void connect_servers() {
        const server_address my = mysql_test_server();
        const server_address pg = pg_test_server();
        conv->store_mysql_settings(my.host, my.user, my.password, std::to_string(my.port));
        conv->store_pgs_settings(pg.host, pg.user, pg.password, static_cast<unsigned>(pg.port));
        conv->connect_mysql_server();
        conv->connect_pgs_server();
    }

    // The wizard on both test servers with the databases page done: `src`
    // into `dest` in mode 1, views converted.
    void start_on(const std::string& src, const std::string& dest) {
        start();
        connect_servers();
        conv->src = tk_utf8_to_unicode(src);
        conv->dest = tk_utf8_to_unicode(dest);
        conv->set_mode(1);
        conv->convert_views = true;
    }

    // Serves the screen (timer ticks, the worker's boxes) until `done` holds;
    // false when `seconds` passed first.
    static bool serve_until(const std::function<bool()>& done, int seconds = 120) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            QTest::qWait(10);
        }
        return true;
    }

    // The dialog id of the page shown; 0 when none.
    int current_id() const {
        const wizard_page* p = shell ? shell->current_page() : nullptr;
        return p ? p->dialog_id() : 0;
    }

    // Waits for the run that the progress page started to end on the finish page.
    void wait_for_finish_page() {
        ASSERT_TRUE(serve_until([this] { return current_id() == vek_page::finish; })) << "the run did not end";
    }

    std::filesystem::path registry;
    gui_services gui;
    scripted_dialogs dialogs;
    error_handler handler;
    std::unique_ptr<dravik_convertor> conv;
    std::unique_ptr<vek_shell> shell;
};
