#include "converter/cnv_pg.h"

#include "postgres/pgs_db.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {
const wchar_t* const section = L"pgs settings";
}

pgs_converter_impl::pgs_converter_impl() { tk_trace(2, "pgs_converter_impl::ctor"); }

pgs_converter_impl::~pgs_converter_impl() = default;

void pgs_converter_impl::store_pgs_settings(const std::string& h, const std::string& u, const std::string& p,
                                            unsigned pt) {
    host = h;
    user = u;
    password = p;
    port = pt;
}

void pgs_converter_impl::connect_pgs_server() {
    tk_trace(1, "pgs_converter_impl::connect_pgs_server");
    engine.connect(host, user, password, std::string(), static_cast<int>(port));
}

bool pgs_converter_impl::is_db_exist(std::wstring name) { return engine.is_db_exist(name); }

std::vector<std::wstring> pgs_converter_impl::table_names_of(const std::wstring& name) {
    return engine.open_db(name)->table_names();
}

bool pgs_converter_impl::store_profile(udb_profile& profile) {
    tk_trace(2, "pgs_converter_impl::store_profile");
    profile.set_value(section, L"host", tk_ansi_to_unicode(host));
    profile.set_value(section, L"user", tk_ansi_to_unicode(user));
    profile.set_value(section, L"password", tk_ansi_to_unicode(password));
    return true;
}

bool pgs_converter_impl::load_profile(const udb_profile& profile) {
    tk_trace(2, "pgs_converter_impl::load_profile");
    if (const std::wstring v = profile.get_value(section, L"host"); !v.empty()) host = tk_to_utf8(v);
    if (const std::wstring v = profile.get_value(section, L"user"); !v.empty()) user = tk_to_utf8(v);
    if (const std::wstring v = profile.get_value(section, L"password"); !v.empty()) password = tk_to_utf8(v);
    return true;
}
