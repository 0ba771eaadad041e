#pragma once
// A converter connected to the private test servers, with a fresh MySQL
// source database and a PostgreSQL destination name of its own; both are
// dropped at the end.
#include <gtest/gtest.h>
#include <mysql.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <pqxx/pqxx>
#include <string>
#include <vector>

#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "converter/err_map.h"
#include "converter/fake_dlg.h"
#include "support/test_servers.h"
#include "tk/tk_utils.h"

using cells = std::vector<std::optional<std::string>>;  // nullopt: SQL NULL
using rows = std::vector<cells>;

class mysql_session {
public:
    mysql_session() : m_db(mysql_init(nullptr)) {
        const server_address s = mysql_test_server();
        unsigned int protocol = MYSQL_PROTOCOL_TCP;
        mysql_options(m_db, MYSQL_OPT_PROTOCOL, &protocol);
        if (!mysql_real_connect(m_db, s.host.c_str(), s.user.c_str(), s.password.c_str(), nullptr,
                                static_cast<unsigned>(s.port), nullptr, 0))
            throw std::runtime_error(mysql_error(m_db));
        exec("SET NAMES utf8mb4");
    }
    ~mysql_session() { mysql_close(m_db); }
    void exec(const std::string& sql) {
        if (mysql_query(m_db, sql.c_str()) != 0) throw std::runtime_error(sql + ": " + mysql_error(m_db));
        if (MYSQL_RES* r = mysql_store_result(m_db)) mysql_free_result(r);
    }

private:
    MYSQL* m_db;
};

inline rows pg_rows(const std::string& db, const std::string& sql) {
    try {
        pqxx::connection c(pg_connection_string(pg_test_server(), db));
        pqxx::nontransaction w(c);
        const pqxx::result r = w.exec(sql);
        rows out;
        for (const auto& row : r) {
            cells line;
            for (const auto& f : row) line.push_back(f.is_null() ? std::nullopt : std::optional<std::string>(f.c_str()));
            out.push_back(line);
        }
        return out;
    } catch (const pqxx::pqxx_exception& e) {
        throw std::runtime_error(sql + ": " + e.base().what());
    }
}

inline void pg_exec(const std::string& db, const std::string& sql) { pg_rows(db, sql); }

// The tables of the destination's public schema, in name order.
inline std::vector<std::string> pg_tables(const std::string& db) {
    std::vector<std::string> out;
    for (const cells& c : pg_rows(db, "SELECT tablename FROM pg_tables WHERE schemaname='public' ORDER BY 1"))
        out.push_back(*c[0]);
    return out;
}

class conversion_test : public ::testing::Test {
protected:
    conversion_test() : handler(pgs_error_map) {
        handler.load_err_map(mysql_error_map);
        handler.set_dialogs(&dlg);
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::string tag = std::to_string(getpid()) + "_" + std::to_string(std::hash<std::string>{}(test) % 100000);
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
    ~conversion_test() override {
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
    rows dest(const std::string& sql) { return pg_rows(dest_name, sql); }
    void select(std::vector<std::wstring> tables) { conv->selected_tables = std::move(tables); }
    void run() { (*conv)(); }

    mysql_session my;
    scripted_dialogs dlg;
    error_handler handler;
    std::string src_name;
    std::string dest_name;
    std::unique_ptr<dravik_convertor> conv;
};
