#include "support/test_db.h"

#include <pqxx/pqxx>
#include <stdexcept>

#include "sql/sql_exc.h"
#include "sql/sql_res.h"
#include "support/test_servers.h"

mysql_admin::mysql_admin() : m_db(mysql_init(nullptr)) {
    const server_address s = mysql_test_server();
    unsigned int protocol = MYSQL_PROTOCOL_TCP;
    mysql_options(m_db, MYSQL_OPT_PROTOCOL, &protocol);
    if (!mysql_real_connect(m_db, s.host.c_str(), s.user.c_str(), s.password.c_str(), nullptr,
                            static_cast<unsigned>(s.port), nullptr, 0))
        throw std::runtime_error(std::string("mysql connect: ") + mysql_error(m_db));
    exec("SET NAMES utf8mb4");
}

mysql_admin::~mysql_admin() { mysql_close(m_db); }

mysql_user_without_rights::mysql_user_without_rights(const std::string& name)
    : m_name(name), m_password("norights-" + name) {
    m_admin.exec("DROP USER IF EXISTS '" + m_admin.escape(m_name) + "'@'%'");
    m_admin.exec("CREATE USER '" + m_admin.escape(m_name) + "'@'%' IDENTIFIED BY '" + m_admin.escape(m_password) + "'");
}

mysql_user_without_rights::~mysql_user_without_rights() {
    try {
        m_admin.exec("DROP USER IF EXISTS '" + m_admin.escape(m_name) + "'@'%'");
    } catch (const std::exception&) {
        // A server already gone takes the account with it.
    }
}

void mysql_admin::exec(const std::string& sql) {
    if (mysql_real_query(m_db, sql.data(), sql.size()) != 0)
        throw std::runtime_error("mysql: " + std::string(mysql_error(m_db)) + " in " + sql.substr(0, 200));
    // Drain any result so the next statement can run.
    const sql_result rows(mysql_store_result(m_db));
}

db_rows mysql_admin::query(const std::string& sql) {
    if (mysql_real_query(m_db, sql.data(), sql.size()) != 0)
        throw std::runtime_error("mysql: " + std::string(mysql_error(m_db)) + " in " + sql);
    const sql_result res(mysql_store_result(m_db));
    db_rows rows;
    if (!res) return rows;
    const unsigned n = mysql_num_fields(res.get());
    while (MYSQL_ROW row = mysql_fetch_row(res.get())) {
        unsigned long* len = mysql_fetch_lengths(res.get());
        std::vector<db_cell> cells;
        for (unsigned i = 0; i < n; ++i) {
            if (row[i])
                cells.emplace_back(std::string(row[i], len[i]));
            else
                cells.emplace_back(std::nullopt);
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

std::string mysql_admin::escape(const std::string& bytes) {
    std::string out(bytes.size() * 2 + 1, '\0');
    out.resize(mysql_real_escape_string(m_db, out.data(), bytes.data(), bytes.size()));
    return out;
}

namespace {
std::string pg_conninfo(const std::string& dbname) { return pg_connection_string(pg_test_server(), dbname); }

// pqxx exceptions are not all std::exception; turn them into one.
template <class F>
auto pg_call(F f) {
    try {
        return f();
    } catch (const std::exception&) {
        throw;
    } catch (...) {
        throw std::runtime_error("PostgreSQL failure");
    }
}
}  // namespace

void pg_exec(const std::string& dbname, const std::string& sql) {
    pg_call([&] {
        pqxx::connection c(pg_conninfo(dbname));
        pqxx::nontransaction t(c);
        t.exec(sql);
        return 0;
    });
}

db_rows pg_query(const std::string& dbname, const std::string& sql) {
    return pg_call([&] {
        pqxx::connection c(pg_conninfo(dbname));
        pqxx::nontransaction t(c);
        pqxx::result r = t.exec(sql);
        db_rows rows;
        for (const auto& row : r) {
            std::vector<db_cell> cells;
            for (const auto& f : row) {
                if (f.is_null())
                    cells.emplace_back(std::nullopt);
                else
                    cells.emplace_back(std::string(f.c_str(), f.size()));
            }
            rows.push_back(std::move(cells));
        }
        return rows;
    });
}

bool pg_db_exists(const std::string& dbname) {
    pqxx::connection c(pg_conninfo("postgres"));
    pqxx::nontransaction t(c);
    return !t.exec("SELECT 1 FROM pg_database WHERE datname = " + t.quote(dbname)).empty();
}

void pg_drop_db(const std::string& dbname) {
    pg_exec("postgres", "DROP DATABASE IF EXISTS " + pg_quote_ident(dbname) + " WITH (FORCE)");
}

void pg_create_db(const std::string& dbname) { pg_exec("postgres", "CREATE DATABASE " + pg_quote_ident(dbname)); }

std::vector<std::string> pg_tables(const std::string& dbname) {
    std::vector<std::string> out;
    for (const auto& row : pg_query(dbname, "SELECT tablename FROM pg_tables WHERE schemaname = 'public' ORDER BY 1"))
        out.push_back(*row[0]);
    return out;
}

int mysql_wrong_password_code() {
    mysql_admin admin;
    const db_rows rows = admin.query("SELECT @@have_ssl");
    const bool offers_tls = !rows.empty() && rows[0][0] && *rows[0][0] == "YES";
    return offers_tls ? sql_insecure_transport_exception::denied_without_tls_code : 0x400000 + 1045;
}
