#include "tk/tk_errco.h"

#include "tk/tk_exc.h"
#include "tk/tk_log.h"

tk_error_converter::tk_error_converter(int count, const tk_error_row* rows) {
    tk_trace(2, "tk_error_converter::ctor (map size=%d)", count);
    load_map(count, rows);
}

void tk_error_converter::load_map(int count, const tk_error_row* rows) {
    tk_trace(2, "tk_error_converter::load_map (map size=%d)", count);
    if (!rows) throw tk_mail_assertion("tk_errco", 43);
    for (int i = 0; i < count; ++i) m_map.try_emplace(rows[i].code, rows[i].text ? rows[i].text : "");
}

std::string tk_error_converter::convert(std::int32_t code) const {
    tk_trace(2, "tk_error_converter::convert(%d)", code);
    const auto found = m_map.find(code);
    if (found == m_map.end()) {
        tk_trace(1, "Error message not found!");
        return std::string();
    }
    tk_trace(1, "Error message has been found: %s", found->second.c_str());
    return found->second;
}
