#pragma once
// A converter connected to the private test servers, with a fresh MySQL
// source database and a PostgreSQL destination name of its own; both are
// dropped at the end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "converter/err_map.h"
#include "converter/fake_dlg.h"
#include "support/test_db.h"
#include "support/test_servers.h"
#include "tk/tk_utils.h"

using cells = std::vector<db_cell>;  // nullopt: SQL NULL
using rows = db_rows;

class ConversionTest : public ::testing::Test {
protected:
    ConversionTest() : handler(pgs_error_map) {
        handler.load_err_map(mysql_error_map);
        handler.set_dialogs(&dlg);
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::string tag =
            std::to_string(getpid()) + "_" + std::to_string(std::hash<std::string>{}(test) % 100000);
        src_name = "cvs_" + tag;
        dest_name = "cvd_" + tag;
        my.exec("DROP DATABASE IF EXISTS " + src_name);
        my.exec("CREATE DATABASE " + src_name + " CHARACTER SET utf8mb4");
        my.exec("USE " + src_name);
        drop_dest();

        conv = std::make_unique<dravik_convertor>(handler, converter_form::agent);
        const server_address m = mysql_test_server();
        const server_address p = pg_test_server();
        conv->store_mysql_settings(m.host, m.user, m.password, std::to_string(m.port));
        conv->store_pgs_settings(p.host, p.user, p.password, static_cast<unsigned>(p.port));
        conv->connect_pgs_server();
        conv->connect_mysql_server();
        conv->src = tk_utf8_to_unicode(src_name);
        conv->dest = tk_utf8_to_unicode(dest_name);
    }
    ~ConversionTest() override {
        conv.reset();
        try {
            my.exec("DROP DATABASE IF EXISTS " + src_name);
            drop_dest();
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
    void drop_dest() { pg_exec("postgres", "DROP DATABASE IF EXISTS " + dest_name + " WITH (FORCE)"); }
    void create_dest() { pg_exec("postgres", "CREATE DATABASE " + dest_name); }
    rows dest(const std::string& sql) { return pg_query(dest_name, sql); }
    void select(std::vector<std::wstring> tables) { conv->selected_tables = std::move(tables); }
    void run() { (*conv)(); }

    mysql_admin my;
    scripted_dialogs dlg;
    error_handler handler;
    std::string src_name;
    std::string dest_name;
    std::unique_ptr<dravik_convertor> conv;
};
