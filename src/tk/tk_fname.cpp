#include "tk/tk_fname.h"

#include "platform/pf_path.h"
#include "platform/pf_text.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

tk_file_name::tk_file_name(const char* path) { initialize(path); }

void tk_file_name::initialize(const char* path) {
    if (!path) throw tk_mail_assertion("tk_fname", 28);
    std::string full;
    bool module = !*path;
    if (module) {
        full = tk_get_module_name();
    } else if (!pf_full_path(path, full)) {
        throw tk_mail_assertion("tk_fname", 36);
    }
    pf_path_parts p = pf_split_path(full);
    drive = p.drive;
    dir = p.dir;
    name = module ? std::string() : p.name;
    ext = p.ext;
}

void tk_file_name::set_ext(const std::string& e) { ext = (!e.empty() && e[0] != '.') ? "." + e : e; }

tk_file_wname::tk_file_wname(const wchar_t* path) { initialize(path); }

void tk_file_wname::initialize(const wchar_t* path) {
    if (!path) throw tk_mail_assertion("tk_fname", 75);
    tk_trace_w(1, L"tk_file_wname::initialize(%s)", path);
    std::string full;
    bool module = !*path;
    if (module) {
        full = tk_get_module_name();
    } else {
        std::string narrow;
        if (!pf_wide_to_utf8(path, narrow) || !pf_full_path(narrow, full)) throw tk_mail_assertion("tk_fname", 83);
    }
    pf_path_parts p = pf_split_path(full);
    std::wstring w;
    auto wide = [&](const std::string& s) {
        if (!pf_utf8_to_wide(s, w)) throw tk_mail_assertion("tk_fname", 83);
        return w;
    };
    drive = wide(p.drive);
    dir = wide(p.dir);
    name = module ? std::wstring() : wide(p.name);
    ext = wide(p.ext);
}

void tk_file_wname::set_ext(const std::wstring& e) { ext = (!e.empty() && e[0] != L'.') ? L"." + e : e; }
