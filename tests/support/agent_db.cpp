#include "support/agent_db.h"

#include <unistd.h>

#include "support/test_servers.h"

std::vector<std::string> agent_server_args(const std::vector<std::string>& extra) {
    const server_address my = mysql_test_server();
    const server_address pg = pg_test_server();
    std::vector<std::string> args = {
        "--mysqlh=" + my.host, "--mysqlu=" + my.user, "--mysqlp=" + my.password, "--myport=" + std::to_string(my.port),
        "--posgsh=" + pg.host, "--posgsu=" + pg.user, "--posgsp=" + pg.password, "--pgport=" + std::to_string(pg.port)};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

namespace {
std::string unique_name(const std::string& name, bool unique) {
    return unique ? name + "_" + std::to_string(getpid()) : name;
}
}  // namespace

scratch_dbs::scratch_dbs(const std::string& name, scratch_options opt) : scratch_dbs(name, name, opt) {}

scratch_dbs::scratch_dbs(const std::string& src, const std::string& dest, scratch_options opt)
    : m_src(unique_name(src, opt.unique)), m_dest(unique_name(dest, opt.unique)), m_keep(opt.keep) {
    my.exec("DROP DATABASE IF EXISTS " + mysql_ident(m_src));
    my.exec("CREATE DATABASE " + mysql_ident(m_src) + " CHARACTER SET utf8mb4");
    my.exec("USE " + mysql_ident(m_src));
    pg_drop_db(m_dest);
    if (opt.create_dest) pg_create_db(m_dest);
}

scratch_dbs::~scratch_dbs() {
    if (m_keep) return;
    try {
        // A connection of its own: the test may have killed and restarted the server under `my`.
        mysql_admin().exec("DROP DATABASE IF EXISTS " + mysql_ident(m_src));
        pg_drop_db(m_dest);
    } catch (...) {}
}

std::vector<std::string> scratch_dbs::agent_args(const std::vector<std::string>& extra) const {
    std::vector<std::string> args = agent_server_args({"--src=" + m_src, "--dest=" + m_dest});
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}
