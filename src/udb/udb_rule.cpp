#include "udb/udb_rule.h"

#include "tk/tk_exc.h"
#include "tk/tk_log.h"

bool udb_custom_conversion::is_acceptable1(const t_ftd& column) {
    tk_trace(1, "udb_custom_conversion::is_acceptable1");
    const udb_custom_conversion* self = find();
    if (!self) return false;
    for (const auto& rule : self->m_rules)
        if (rule->accepts(column)) return true;
    return false;
}

bool udb_custom_conversion::is_acceptable2(const ole_variant& value) {
    tk_trace(1, "udb_custom_conversion::is_acceptable2");
    const udb_custom_conversion* self = find();
    if (!self) return false;
    for (const auto& rule : self->m_rules)
        if (rule->accepts(value)) return true;
    return false;
}

std::wstring udb_custom_conversion::handle1(const t_ftd& column) {
    tk_trace(1, "udb_custom_conversion::handle1");
    std::wstring out;
    if (const udb_custom_conversion* self = find()) {
        for (const auto& rule : self->m_rules) {
            if (rule->accepts(column)) {
                rule->handle(out, column);
                break;
            }
        }
    }
    return out;
}

std::wstring udb_custom_conversion::handle2(const ole_variant& value) {
    tk_trace(1, "udb_custom_conversion::handle2");
    std::wstring out;
    const udb_custom_conversion* self = find();
    if (!self || self->m_rules.empty()) return out;
    for (const auto& rule : self->m_rules) {
        if (rule->accepts(value)) {
            rule->handle(out, value);
            return out;
        }
    }
    throw tk_mail_assertion("udb_rule", 88);
}
