#pragma once
// A private database on the test server for one test: created through the
// engine before the test, dropped after it. peer() reads it back through a
// connection of its own, as another session would.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include <pqxx/pqxx>

#include "postgres/pgs_db.h"
#include "postgres/pgs_engi.h"
#include "postgres/pgs_pqxx.h"
#include "support/test_servers.h"
#include "udb/udb_rec.h"
#include "udb/udb_sche.h"

class pgs_db_test : public ::testing::Test {
protected:
    void SetUp() override {
        m_server = pg_test_server();
        static std::atomic<int> counter{0};
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        m_db_utf8 = "vek_pgsb_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
                    std::to_string(now % 1000000);
        m_engine = std::make_unique<pgs_engine>();
        m_engine->connect(m_server.host, m_server.user, m_server.password, "postgres", m_server.port);
        m_db = m_engine->create_db_exist(db_name());
    }
    void TearDown() override {
        m_db.reset();
        if (m_engine) {
            try {
                m_engine->deletes_db(db_name());
            } catch (const std::exception& e) {
                ADD_FAILURE() << "cannot drop test database: " << e.what();
            }
        }
        m_engine.reset();
    }

    std::wstring db_name() const { return std::wstring(m_db_utf8.begin(), m_db_utf8.end()); }

    // Another session on the test database.
    pqxx::result peer(const std::string& sql) {
        pqxx::connection c(pg_connection_string(m_server, m_db_utf8));
        pqxx::nontransaction tx(c);
        return tx.exec(sql);
    }
    long long peer_count(const std::string& table) {
        return peer("SELECT count(*) FROM " + table)[0][0].as<long long>();
    }
    // The database object again, reading the table list afresh.
    void reopen() {
        m_db.reset();
        m_db = m_engine->open_db(db_name());
    }

    static std::unique_ptr<t_ftd> column(const wchar_t* name, std::uint16_t vt, std::uint32_t size = 0,
                                         bool not_null = false, std::uint32_t reserved = 0) {
        return std::make_unique<t_ftd>(size, udb_name(name), vt, not_null, false, ole_variant(), reserved);
    }
    static udb_record record_of(const udb_schema& s, std::vector<ole_variant> values) {
        udb_record r(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            const t_ftd* c = i < s.size() ? s[i] : s[0];
            r.emplace(c->name, c->size, std::move(values[i]), c->b_not_null != 0, false);
        }
        return r;
    }

    server_address m_server;
    std::string m_db_utf8;
    std::unique_ptr<pgs_engine> m_engine;
    std::unique_ptr<pgs_database> m_db;
};
