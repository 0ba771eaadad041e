#include "agent/agent_cmd.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "agent/agent_fatal.h"
#include "agent/agent_tabf.h"
#include "agent/tk_cmdli.h"
#include "converter/cnv_tk.h"
#include "platform/pf_num.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

enum option_id {
    opt_dest,
    opt_help,
    opt_logfile,
    opt_mode,
    opt_myport,
    opt_mysqlh,
    opt_mysqlu,
    opt_mysqlp,
    opt_pgport,
    opt_posgsh,
    opt_posgsu,
    opt_posgsp,
    opt_profile,
    opt_silent,
    opt_skip_idx,
    opt_src,
    opt_tab_def,
    opt_tab_file,
};

// "0" to "4" exactly: no sign, no blank, no leading zero, nothing after.
std::optional<int> parse_mode(const char* text) {
    if (text[0] >= '0' && text[0] <= '4' && text[1] == '\0') return text[0] - '0';
    return std::nullopt;
}

const cmd_option options[] = {
    {opt_dest, "--dest="},
    {opt_help, "--help"},
    {opt_logfile, "--logfile="},
    {opt_mode, "--mode="},
    {opt_myport, "--myport="},
    {opt_mysqlh, "--mysqlh="},
    {opt_mysqlu, "--mysqlu="},
    {opt_mysqlp, "--mysqlp="},
    {opt_pgport, "--pgport="},
    {opt_posgsh, "--posgsh="},
    {opt_posgsu, "--posgsu="},
    {opt_posgsp, "--posgsp="},
    {opt_profile, "--profile="},
    {opt_silent, "--silent"},
    {opt_skip_idx, "--skip_idx"},
    {opt_src, "--src="},
    {opt_tab_def, "--tab_def"},
    {opt_tab_file, "--tab_file="},
    {0, ""},
};

// The files the options will read are known before any option takes
// effect: a log file named ahead of them, or by a profile, would empty them
// before they are read (or overwrite them after).
void note_input_files(int argc, char** argv, agent_target& target) {
    for (int i = 1; i < argc; ++i) {
        const cmd_option* row = tk_cmdli::match(options, argv[i]);
        const char* value = argv[i] + std::strlen(row->prefix);
        if (*value == '\0') continue;
        if (row->id == opt_profile)
            target.add_input_file(value, profile_file_role);
        else if (row->id == opt_tab_file)
            target.add_input_file(value, table_list_file_role);
    }
}

// What the options do, one at a time and left to right. Most take effect at
// once; the connection settings and the table list are kept here and handed
// over when every option has been seen.
class option_effects {
public:
    explicit option_effects(agent_target& target) : m_target(target) {}

    void apply(int id, const std::string& value);
    // The last table list read; it replaces the tables of every profile,
    // whichever order the two options came in.
    void select_tables();
    // Unless a profile was loaded (its settings stand), the connection
    // options; a PostgreSQL port must be one.
    void store_connection();

private:
    void load_profile(const std::string& value);

    agent_target& m_target;
    std::string m_my_host, m_my_user, m_my_port = "3306";
    // Absent unless --mysqlp= is given, the empty value too: without it the
    // MySQL option files supply the password, as for the mysql client.
    std::optional<std::string> m_my_password;
    // An empty PostgreSQL password is none: libpq then takes PGPASSWORD or ~/.pgpass.
    std::string m_pg_host, m_pg_user, m_pg_password, m_pg_port = "5432";
    bool m_profile_loaded = false;
    std::optional<std::vector<std::wstring>> m_tab_list;
};

void option_effects::apply(int id, const std::string& value) {
    std::wstring wide;
    switch (id) {
    case opt_dest:
        if (tk_a2w(value, wide)) {
            tk_trace_w(2, L"\tgot dest %s", wide.c_str());
            m_target.set_dest(wide);
        }
        break;
    case opt_help: throw agent_fatal(agent_usage_text());
    case opt_logfile:
        tk_trace(1, "parse_cmd_line - got logfile %s", value.c_str());
        m_target.set_logfile(value);
        break;
    case opt_mode: {
        const std::optional<int> mode = parse_mode(value.c_str());
        if (!mode) throw agent_fatal("Invalid merge/overwrite mode");
        tk_trace(2, "\tgot mode %d", *mode);
        m_target.set_mode(*mode);
        break;
    }
    case opt_myport: m_my_port = value; break;
    case opt_mysqlh: m_my_host = value; break;
    case opt_mysqlu: m_my_user = value; break;
    case opt_mysqlp: m_my_password = value; break;
    case opt_pgport: m_pg_port = value; break;
    case opt_posgsh: m_pg_host = value; break;
    case opt_posgsu: m_pg_user = value; break;
    case opt_posgsp: m_pg_password = value; break;
    case opt_profile: load_profile(value); break;
    case opt_silent:
        tk_trace(1, "parse_cmd_line - silent mode is ON");
        m_target.set_silent(true);
        break;
    case opt_skip_idx:
        tk_trace(2, "\tskip converting indexes");
        m_target.set_skip_idx(true);
        break;
    case opt_src:
        if (tk_a2w(value, wide)) {
            tk_trace_w(2, L"\tparse_cmd_line - got src %s", wide.c_str());
            m_target.set_src(wide);
        }
        break;
    case opt_tab_def:
        tk_trace(2, "\tconvert table definitions only");
        m_target.set_tab_def(true);
        break;
    case opt_tab_file:
        tk_trace(2, "\tparse_cmd_line - got tab_file %s", value.c_str());
        m_tab_list = process_tab_file(value);
        break;
    default:  // unknown: kept by the tokenizer
        break;
    }
}

void option_effects::load_profile(const std::string& value) {
    // A profile that is there but yields nothing must not be passed over:
    // the run would go on with the defaults (mode 0, every table) in place
    // of the settings the user named.
    std::wstring wide;
    if (!tk_a2w(value, wide)) throw agent_fatal(agent_profile_unloadable_text);
    tk_trace_w(1, L"parse_cmd_line - got profile %s", wide.c_str());
    if (!m_target.load_profile(wide)) throw agent_fatal(agent_profile_unloadable_text);
    m_profile_loaded = true;
}

void option_effects::select_tables() {
    if (m_tab_list) m_target.replace_selected_tables(*m_tab_list);
}

void option_effects::store_connection() {
    if (m_profile_loaded) return;
    // Empty leaves the port to the client library; any other text must name
    // a port, never fall back to the default server unnoticed.
    unsigned pg_port_number = 0;
    if (!m_pg_port.empty()) {
        const std::optional<unsigned> number = pf_port_number(m_pg_port);
        if (!number) throw agent_fatal("Invalid PostgreSQL port number");
        pg_port_number = *number;
    }
    m_target.store_pgs_settings(m_pg_host, m_pg_user, m_pg_password, pg_port_number);
    m_target.store_mysql_settings(m_my_host, m_my_user, m_my_password, m_my_port);
}

// Both databases must be named, by an option or by a profile.
void require_database_names(const agent_target& target) {
    if (target.src().empty()) throw agent_fatal("You should enter source MySQL database name");
    if (target.dest().empty()) throw agent_fatal("You should enter destination PostgreSQL database name");
}

}  // namespace

std::string agent_usage_text() {
    char title[32];
    std::snprintf(title, sizeof title, "VEKAGENT v%d.%d", 1, 0);
    static const char* const lines[] = {
        "Usage: VEKAGENT.EXE OPTIONS",
        "",
        "   --dest=...     PostgreSQL database name",
        "   --help         display this help message and exit",
        "   --logfile=...  path to the file where execution trace will be written",
        "   --mode=...     how to process an existing PostgreSQL database",
        "                  (0 - overwrite the entire database, 1 - overwrite",
        "                  existing tables only, 2 - skip existing tables,",
        "                  3 - merge)",
        "   --myport=...   MySQL port",
        "   --mysqlh=...   MySQL server IP address or network name",
        "   --mysqlu=...   MySQL user name",
        "   --mysqlp=...   MySQL user password",
        "   --pgport=...   PostgreSQL port",
        "   --posgsh=...   PostgreSQL server IP address or network name",
        "   --posgsu=...   PostgreSQL user name",
        "   --posgsp=...   PostgreSQL user password",
        "   --profile=...  path to the file to load conversion settings from",
        "   --silent       disable program output",
        "   --skip_idx     skip converting indexes",
        "   --src=...      MySQL database name",
        "   --tab_def      convert table definitions only",
        "   --tab_file=... file containing the list of tables to convert",
        "                  (one table name per line)",
        "",
        "NOTES:",
        "   1) You can omit 'posgsh' or 'mysqlh' to connect local database server.",
        "   2) It is necessary to specify 'port' parameter only if it deffers from",
        "      the default MySQL port 3306.",
        "   3) If you omit 'tab_file' parameter, all database tables will be converted.",
        "   4) If you omit 'mode' parameter, default mode 'overwrite the entire",
        "      database' will be used.",
    };
    std::string text = title;
    for (const char* line : lines) {
        text += '\n';
        text += line;
    }
    return text;
}

bool parse_cmd_line(int argc, char** argv, agent_target& target) {
    tk_trace(2, "parse_cmd_line");
    for (int i = 0; i < argc; ++i) tk_trace(1, "parameter #%d: %s", i, argv[i]);
    note_input_files(argc, argv, target);

    option_effects effects(target);
    tk_cmdli args(argc, argv, options);
    for (; args.has_more(); args.next()) effects.apply(args.id(), args.value());
    effects.select_tables();

    // Every known option has taken effect before an unknown one shows the usage text.
    if (args.unknown_count() > 0) return false;
    require_database_names(target);
    effects.store_connection();
    return true;
}
