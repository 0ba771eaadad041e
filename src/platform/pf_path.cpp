#include "platform/pf_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

pf_path_parts pf_split_path(const std::string& path) {
    pf_path_parts p;
    std::size_t slash = path.rfind('/');
    std::size_t base = 0;
    if (slash != std::string::npos) {
        p.dir = path.substr(0, slash + 1);
        base = slash + 1;
    }
    std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot >= base) {
        p.name = path.substr(base, dot - base);
        p.ext = path.substr(dot);
    } else {
        p.name = path.substr(base);
    }
    return p;
}

std::string pf_join_path(const pf_path_parts& p) {
    std::string out = p.drive + p.dir;
    if (!out.empty() && out.back() != '/' && !(p.name.empty() && p.ext.empty())) out += '/';
    return out + p.name + p.ext;
}

bool pf_getcwd(std::string& out) {
    std::vector<char> buf(pf_max_path + 1);
    if (!::getcwd(buf.data(), buf.size())) return false;
    out = buf.data();
    return true;
}

bool pf_chdir(const std::string& dir) { return ::chdir(dir.c_str()) == 0; }

bool pf_full_path(const std::string& path, std::string& out) {
    std::string abs;
    if (!path.empty() && path[0] == '/') {
        abs = path;
    } else {
        if (!pf_getcwd(abs)) return false;
        abs += '/';
        abs += path;
    }
    const bool trailing = abs.back() == '/';
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < abs.size()) {
        std::size_t j = abs.find('/', i);
        if (j == std::string::npos) j = abs.size();
        std::string seg = abs.substr(i, j - i);
        if (seg == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!seg.empty() && seg != ".") {
            parts.push_back(std::move(seg));
        }
        i = j + 1;
    }
    std::string r;
    for (const auto& s : parts) r += '/' + s;
    if (r.empty() || trailing) r += '/';
    if (r.size() > pf_max_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    out = std::move(r);
    return true;
}

namespace {

// The target of a symbolic link; false when the name is none or the target
// does not fit pf_max_path.
bool read_link(const std::string& path, std::string& out) {
    std::vector<char> buf(pf_max_path + 1);
    const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size() - 1);
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size() - 1) return false;
    out.assign(buf.data(), static_cast<std::size_t>(n));
    return true;
}

}  // namespace

bool pf_module_path(std::string& out) { return read_link("/proc/self/exe", out); }

bool pf_real_path(const std::string& path, std::string& out) {
    struct free_deleter {
        void operator()(char* p) const noexcept { std::free(p); }
    };
    const std::unique_ptr<char, free_deleter> real(::realpath(path.c_str(), nullptr));
    if (!real) return false;
    out = real.get();
    return true;
}

bool pf_file_openable(const std::string& path, bool write) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (write && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        errno = EACCES;
        return false;
    }
    int fd = ::open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool pf_dir_exists(const std::string& dir) {
    struct stat st;
    if (dir.empty() || ::stat(dir.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return ::access(dir.c_str(), X_OK) == 0;
}

pf_node pf_node_of(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return pf_node::none;
    if (S_ISREG(st.st_mode)) return pf_node::file;
    if (S_ISDIR(st.st_mode)) return pf_node::folder;
    return pf_node::special;
}

namespace {

// Where a name that does not exist leads: a dangling link to its target,
// then its folder with the links in it resolved, the last part kept.
std::string place_of_missing(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::string target;
        if (!read_link(path, target)) break;
        path = target[0] == '/' ? target : pf_split_path(path).dir + target;
    }
    const pf_path_parts parts = pf_split_path(path);
    const std::string dir = parts.dir.empty() ? "." : parts.dir;
    std::string full;
    if (pf_real_path(dir, full)) return full + "/" + parts.name + parts.ext;
    return pf_full_path(path, full) ? full : path;
}

}  // namespace

bool pf_same_file(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    const bool has_a = ::stat(a.c_str(), &sa) == 0;
    const bool has_b = ::stat(b.c_str(), &sb) == 0;
    if (has_a && has_b) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (has_a || has_b) return false;
    return place_of_missing(a) == place_of_missing(b);
}
