#pragma once
// A fresh temporary folder for one test, removed with everything in it when
// the test ends.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class test_dir {
public:
    explicit test_dir(const std::string& prefix = "vek_test") {
        std::string tmpl = "/tmp/" + prefix + "_XXXXXX";
        m_path = mkdtemp(tmpl.data()) ? tmpl : "";
    }
    ~test_dir() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    test_dir(const test_dir&) = delete;
    test_dir& operator=(const test_dir&) = delete;

    // Empty when the folder could not be made.
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    // Writes the bytes to the file of that name in the folder; its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        write_file(file(name), bytes);
        return file(name);
    }

    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void write_file(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }

private:
    std::string m_path;
};
