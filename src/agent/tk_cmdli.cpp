#include "agent/tk_cmdli.h"

#include <cstring>

#include "tk/tk_exc.h"

void tk_cmdli::init(int count, char** vector, const cmd_option* table) {
    m_unknown_count = 0;
    m_table = table;
    m_id = -1;
    m_value = nullptr;
    // The first argument is the program's own path.
    m_cursor = vector + 1;
    m_remaining = count > 0 ? count - 1 : 0;
    if (m_remaining != 0) classify(*m_cursor);
}

void tk_cmdli::next() {
    if (!has_more()) throw tk_mail_assertion("tk_cmdli", 60);
    --m_remaining;
    ++m_cursor;
    if (m_remaining > 0) classify(*m_cursor);
}

void tk_cmdli::classify(const char* argument) {
    if (!has_more()) throw tk_mail_assertion("tk_cmdli", 19);
    const cmd_option* row = match(m_table, argument);
    m_value = argument + std::strlen(row->prefix);
    if (*row->prefix != '\0') {
        m_id = row->id;
        return;
    }
    m_id = -1;
    if (m_unknown_count >= max_unknown) throw tk_mail_assertion("tk_cmdli", 52);
    m_unknown[m_unknown_count++] = argument;
}

const cmd_option* tk_cmdli::match(const cmd_option* table, const char* argument) {
    const cmd_option* row = table;
    // The end row's empty prefix matches every argument.
    while (std::strncmp(argument, row->prefix, std::strlen(row->prefix)) != 0) ++row;
    return row;
}

std::int32_t tk_cmdli::id() const {
    if (!has_more()) throw tk_mail_assertion("tk_cmdli", 140);
    return m_id;
}

const char* tk_cmdli::value() const {
    if (!has_more()) throw tk_mail_assertion("tk_cmdli", 147);
    return m_value;
}
