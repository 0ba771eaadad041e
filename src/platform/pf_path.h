#pragma once
// Paths, the current directory and file tests.
#include <string>

struct pf_path_parts {
    std::string drive;  // always empty here
    std::string dir;    // with its trailing '/'
    std::string name;
    std::string ext;  // with its leading '.'
};

// Splits the way the toolkit expects: directory up to and including the last
// '/', extension from the last '.' of the last component.
pf_path_parts pf_split_path(const std::string& path);
std::string pf_join_path(const pf_path_parts& parts);

// Absolute, lexically normalised ("." and ".." folded, repeated '/' merged)
// against the current directory. False when the current directory cannot be
// read or the result exceeds pf_max_path.
constexpr std::size_t pf_max_path = 4096;
bool pf_full_path(const std::string& path, std::string& out);
// The existing file or folder a name leads to, links, "." and ".." resolved
// (realpath); false with errno set when it cannot be resolved.
bool pf_real_path(const std::string& path, std::string& out);

// The running program's own full path (/proc/self/exe); false on failure.
bool pf_module_path(std::string& out);

bool pf_getcwd(std::string& out);
bool pf_chdir(const std::string& dir);

// A regular file (never a directory) that can be opened for reading, or for
// reading and writing when `write` is set. A file without any write
// permission bit counts as read-only, whoever the caller is.
bool pf_file_openable(const std::string& path, bool write);
// An existing directory that could be made current.
bool pf_dir_exists(const std::string& dir);

// What a name leads to, links followed: nothing that can be looked at (no
// such name, a dangling link, a folder on the way that cannot be searched),
// a regular file, a folder, or a special file (a named pipe, a device, a
// socket), which a program that writes a file may wait on or never fill.
enum class pf_node { none, file, folder, special };
pf_node pf_node_of(const std::string& path);

// True when both names lead to one file: the same device and inode when both
// exist, whatever links or spellings lead there; the same place once links
// are followed and the existing folder resolved when neither exists yet (a
// file one of them would create). Never throws.
bool pf_same_file(const std::string& a, const std::string& b);
