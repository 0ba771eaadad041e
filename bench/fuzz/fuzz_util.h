#pragma once
// Helpers shared by the fuzz targets: a property check that stops the run with
// the failed condition, and one scratch file per process for readers that take
// a path.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <unistd.h>

[[noreturn]] inline void fuzz_fail(const char* target, const char* what) {
    std::fprintf(stderr, "\n*** %s: property failed: %s\n", target, what);
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(target, cond)               \
    do {                                       \
        if (!(cond)) fuzz_fail(target, #cond); \
    } while (0)

// A folder of this process's own under $VEK_FUZZ_TMPDIR, /dev/shm, $TMPDIR or /tmp, removed at exit.
class fuzz_scratch {
public:
    static fuzz_scratch& get() {
        static fuzz_scratch s;
        return s;
    }
    std::string path(const char* name) const { return dir_ + "/" + name; }

    // Replaces the file's content by bytes; false when it cannot be written.
    bool write(const std::string& file, std::string_view bytes) const {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        if (!f) return false;
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        return std::fclose(f) == 0 && ok;
    }

    ~fuzz_scratch() {
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }

private:
    fuzz_scratch() {
        // Memory-backed when there is such a folder: the profile's store syncs its file.
        const char* base = std::getenv("VEK_FUZZ_TMPDIR");
        if (!base || !*base) base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/vek_fuzz_XXXXXX";
        if (!::mkdtemp(tmpl.data())) fuzz_fail("fuzz_scratch", "mkdtemp");
        dir_ = tmpl;
    }
    std::string dir_;
};

inline std::wstring fuzz_widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }
