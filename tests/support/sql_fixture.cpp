#include "support/sql_fixture.h"

#include <unistd.h>

#include <atomic>
#include <chrono>

#include "tk/tk_utils.h"

sql_engine& sql_test_engine() {
    static std::unique_ptr<sql_engine> engine;
    if (!engine) {
        engine = std::make_unique<sql_engine>();
        sql_test_connect(*engine);
    }
    if (!engine->connected()) sql_test_connect(*engine);
    return *engine;
}

void sql_test_connect(sql_engine& engine) {
    const server_address s = mysql_test_server();
    engine.connect(s.host, s.user, s.password, static_cast<unsigned>(s.port));
}

void sql_server_test::SetUp() {
    engine = &sql_test_engine();
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000;
    db = "vek_sqlt_" + std::to_string(getpid()) + "_" + std::to_string(stamp) + "_" + std::to_string(counter++);
    wdb = tk_utf8_to_unicode(db);
    engine->execute("CREATE DATABASE `" + db + "` CHARACTER SET utf8mb4");
    ASSERT_TRUE(engine->is_db_exist(wdb));
}

void sql_server_test::TearDown() {
    if (m_second) mysql_close(m_second);
    sql_engine& e = sql_test_engine();  // reconnects after a test that broke the connection
    e.execute("DROP DATABASE IF EXISTS `" + db + "`");
    // The session as the engine's connect leaves it, for the next test in this process.
    e.execute("SET SESSION FOREIGN_KEY_CHECKS = 0, SESSION sql_mode = DEFAULT");
}

void sql_server_test::exec(const std::string& sql) {
    ASSERT_TRUE(engine->is_db_exist(wdb));
    engine->execute(sql);
}

std::unique_ptr<sql_database> sql_server_test::open(int mode) {
    auto p = engine->open_db(wdb, mode);
    return std::unique_ptr<sql_database>(static_cast<sql_database*>(p.release()));
}

MYSQL* sql_server_test::second_connection() {
    if (!m_second) {
        const server_address s = mysql_test_server();
        m_second = mysql_init(nullptr);
        if (!mysql_real_connect(m_second, s.host.c_str(), s.user.c_str(), s.password.c_str(), db.c_str(),
                                static_cast<unsigned>(s.port), nullptr, 0))
            ADD_FAILURE() << mysql_error(m_second);
    }
    return m_second;
}

std::vector<std::vector<std::optional<std::string>>> sql_server_test::rows(const std::string& sql) {
    std::vector<std::vector<std::optional<std::string>>> out;
    MYSQL* m = second_connection();
    if (mysql_real_query(m, sql.data(), sql.size()) != 0) {
        ADD_FAILURE() << sql << ": " << mysql_error(m);
        return out;
    }
    const sql_result res(mysql_store_result(m));
    if (!res) return out;
    const unsigned n = mysql_num_fields(res.get());
    while (MYSQL_ROW row = mysql_fetch_row(res.get())) {
        const unsigned long* len = mysql_fetch_lengths(res.get());
        std::vector<std::optional<std::string>> r;
        for (unsigned i = 0; i < n; ++i)
            r.push_back(row[i] ? std::optional<std::string>(std::string(row[i], len[i])) : std::nullopt);
        out.push_back(std::move(r));
    }
    return out;
}

std::string sql_server_test::value(const std::string& sql) {
    const auto r = rows(sql);
    if (r.empty() || r[0].empty() || !r[0][0]) return {};
    return *r[0][0];
}

std::vector<std::string> column_texts(udb_recordset& rs, std::size_t column) {
    std::vector<std::string> out;
    for (rs.reset(); !rs.is_eof(); rs.next()) {
        udb_record* r = rs.get_item();
        if (!r) {
            ADD_FAILURE() << "null record before the end";
            break;
        }
        out.push_back((*r)[column].to_string());
    }
    return out;
}

std::unique_ptr<udb_schema> make_schema(const std::vector<schema_column>& cols) {
    auto s = std::make_unique<udb_schema>();
    for (const schema_column& c : cols)
        s->add(std::make_unique<t_ftd>(c.size, udb_name(c.name), static_cast<std::uint16_t>(c.type), c.not_null,
                                       c.auto_increment, c.def, c.subtype));
    return s;
}
