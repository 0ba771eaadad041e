#include "platform/pf_registry.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/pf_regfile.h"
#include "platform/pf_text.h"

struct pf_reg_key {
    bool root = false;
    std::string dir;  // absolute directory of the key; unused for the root
};

namespace {

constexpr const char* values_file = "/.values";
constexpr const char* damaged_file = "/.values.damaged";

pf_reg_key current_user_root{true, {}};

// File descriptor owned by one scope.
class fd_holder {
public:
    explicit fd_holder(int fd = -1) : fd_(fd) {}
    fd_holder(const fd_holder&) = delete;
    fd_holder& operator=(const fd_holder&) = delete;
    ~fd_holder() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool plain_char(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '_' ||
           c == '-' || c == '.';
}

// One path component as a directory name: '%' and anything unusual become
// %XX, and so does a leading '.', which keeps "." and ".." out and the
// ".values" files apart from every key name.
std::string encode_component(std::string_view part) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < part.size(); ++i) {
        const auto c = static_cast<unsigned char>(part[i]);
        if (plain_char(c) && !(i == 0 && c == '.')) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

bool split_subkey(const char* subkey, std::vector<std::string>& parts) {
    std::string_view rest(subkey);
    if (rest.empty()) return false;
    while (true) {
        const auto sep = rest.find('\\');
        const auto part = rest.substr(0, sep);
        if (part.empty()) return false;
        parts.push_back(encode_component(part));
        if (sep == std::string_view::npos) return true;
        rest.remove_prefix(sep + 1);
    }
}

// mkdir that accepts an existing directory; `created` tells which it was.
int make_dir(const std::string& dir, bool& created) {
    created = false;
    if (::mkdir(dir.c_str(), 0700) == 0) {
        created = true;
        return 0;
    }
    if (errno != EEXIST) return errno;
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

int make_dirs(const std::string& dir) {
    bool created;
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos == dir.size() || dir[pos] == '/') {
            if (int rc = make_dir(dir.substr(0, pos), created)) return rc;
        }
    }
    return 0;
}

int key_dir(pf_hkey key, std::string& dir) {
    if (!key) return EBADF;
    if (!key->root) {
        dir = key->dir;
        return 0;
    }
    return pf_reg_root_dir(dir) ? 0 : ENOENT;
}

int read_file(const std::string& path, std::string& out) {
    out.clear();
    fd_holder fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno;
    char buf[8192];
    while (true) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

// The key's values; a key without a file simply has none yet.
int load_values(const std::string& dir, pf_reg_values& values) {
    std::string text;
    if (int rc = read_file(dir + values_file, text)) {
        if (rc != ENOENT) return rc;
        values = pf_reg_values();
        return 0;
    }
    return pf_reg_values::parse(text, values) ? 0 : EBADMSG;
}

int write_all(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int replace_file(const std::string& dir, int dir_fd, const std::string& data) {
    std::string tmp = dir + "/.values.XXXXXX";
    fd_holder fd(::mkostemp(tmp.data(), O_CLOEXEC));
    if (fd.get() < 0) return errno;
    int rc = ::fchmod(fd.get(), 0600) == 0 ? 0 : errno;
    if (!rc) rc = write_all(fd.get(), data);
    if (!rc && ::fsync(fd.get()) != 0) rc = errno;
    if (!rc && ::close(fd.release()) != 0) rc = errno;
    if (!rc && ::rename(tmp.c_str(), (dir + values_file).c_str()) != 0) rc = errno;
    if (rc) {
        ::unlink(tmp.c_str());
        return rc;
    }
    ::fsync(dir_fd);  // the rename itself; the new file is complete either way
    return 0;
}

int store_value(pf_hkey key, pf_reg_value value) {
    std::string dir;
    if (int rc = key_dir(key, dir)) return rc;
    fd_holder dir_fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir_fd.get() < 0) return errno;
    while (::flock(dir_fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return errno;
    }
    pf_reg_values values;
    int rc = load_values(dir, values);
    if (rc == EBADMSG) {
        // Keep the damaged file for inspection instead of failing every save.
        if (::rename((dir + values_file).c_str(), (dir + damaged_file).c_str()) != 0) return errno;
        values = pf_reg_values();
    } else if (rc) {
        return rc;
    }
    values.put(std::move(value));
    return replace_file(dir, dir_fd.get(), values.format());
    // the lock ends with dir_fd
}

int find_value(pf_hkey key, std::string_view name, pf_reg_value& out) {
    std::string dir;
    if (int rc = key_dir(key, dir)) return rc;
    pf_reg_values values;
    if (int rc = load_values(dir, values)) return rc;
    const pf_reg_value* v = values.find(name);
    if (!v) return ENOENT;
    out = *v;
    return 0;
}

int deliver(const void* bytes, std::size_t count, DWORD value_type, DWORD* type, void* data, DWORD* size) {
    if (count > UINT32_MAX) return E2BIG;
    if (type) *type = value_type;
    if (!data) {
        if (size) *size = static_cast<DWORD>(count);
        return 0;
    }
    if (*size < count) {
        *size = static_cast<DWORD>(count);
        return ERANGE;
    }
    std::memcpy(data, bytes, count);
    *size = static_cast<DWORD>(count);
    return 0;
}

bool wide_name(const wchar_t* name, std::string& out) {
    out.clear();
    return !name || pf_wide_to_utf8(name, out);
}

int set_word(pf_reg_value& v, const void* data, DWORD size) {
    if (!data || size != sizeof(DWORD)) return EINVAL;
    v.what = pf_reg_value::kind::word;
    std::memcpy(&v.word, data, sizeof(DWORD));
    return 0;
}

}  // namespace

bool pf_reg_root_dir(std::string& out) {
    const char* env = std::getenv("VEK_REGISTRY_DIR");
    if (env && *env) {
        out = env;
        return true;
    }
    env = std::getenv("XDG_CONFIG_HOME");
    if (env && env[0] == '/') {
        out = std::string(env) + "/vek/registry";
        return true;
    }
    std::string home;
    env = std::getenv("HOME");
    if (env && *env) {
        home = env;
    } else {
        struct passwd pw;
        struct passwd* found = nullptr;
        char buf[4096];
        if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) != 0 || !found || !found->pw_dir || !*found->pw_dir)
            return false;
        home = found->pw_dir;
    }
    out = home + "/.config/vek/registry";
    return true;
}

pf_hkey pf_reg_current_user() { return &current_user_root; }

int pf_reg_create_key(pf_hkey parent, const char* subkey, pf_hkey* result, DWORD* disposition) {
    if (!result || !subkey) return EINVAL;
    std::string dir;
    if (int rc = key_dir(parent, dir)) return rc;
    std::vector<std::string> parts;
    if (!split_subkey(subkey, parts)) return EINVAL;
    if (int rc = make_dirs(dir)) return rc;
    bool created = false;
    for (const auto& part : parts) {
        dir += '/';
        dir += part;
        if (int rc = make_dir(dir, created)) return rc;
    }
    *result = new pf_reg_key{false, dir};
    if (disposition) *disposition = created ? PF_REG_CREATED_NEW_KEY : PF_REG_OPENED_EXISTING_KEY;
    return 0;
}

int pf_reg_close_key(pf_hkey key) {
    if (key && !key->root) delete key;
    return 0;
}

int pf_reg_query_value(pf_hkey key, const char* name, DWORD* type, void* data, DWORD* size) {
    if (data && !size) return EINVAL;
    pf_reg_value v;
    if (int rc = find_value(key, name ? name : "", v)) return rc;
    switch (v.what) {
    case pf_reg_value::kind::word: return deliver(&v.word, sizeof v.word, PF_REG_DWORD, type, data, size);
    case pf_reg_value::kind::wide:
        if (!pf_wide_to_utf8(v.wtext, v.text)) return EILSEQ;
        break;
    case pf_reg_value::kind::narrow: break;
    }
    return deliver(v.text.c_str(), v.text.size() + 1, PF_REG_SZ, type, data, size);
}

int pf_reg_query_value_w(pf_hkey key, const wchar_t* name, DWORD* type, void* data, DWORD* size) {
    if (data && !size) return EINVAL;
    std::string n;
    if (!wide_name(name, n)) return EINVAL;
    pf_reg_value v;
    if (int rc = find_value(key, n, v)) return rc;
    switch (v.what) {
    case pf_reg_value::kind::word: return deliver(&v.word, sizeof v.word, PF_REG_DWORD, type, data, size);
    case pf_reg_value::kind::narrow:
        if (!pf_utf8_to_wide(v.text, v.wtext)) return EILSEQ;
        break;
    case pf_reg_value::kind::wide: break;
    }
    return deliver(v.wtext.c_str(), (v.wtext.size() + 1) * sizeof(wchar_t), PF_REG_SZ, type, data, size);
}

int pf_reg_set_value(pf_hkey key, const char* name, DWORD type, const void* data, DWORD size) {
    if (!key) return EBADF;
    pf_reg_value v;
    v.name = name ? name : "";
    if (type == PF_REG_DWORD) {
        if (int rc = set_word(v, data, size)) return rc;
    } else if (type == PF_REG_SZ) {
        if (size && !data) return EINVAL;
        v.what = pf_reg_value::kind::narrow;
        if (size) {
            const auto* p = static_cast<const char*>(data);
            v.text.assign(p, ::strnlen(p, size));
        }
    } else {
        return EINVAL;
    }
    return store_value(key, std::move(v));
}

int pf_reg_set_value_w(pf_hkey key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    if (!key) return EBADF;
    pf_reg_value v;
    if (!wide_name(name, v.name)) return EINVAL;
    if (type == PF_REG_DWORD) {
        if (int rc = set_word(v, data, size)) return rc;
    } else if (type == PF_REG_SZ) {
        if ((size && !data) || size % sizeof(wchar_t)) return EINVAL;
        v.what = pf_reg_value::kind::wide;
        if (size) {
            const auto* p = static_cast<const wchar_t*>(data);
            v.wtext.assign(p, ::wcsnlen(p, size / sizeof(wchar_t)));
        }
    } else {
        return EINVAL;
    }
    return store_value(key, std::move(v));
}
