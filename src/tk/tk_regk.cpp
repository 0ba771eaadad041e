#include "tk/tk_regk.h"

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <vector>

#include "tk/tk_exc.h"
#include "tk/tk_log.h"

namespace {

void trace_result(DWORD type, DWORD size) {
    tk_trace(1, "type=%d, size=%d", static_cast<int>(type), static_cast<int>(size));
}

}  // namespace

tk_reg_key::tk_reg_key(std::string path) : m_path(std::move(path)) {}

tk_reg_key::~tk_reg_key() { close(); }

int tk_reg_key::create(pf_hkey root, const char* subkey, const char*, DWORD, DWORD, const void*, DWORD* disposition) {
    if (!root) throw tk_mail_assertion("tk_regk", 64);
    pf_hkey opened = nullptr;
    if (int rc = pf_reg_create_key(root, subkey, &opened, disposition)) return rc;
    close();
    m_key = opened;
    return 0;
}

int tk_reg_key::close() {
    int rc = 0;
    if (m_key) {
        rc = pf_reg_close_key(m_key);
        m_key = nullptr;
    }
    return rc;
}

int tk_reg_key::get_value(DWORD& value, const char* name) {
    if (!name) throw tk_mail_assertion("tk_regk", 98);
    tk_trace(2, "tk_reg_key::get_value(ulong, %s)", name);
    DWORD type = 0;
    DWORD size = sizeof(DWORD);
    DWORD read = 0;
    int rc = pf_reg_query_value(m_key, name, &type, &read, &size);
    trace_result(type, size);
    // A text's bytes are no number: only a stored word is taken.
    if (rc == 0 && type != PF_REG_DWORD) rc = EINVAL;
    if (rc == 0) value = read;
    return rc;
}

int tk_reg_key::get_value(char* buffer, const char* name, DWORD* size) {
    if (!size) throw tk_mail_assertion("tk_regk", 115);
    if (!name) throw tk_mail_assertion("tk_regk", 116);
    tk_trace(2, "tk_reg_key::get_value(LPSTR, %s)", name);
    DWORD type = 0;
    int rc = pf_reg_query_value(m_key, name, &type, buffer, size);
    trace_result(type, *size);
    return rc == 0 && type != PF_REG_SZ ? EINVAL : rc;
}

int tk_reg_key::get_value(wchar_t* buffer, const wchar_t* name, DWORD* size) {
    if (!size) throw tk_mail_assertion("tk_regk", 132);
    if (!name) throw tk_mail_assertion("tk_regk", 133);
    tk_trace_w(2, L"tk_reg_key::get_value(LPWSTR, %s)", name);
    DWORD type = 0;
    int rc = pf_reg_query_value_w(m_key, name, &type, buffer, size);
    trace_result(type, *size);
    return rc == 0 && type != PF_REG_SZ ? EINVAL : rc;
}

int tk_reg_key::set_value(DWORD value, const char* name) {
    if (!m_key) throw tk_mail_assertion("tk_regk", 149);
    return pf_reg_set_value(m_key, name, PF_REG_DWORD, &value, sizeof value);
}

int tk_reg_key::set_value(const char* text, const char* name) {
    if (!text) throw tk_mail_assertion("tk_regk", 156);
    if (!m_key) throw tk_mail_assertion("tk_regk", 157);
    return pf_reg_set_value(m_key, name, PF_REG_SZ, text, static_cast<DWORD>(std::strlen(text) + 1));
}

int tk_reg_key::set_value(const wchar_t* text, const wchar_t* name) {
    if (!text) throw tk_mail_assertion("tk_regk", 164);
    if (!m_key) throw tk_mail_assertion("tk_regk", 165);
    return pf_reg_set_value_w(m_key, name, PF_REG_SZ, text,
                              static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t)));
}

bool tk_reg_key::serialize_ulong(const char* name, DWORD& value, bool store) {
    if (!m_key) return false;
    if (store) return set_value(value, name) == 0;
    DWORD read = 0;
    if (get_value(read, name) != 0) return false;
    value = read;
    return true;
}

bool tk_reg_key::serialize_bool(const char* name, bool& flag, bool store) {
    if (!m_key) return false;
    DWORD number = flag ? 1 : 0;
    const int rc = store ? set_value(number, name) : get_value(number, name);
    if (rc != 0) return false;
    flag = number != 0;
    return true;
}

bool tk_reg_key::serialize_string(const char* name, std::string& text, bool store) {
    if (!m_key) return false;
    if (store) return set_value(text.c_str(), name) == 0;
    DWORD size = 0;
    if (get_value(static_cast<char*>(nullptr), name, &size) != 0 || size == 0) return false;
    std::vector<char> buffer(size);
    if (get_value(buffer.data(), name, &size) != 0) return false;
    text.assign(buffer.data(), ::strnlen(buffer.data(), size));
    return true;
}

bool tk_reg_key::serialize_wstring(const wchar_t* name, std::wstring& text, bool store) {
    if (!m_key) return false;
    if (store) return set_value(text.c_str(), name) == 0;
    DWORD size = 0;
    if (get_value(static_cast<wchar_t*>(nullptr), name, &size) != 0 || size == 0) return false;
    std::vector<wchar_t> buffer((size + sizeof(wchar_t) - 1) / sizeof(wchar_t));
    if (get_value(buffer.data(), name, &size) != 0) return false;
    text.assign(buffer.data(), ::wcsnlen(buffer.data(), size / sizeof(wchar_t)));
    return true;
}
