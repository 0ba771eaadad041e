#include "tk/tk_utils.h"

#include <dlfcn.h>

#include <cstdint>
#include <cwchar>

#include "platform/pf_path.h"
#include "platform/pf_text.h"
#include "platform/pf_trim.h"
#include "platform/pf_types.h"
#include "platform/pf_utf8.h"
#include "tk/tk_exc.h"
#include "tk/tk_fname.h"
#include "tk/tk_log.h"

std::string tk_to_utf8(std::wstring_view text) {
    std::string out;
    if (!pf_wide_to_utf8(text, out)) throw tk_exception_ex("Cannot convert to UTF8 string: ", 0);
    return out;
}

std::string tk_to_ansi(std::wstring_view text, int code_page) {
    std::string out;
    if (!pf_wide_to_cp(text, code_page, out)) throw tk_exception_ex("Cannot convert to ANSI string: ", 0);
    return out;
}

std::wstring tk_utf8_to_unicode(std::string_view text) {
    std::wstring out;
    if (!pf_utf8_to_wide(text, out)) throw tk_exception_ex("Cannot convert to UNICODE string: ", 0);
    return out;
}

std::wstring tk_ansi_to_unicode(std::string_view text) {
    std::wstring out;
    if (!pf_cp_to_wide(text, PF_CP_ACP, out)) throw tk_exception_ex("Cannot convert to UNICODE string: ", 0);
    return out;
}

bool tk_w2a(const wchar_t* text, std::string& out) {
    if (!text) return false;
    return tk_w2a(std::wstring_view(text), out);
}

bool tk_w2a(std::wstring_view text, std::string& out) {
    std::string tmp;
    if (!pf_wide_to_cp(text, PF_CP_ACP, tmp)) return false;
    out = std::move(tmp);
    return true;
}

std::string tk_w2a_or_marks(std::wstring_view text) {
    // The ANSI code page is UTF-8: only characters that have no encoding
    // (lone surrogates, values past U+10FFFF) become marks.
    std::string out;
    pf_utf8::append_wide(out, text, false);
    return out;
}

bool tk_a2w(const char* text, std::wstring& out) {
    if (!text) return false;
    return tk_a2w(std::string_view(text), out);
}

bool tk_a2w(std::string_view text, std::wstring& out) {
    std::wstring tmp;
    if (!pf_cp_to_wide(text, PF_CP_ACP, tmp)) return false;
    out = std::move(tmp);
    return true;
}

void tk_bin_to_hex(std::size_t count, const unsigned char* bytes, char* out) {
    if (!out) throw tk_mail_assertion("tk_utils", 674);
    static const char digits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < count; ++i) {
        *out++ = digits[bytes[i] >> 4];
        *out++ = digits[bytes[i] & 0xF];
    }
    *out = '\0';
}

std::string tk_bin_to_hex(std::size_t count, const unsigned char* bytes) {
    std::string s(count * 2 + 1, '\0');
    tk_bin_to_hex(count, bytes, s.data());
    s.resize(count * 2);
    return s;
}

namespace {
template <class S, class V>
S ltrim(V s) {
    return S(pf_trim_start(s, pf_blanks::space));
}
template <class S, class V>
S rtrim(V s) {
    return S(pf_trim_end(s, pf_blanks::space));
}
}  // namespace

std::string tk_ltrim(std::string_view s) { return ltrim<std::string>(s); }
std::wstring tk_ltrim(std::wstring_view s) { return ltrim<std::wstring>(s); }
std::string tk_rtrim(std::string_view s) { return rtrim<std::string>(s); }
std::wstring tk_rtrim(std::wstring_view s) {
    if (!s.empty() && s.find_first_not_of(L' ') == std::wstring_view::npos)
        tk_trace(1, "Special processing for all-spaces-string");
    return rtrim<std::wstring>(s);
}
std::string tk_trim(std::string_view s) { return std::string(pf_trim(s, pf_blanks::space)); }
std::wstring tk_trim(std::wstring_view s) { return std::wstring(pf_trim(s, pf_blanks::space)); }

int tk_string::compare_nocase(std::string_view a, std::string_view b) { return pf_compare_nocase(a, b); }

int tk_wstring::compare_nocase(std::wstring_view a, std::wstring_view b) { return pf_compare_nocase(a, b); }

std::wstring tk_wstring::to_upper() {
    tk_trace_w(1, L"tk_wstring::to_upper(%s)", c_str());
    for (wchar_t& c : *this) c = pf_to_upper(c);
    return *this;
}

namespace {
template <class S, class V>
std::vector<S> split(V text, typename V::value_type delim) {
    std::vector<S> pieces;
    std::size_t nul = text.find(typename V::value_type(0));
    if (nul != V::npos) text = text.substr(0, nul);
    if (text.empty()) return pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t i = text.find(delim, start);
        if (i == V::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, i - start));
        start = i + 1;
    }
}
}  // namespace

std::vector<std::string> tk_split(std::string_view text, char delimiter) { return split<std::string>(text, delimiter); }
std::vector<std::wstring> tk_split(std::wstring_view text, wchar_t delimiter) {
    return split<std::wstring>(text, delimiter);
}

bool tk_is_file_exist(const std::string& name, int mode) {
    tk_trace(1, "tk_is_file_exist(%s)", name.c_str());
    if (pf_file_openable(name, mode == tk_file_read_write)) return true;
    tk_trace(1, "File not exists!");
    return false;
}

bool tk_is_file_exist(const std::wstring& name, int mode) {
    tk_trace_w(1, L"tk_is_file_exist(%s)", name.c_str());
    std::string narrow;
    if (pf_wide_to_utf8(name, narrow) && pf_file_openable(narrow, mode == tk_file_read_write)) return true;
    tk_trace(1, "File not exists!");
    return false;
}

bool tk_is_path_exist(const std::string& dir) {
    tk_trace(1, "tk_is_path_exist(%s)", dir.c_str());
    return pf_dir_exists(dir);
}

tk_cur_dir::tk_cur_dir(const std::string& dir) { change_to(dir.empty() ? tk_get_module_dir() : dir); }

tk_cur_dir::~tk_cur_dir() {
    if (m_changed) pf_chdir(m_saved);
}

void tk_cur_dir::change_to(const std::string& dir) {
    if (pf_getcwd(m_saved))
        m_changed = pf_chdir(dir);
    else
        m_changed = false;
}

std::string tk_get_module_name() {
    std::string path;
    if (!pf_module_path(path)) throw tk_mail_assertion("tk_utils", 113);
    return path;
}

std::wstring tk_get_module_wname() {
    std::string path;
    std::wstring wide;
    if (!pf_module_path(path) || !pf_utf8_to_wide(path, wide)) throw tk_mail_assertion("tk_utils", 126);
    return wide;
}

std::string tk_get_module_dir() { return tk_file_name(tk_get_module_name()).get_path(); }

namespace {
struct dll_version_info {
    std::uint32_t size, major, minor, build, platform;
};
using dll_get_version_fn = long (*)(dll_version_info*);
}  // namespace

unsigned long get_dll_version(const char* library) {
    void* lib = library ? dlopen(library, RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (!lib) {
        tk_trace(1, "get_dll_version failed to load DLL");
        return 0;
    }
    unsigned long version = 0;
    auto fn = reinterpret_cast<dll_get_version_fn>(dlsym(lib, "DllGetVersion"));
    if (!fn) {
        tk_trace(1, "get_dll_version failed to obtain DllGetVersion");
    } else {
        dll_version_info info{};
        info.size = sizeof info;
        if (fn(&info) >= 0) version = (info.major & 0xFFFFul) << 16 | (info.minor & 0xFFFFul);
    }
    dlclose(lib);
    return version;
}
