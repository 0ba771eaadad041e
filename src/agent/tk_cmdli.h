#pragma once
// Command-line tokenizer: walks the arguments after the program's own path
// and classifies each by the first option row whose prefix it begins with.
// It points into the caller's argument vector and option table and owns
// nothing.

#include <cstdint>

// One row of an option table. The table ends with the row {0, ""}, whose
// empty prefix matches every argument and marks it as unknown.
struct cmd_option {
    std::int32_t id;
    const char* prefix;
};

class tk_cmdli {
public:
    static constexpr int max_unknown = 20;

    tk_cmdli() = default;
    tk_cmdli(int count, char** vector, const cmd_option* table) { init(count, vector, table); }
    virtual ~tk_cmdli() = default;

    void init(int count, char** vector, const cmd_option* table);
    virtual void next();
    virtual bool has_more() const { return m_remaining > 0; }

    // Id of the current argument's row, -1 when the argument is unknown.
    std::int32_t id() const;
    // The current argument after the matched prefix.
    const char* value() const;

    // The first row whose prefix the argument begins with; the end row when
    // none does.
    static const cmd_option* match(const cmd_option* table, const char* argument);

    int unknown_count() const { return m_unknown_count; }
    const char* unknown(int i) const { return m_unknown[i]; }

private:
    void classify(const char* argument);

    const cmd_option* m_table = nullptr;
    const char* m_value = nullptr;
    std::int32_t m_id = -1;
    int m_unknown_count = 0;
    const char* m_unknown[max_unknown] = {};
    char** m_cursor = nullptr;
    int m_remaining = 0;
};
