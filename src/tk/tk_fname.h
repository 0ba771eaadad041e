#pragma once
// A path split into extension, drive, name and directory.
#include <string>

class tk_file_name {
public:
    std::string ext;    // with its leading '.'
    std::string drive;  // always empty here
    std::string name;
    std::string dir;  // with its trailing '/'

    explicit tk_file_name(const char* path);  // null: tk_fname 28
    explicit tk_file_name(const std::string& path) : tk_file_name(path.c_str()) {}
    void initialize(const char* path);  // too long: tk_fname 36

    std::string get_path() const { return drive + dir; }
    std::string get_full_path() const { return drive + dir + name + ext; }
    void set_ext(const std::string& e);  // a '.' is put in front when missing
};

class tk_file_wname {
public:
    std::wstring ext;
    std::wstring drive;
    std::wstring name;
    std::wstring dir;

    explicit tk_file_wname(const wchar_t* path);  // null: tk_fname 75
    explicit tk_file_wname(const std::wstring& path) : tk_file_wname(path.c_str()) {}
    void initialize(const wchar_t* path);  // too long: tk_fname 83

    std::wstring get_path() const { return drive + dir; }
    std::wstring get_full_path() const { return drive + dir + name + ext; }
    void set_ext(const std::wstring& e);
};
