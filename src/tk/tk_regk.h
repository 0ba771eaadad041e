#pragma once
// One open key of the current user's settings store, with typed reads and
// writes of named values and one-call load-or-store helpers for settings.
#include <string>

#include "platform/pf_registry.h"
#include "platform/pf_types.h"

class tk_reg_key {
public:
    explicit tk_reg_key(std::string path);
    ~tk_reg_key();
    tk_reg_key(const tk_reg_key&) = delete;
    tk_reg_key& operator=(const tk_reg_key&) = delete;

    // Creates or opens `subkey` below `root` (null root: assertion tk_regk 64).
    // On success any previous key is closed and the new one kept, result 0;
    // on failure the system error is returned and the previous key stays.
    // Class, options, access and security are accepted for the call's shape;
    // the store has no use for them.
    int create(pf_hkey root, const char* subkey, const char* key_class = nullptr, DWORD options = 0,
               DWORD access = PF_KEY_ALL_ACCESS, const void* security = nullptr, DWORD* disposition = nullptr);
    // 0 also when nothing was open.
    int close();

    // Each returns 0 or the system error. A value stored as another type
    // than the one asked for is refused with EINVAL.
    int get_value(DWORD& value, const char* name);  // null name: 98
    // With a null buffer only `size` (bytes, NUL included) is reported.
    int get_value(char* buffer, const char* name, DWORD* size);        // 115, 116
    int get_value(wchar_t* buffer, const wchar_t* name, DWORD* size);  // 132, 133

    // Pass a DWORD (not a bare 0) to the word form: 0 would also match the text forms.
    int set_value(DWORD value, const char* name);             // closed: 149
    int set_value(const char* text, const char* name);        // 156, 157
    int set_value(const wchar_t* text, const wchar_t* name);  // 164, 165

    // Store writes the variable; load replaces it only when the value could
    // be read. A closed key or a missing value gives false and leaves the
    // variable alone.
    bool serialize_ulong(const char* name, DWORD& value, bool store);
    bool serialize_bool(const char* name, bool& flag, bool store);
    bool serialize_string(const char* name, std::string& text, bool store);
    bool serialize_wstring(const wchar_t* name, std::wstring& text, bool store);

    bool is_open() const noexcept { return m_key != nullptr; }
    pf_hkey handle() const noexcept { return m_key; }
    const std::string& path() const noexcept { return m_path; }

private:
    pf_hkey m_key = nullptr;
    std::string m_path;
};
