#pragma once
// Registry of conversion rules that the type and value writers ask before
// their built-in tables. Nothing registers a rule unless a program does.
#include <memory>
#include <string>
#include <vector>

#include "tk/tk_singl.h"

struct t_ftd;
class ole_variant;

class udb_conversion_rule {
public:
    virtual ~udb_conversion_rule() = default;
    virtual bool accepts(const ole_variant& value) const = 0;
    virtual bool accepts(const t_ftd& column) const = 0;
    virtual void handle(std::wstring& out, const ole_variant& value) const = 0;
    // Not called by the system; kept for rules that want a hook of their own.
    virtual void reserved() const {}
    virtual void handle(std::wstring& out, const t_ftd& column) const = 0;
};

class udb_custom_conversion : public tk_singleton<udb_custom_conversion> {
public:
    udb_custom_conversion() = default;
    ~udb_custom_conversion() override = default;

    void add_rule(std::unique_ptr<udb_conversion_rule> rule) { m_rules.push_back(std::move(rule)); }

    // Each answers false / empty text when no instance exists or it has no rule.
    static bool is_acceptable1(const t_ftd& column);
    static bool is_acceptable2(const ole_variant& value);
    // The text of the first rule that accepts; empty when none does.
    static std::wstring handle1(const t_ftd& column);
    // As handle1, but with rules present none of which accepts: internal error.
    static std::wstring handle2(const ole_variant& value);

private:
    std::vector<std::unique_ptr<udb_conversion_rule>> m_rules;
};
