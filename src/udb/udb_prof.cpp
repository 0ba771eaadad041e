#include "udb/udb_prof.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "platform/pf_error.h"
#include "platform/pf_path.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

// Sort key of one code point in UTF-16 unit order (see udb_utf16_less).
constexpr unsigned long utf16_rank(wchar_t c) noexcept {
    const auto u = static_cast<unsigned long>(c);
    return (u >= 0xE000 && u <= 0xFFFF) ? u + 0x200000 : u;
}

constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";

bool has_line_break(const std::wstring& s) { return s.find_first_of(L"\r\n") != std::wstring::npos; }

bool has_nul(const std::wstring& s) { return s.find(L'\0') != std::wstring::npos; }

bool blank_at_front(const std::wstring& s) { return !s.empty() && s.front() == L' '; }
bool blank_at_back(const std::wstring& s) { return !s.empty() && s.back() == L' '; }

// A trimmed line that names a section: "[" ... "]".
bool is_header(const std::wstring& line) { return line.size() >= 2 && line.front() == L'[' && line.back() == L']'; }

// Writes all of text to fd; false with errno set on failure.
bool write_all(int fd, const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

bool udb_utf16_less::operator()(const std::wstring& a, const std::wstring& b) const noexcept {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return utf16_rank(a[i]) < utf16_rank(b[i]);
    }
    return a.size() < b.size();
}

udb_profile::udb_profile() {
    add_section(available_queries);
    add_section(selected_tables);
    add_section(generic_settings);
}

void udb_profile::add_section(const std::wstring& name) { sections_.try_emplace(name); }

void udb_profile::set_value(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    sections_[section].try_emplace(key, value);
}

std::wstring udb_profile::get_value(const std::wstring& section, const std::wstring& key) const {
    const auto s = sections_.find(section);
    if (s == sections_.end()) return {};
    const auto k = s->second.find(key);
    return k == s->second.end() ? std::wstring() : k->second;
}

const udb_profile::section_map& udb_profile::section_or_throw(const wchar_t* name) const {
    const auto s = sections_.find(name);
    if (s == sections_.end()) throw tk_exception_ex("", 1);
    return s->second;
}

const udb_profile::section_map& udb_profile::get_available_queries() const {
    return section_or_throw(available_queries);
}

const udb_profile::section_map& udb_profile::get_selected_tables() const { return section_or_throw(selected_tables); }

// Every item must come back from load() exactly as it is; the first that
// would not is recorded in fault_.
bool udb_profile::check_items() {
    using kind = udb_profile_fault::kind;
    using part = udb_profile_fault::part;
    auto refuse = [this](kind k, part p, const std::wstring& sec, const std::wstring& key) {
        fault_ = {k, p, sec, key, 0};
        return false;
    };
    auto plain_text = [&](const std::wstring& text, part p, const std::wstring& sec, const std::wstring& key) {
        if (has_line_break(text)) return refuse(kind::line_break, p, sec, key);
        if (has_nul(text)) return refuse(kind::nul_character, p, sec, key);
        return true;
    };

    for (const auto& [name, keys] : sections_) {
        if (!plain_text(name, part::section_name, name, {})) return false;
        const bool bare_section = name == selected_tables;
        for (const auto& [key, value] : keys) {
            if (!plain_text(key, part::key, name, key)) return false;
            if (!plain_text(value, part::value, name, key)) return false;
            if (key.find(L'=') != std::wstring::npos) return refuse(kind::equals_in_key, part::key, name, key);
            if (blank_at_front(key) || blank_at_back(key)) return refuse(kind::edge_blanks, part::key, name, key);
            if (bare_section && value.empty()) {
                // The line is the key alone.
                if (is_header(key)) return refuse(kind::header_shaped, part::key, name, key);
            } else {
                if (blank_at_back(value)) return refuse(kind::edge_blanks, part::value, name, key);
                // key "=" value starts with "[" and ends with "]".
                if (!key.empty() && key.front() == L'[' && !value.empty() && value.back() == L']')
                    return refuse(kind::header_shaped, part::key, name, key);
            }
        }
    }
    return true;
}

// The whole file as UTF-8 with CR LF line ends.
bool udb_profile::render(std::string& text) {
    using part = udb_profile_fault::part;
    auto put = [&](const std::wstring& s, part p, const std::wstring& sec, const std::wstring& key) {
        try {
            text += tk_to_utf8(s);
            return true;
        } catch (const tk_exception&) {
            fault_ = {udb_profile_fault::kind::unconvertible, p, sec, key, 0};
            return false;
        }
    };

    for (const auto& [name, keys] : sections_) {
        text += '[';
        if (!put(name, part::section_name, name, {})) return false;
        text += "]\r\n";
        const bool bare_section = name == selected_tables;
        for (const auto& [key, value] : keys) {
            if (!put(key, part::key, name, key)) return false;
            // A bare empty key would be an empty line, which load skips.
            if (!(bare_section && value.empty() && !key.empty())) {
                text += '=';
                if (!put(value, part::value, name, key)) return false;
            }
            text += "\r\n";
        }
        text += "\r\n";
    }
    return true;
}

bool udb_profile::store(const std::wstring& path) {
    tk_trace_w(2, L"udb_profile::store(%s)", path.c_str());
    fault_ = {};

    std::string target;
    if (!tk_w2a(path, target) || target.empty()) {
        fault_.what = udb_profile_fault::kind::bad_path;
        fault_.item = udb_profile_fault::part::path;
        return false;
    }
    if (!check_items()) return false;
    std::string text;
    if (!render(text)) return false;

    auto io_failed = [this](int err) {
        fault_.what = udb_profile_fault::kind::io_error;
        fault_.item = udb_profile_fault::part::path;
        fault_.sys_error = err;
        tk_trace(2, "udb_profile::store failed: errno %d", err);
        return false;
    };

    // Replace the file a symbolic link points to, not the link itself.
    struct stat old_st {};
    bool had_old = ::stat(target.c_str(), &old_st) == 0;
    struct stat link_st {};
    if (::lstat(target.c_str(), &link_st) == 0 && S_ISLNK(link_st.st_mode)) {
        std::string real;
        if (!pf_real_path(target, real)) return io_failed(errno);
        target = std::move(real);
    }
    if (had_old && !S_ISREG(old_st.st_mode)) return io_failed(EISDIR);

    // mkstemp creates the file with mode 0600: profiles hold passwords.
    std::string tmp = target + ".tmp-XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return io_failed(errno);
    int err = 0;
    if (!write_all(fd, text)) err = errno;
    if (!err && had_old && ::fchmod(fd, old_st.st_mode & 07777) != 0) err = errno;
    if (!err && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmp.c_str());
        return io_failed(err);
    }
    // Make the new directory entry durable as well; the file is in place
    // either way, so a failure here is not reported.
    const int dir = ::open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool udb_profile::load(const std::wstring& path) {
    tk_trace_w(2, L"udb_profile::load(%s)", path.c_str());
    if (!tk_is_file_exist(path, tk_file_read))
        throw tk_exception(L"Profile does not exist. Please verify the correct path/name was given.", 1);

    std::string name;
    if (!tk_w2a(path, name)) return false;
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;

    section_map* current = nullptr;
    std::string raw;
    bool first = true;
    while (std::getline(in, raw)) {
        std::string_view bytes = raw;
        if (first && bytes.starts_with(utf8_bom)) bytes.remove_prefix(utf8_bom.size());
        first = false;
        // The CR of a CR LF line end.
        if (!bytes.empty() && bytes.back() == '\r') bytes.remove_suffix(1);

        const std::wstring line = tk_trim(tk_utf8_to_unicode(bytes));
        if (line.empty()) continue;
        if (is_header(line)) {
            current = &sections_[line.substr(1, line.size() - 2)];
            continue;
        }
        if (!current) return false;
        const auto eq = line.find(L'=');
        if (eq == std::wstring::npos)
            current->try_emplace(line, std::wstring());
        else
            current->try_emplace(tk_trim(std::wstring_view(line).substr(0, eq)), line.substr(eq + 1));
    }
    // getline stops at the end of the file or at a read error. A file without
    // a single section (an empty one, say) is no profile: taking it as one
    // would run with every setting at its default.
    return in.eof() && !in.bad() && current != nullptr;
}

std::wstring udb_profile_fault_text(const udb_profile_fault& fault) {
    using kind = udb_profile_fault::kind;
    using part = udb_profile_fault::part;
    std::wstring item;
    switch (fault.item) {
    case part::section_name: item = L"the section name '" + fault.section + L"'"; break;
    case part::key: item = L"the name '" + fault.key + L"' in section '" + fault.section + L"'"; break;
    case part::value: item = L"the value of '" + fault.key + L"' in section '" + fault.section + L"'"; break;
    default: item = L"an item"; break;
    }
    std::wstring why;
    switch (fault.what) {
    case kind::line_break: why = item + L" holds a line break"; break;
    case kind::nul_character: why = item + L" holds a NUL character"; break;
    case kind::equals_in_key: why = item + L" holds an equals sign"; break;
    case kind::header_shaped: why = item + L" would read back as a section header"; break;
    case kind::edge_blanks: why = item + L" begins or ends with a blank"; break;
    case kind::unconvertible: why = item + L" holds text that has no UTF-8 form"; break;
    case kind::bad_path: why = L"the file name has no UTF-8 form"; break;
    case kind::io_error: {
        const std::string text = pf_error_text(fault.sys_error);
        why = L"the file cannot be written";
        if (!text.empty()) why += L" (" + tk_ansi_to_unicode(text) + L")";
        break;
    }
    default: why = L"the reason is not known"; break;
    }
    return L"Profile cannot be saved: " + why + L".";
}
