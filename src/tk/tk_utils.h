#pragma once
// Text conversions, trimming, comparison, splitting, file tests and the
// running program's own path.
#include <string>
#include <string_view>
#include <vector>

// Wide text (std::wstring, code points) <-> narrow. The "ANSI code page" is
// UTF-8. A view is converted whole; the pointer forms stop at the first NUL.
// Failures throw tk_exception_ex, level 0, with the prefixes
// "Cannot convert to UTF8 string: ", "Cannot convert to ANSI string: ",
// "Cannot convert to UNICODE string: " followed by the system's text.
std::string tk_to_utf8(std::wstring_view text);
std::string tk_to_ansi(std::wstring_view text, int code_page = -1);
std::wstring tk_utf8_to_unicode(std::string_view text);
std::wstring tk_ansi_to_unicode(std::string_view text);

// Buffer forms: false on failure or for a null input; `out` is replaced.
bool tk_w2a(const wchar_t* text, std::string& out);
bool tk_w2a(std::wstring_view text, std::string& out);
bool tk_a2w(const char* text, std::wstring& out);
// For messages and console names, which must never fail: characters that
// have no form in the ANSI code page become '?'.
std::string tk_w2a_or_marks(std::wstring_view text);
bool tk_a2w(std::string_view text, std::wstring& out);

// Two upper-case hex digits per byte, NUL-terminated; out holds 2*count+1.
// A null out is assertion tk_utils 674.
void tk_bin_to_hex(std::size_t count, const unsigned char* bytes, char* out);
std::string tk_bin_to_hex(std::size_t count, const unsigned char* bytes);

// Only the blank ' ' is trimmed; tabs and line ends stay.
std::string tk_ltrim(std::string_view s);
std::wstring tk_ltrim(std::wstring_view s);
std::wstring tk_rtrim(std::wstring_view s);
std::string tk_rtrim(std::string_view s);
std::string tk_trim(std::string_view s);
std::wstring tk_trim(std::wstring_view s);

// Strings with case-insensitive comparison (Unicode-aware, locale-free).
class tk_string : public std::string {
public:
    using std::string::string;
    tk_string() = default;
    tk_string(const std::string& s) : std::string(s) {}
    tk_string(std::string&& s) : std::string(std::move(s)) {}

    static int compare_nocase(std::string_view a, std::string_view b);
    int compare_nocase(std::string_view other) const { return compare_nocase(*this, other); }
};

class tk_wstring : public std::wstring {
public:
    using std::wstring::wstring;
    tk_wstring() = default;
    tk_wstring(const std::wstring& s) : std::wstring(s) {}
    tk_wstring(std::wstring&& s) : std::wstring(std::move(s)) {}

    static int compare_nocase(std::wstring_view a, std::wstring_view b);
    int compare_nocase(std::wstring_view other) const { return compare_nocase(*this, other); }
    // Upper-cases in place (plain per-character upper-casing) and returns a copy.
    std::wstring to_upper();
};

// Pieces between delimiters; an empty text gives none, a trailing delimiter
// a last empty piece. Read up to the first NUL.
std::vector<std::string> tk_split(std::string_view text, char delimiter);
std::vector<std::wstring> tk_split(std::wstring_view text, wchar_t delimiter);

// Mode values for tk_is_file_exist.
constexpr int tk_file_read = 0x4000;
constexpr int tk_file_read_write = 1;
// True when the name is an existing regular file that opens for reading
// (or for reading and writing with mode 1). Never throws.
bool tk_is_file_exist(const std::string& name, int mode);
bool tk_is_file_exist(const std::wstring& name, int mode);
// True when the directory exists and could be made current. Does not
// change the current directory.
bool tk_is_path_exist(const std::string& dir);

// Scope guard: changes the current directory and restores it on exit.
class tk_cur_dir {
public:
    explicit tk_cur_dir(const std::string& dir);  // empty: the program's dir
    ~tk_cur_dir();
    tk_cur_dir(const tk_cur_dir&) = delete;
    tk_cur_dir& operator=(const tk_cur_dir&) = delete;
    void change_to(const std::string& dir);
    bool changed() const noexcept { return m_changed; }

private:
    bool m_changed = true;
    std::string m_saved;
};

std::string tk_get_module_name();    // assertion tk_utils 113
std::wstring tk_get_module_wname();  // assertion tk_utils 126
std::string tk_get_module_dir();     // with trailing '/'

// major << 16 | minor of a shared library's DllGetVersion export; 0 when
// the library or the export is missing.
unsigned long get_dll_version(const char* library);
