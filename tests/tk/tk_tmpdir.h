#pragma once
// A fresh temporary directory, removed with its files at the end of a test.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <stdlib.h>

class tk_tmpdir {
public:
    tk_tmpdir() {
        char tmpl[] = "/tmp/tk_test_XXXXXX";
        m_path = mkdtemp(tmpl) ? tmpl : "";
    }
    ~tk_tmpdir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void write(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }

private:
    std::string m_path;
};
