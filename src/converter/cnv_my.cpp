#include "converter/cnv_my.h"

#include "platform/pf_num.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_db.h"

namespace {
const wchar_t* const section = L"MySQL settings";
const wchar_t* bool_text(bool b) { return b ? L"1" : L"0"; }
// What the trace shows of a password: never the password itself.
const char* shown_password(const std::optional<std::string>& p) {
    if (!p) return "(none given)";
    return p->empty() ? "" : "********";
}
}  // namespace

mysql_converter_impl::mysql_converter_impl() { tk_trace(2, "mysql_converter_impl::ctor"); }

mysql_converter_impl::~mysql_converter_impl() { tk_trace(2, "mysql_converter_impl::dtor"); }

void mysql_converter_impl::store_mysql_settings(const std::string& h, const std::string& u,
                                                const std::optional<std::string>& p, const std::string& pt) {
    tk_trace(1, "mysql_converter_impl::store_mysql_settings(%s,%s,%s,%s)", h.c_str(), u.c_str(), shown_password(p),
             pt.c_str());
    user = tk_trim(u);
    password = p ? tk_trim(*p) : std::string();
    password_given = p.has_value();
    host = tk_trim(h);
    port = tk_trim(pt);
    if (port.empty()) port = "3306";
}

void mysql_converter_impl::connect_mysql_server() {
    tk_trace(2, "mysql_converter_impl::connect_mysql_server");
    const std::optional<unsigned> number = pf_port_number(port);
    if (!number) throw tk_exception("Invalid port number", 1);
    engine.connect(host, user, password_given ? std::optional<std::string>(password) : std::nullopt, *number);
}

bool mysql_converter_impl::is_mysql_base_exist(const std::wstring& name) {
    tk_trace_w(2, L"mysql_converter_impl::is_mysql_base_exist( %s )", name.c_str());
    return engine.is_db_exist(name);
}

std::vector<std::wstring>& mysql_converter_impl::get_contents(std::vector<std::wstring>& list) {
    list = engine.get_contents();
    return list;
}

bool mysql_converter_impl::test_query(const std::wstring& database, const std::wstring& sql, std::string& refusal) {
    // Prepared, not run: the user waits for the answer.
    return engine.prepares(database, sql, &refusal);
}

bool mysql_converter_impl::store_profile(udb_profile& profile) {
    tk_trace(2, "mysql_converter_impl::store_profile");
    profile.set_value(section, L"host", tk_utf8_to_unicode(host));
    profile.set_value(section, L"user", tk_utf8_to_unicode(user));
    profile.set_value(section, L"password", tk_utf8_to_unicode(password));
    profile.set_value(section, L"port", tk_utf8_to_unicode(port));
    profile.set_value(section, L"dump line break", dump_options.dump_line_break == 1 ? L"1" : L"0");
    profile.set_value(section, L"dump new version", bool_text(dump_options.dump_new_version));
    profile.set_value(section, L"dump add lock to insert", bool_text(dump_options.dump_add_lock));
    profile.set_value(section, L"dump insert comments", bool_text(dump_options.dump_insert_comments));
    profile.set_value(section, L"dump create database", bool_text(dump_options.dump_create_database));
    profile.set_value(section, L"dump create table", bool_text(dump_options.dump_create_table));
    return true;
}

bool mysql_converter_impl::load_profile(const udb_profile& profile) {
    tk_trace(2, "mysql_converter_impl::load_profile");
    auto value = [&](const wchar_t* key) { return profile.get_value(section, key); };
    host = tk_to_utf8(value(L"host"));
    if (const std::wstring v = value(L"user"); !v.empty()) user = tk_to_utf8(v);
    // A profile without a password keeps it off the disk: the option files
    // supply it, as when the agent is given none.
    password = tk_to_utf8(value(L"password"));
    password_given = !password.empty();
    if (const std::wstring v = value(L"port"); !v.empty()) port = tk_to_utf8(v);
    if (const std::wstring v = value(L"dump line break"); !v.empty()) dump_options.dump_line_break = v == L"1" ? 1 : 0;
    auto flag = [&](const wchar_t* key, bool& field) {
        if (const std::wstring v = value(key); !v.empty()) field = v == L"1";
    };
    flag(L"dump new version", dump_options.dump_new_version);
    flag(L"dump add lock to insert", dump_options.dump_add_lock);
    flag(L"dump insert comments", dump_options.dump_insert_comments);
    flag(L"dump create database", dump_options.dump_create_database);
    flag(L"dump create table", dump_options.dump_create_table);
    return true;
}
