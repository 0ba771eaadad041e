#pragma once
// Column descriptors and the ordered column list of one table or query.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "udb/udb_name.h"
#include "variant/ole_var.h"

// The values a column holds, finer than its type code: what appending into an
// existing column needs so that no value is rounded or cut on the way.
struct udb_value_domain {
    enum class kind : std::uint8_t { unknown, text, integer, real, decimal, date, date_time, time };
    kind k = kind::unknown;
    // integer: decimal digits of the widest value; real: significant digits
    // that survive a round trip (6 single, 15 double); decimal: digits before
    // the point. -1: unbounded.
    int digits = -1;
    // decimal: digits after the point (-1: unbounded); date_time and time:
    // digits of the fraction of a second (-1: not known).
    int scale = -1;
};

// True when every value of `src` arrives unchanged in a column of `dest`, or
// when one of them is unknown (the type codes decide alone).
bool udb_keeps_values(const udb_value_domain& src, const udb_value_domain& dest);

// One column. A plain descriptor; the virtual destructor lets a server side
// add its own details in a derived descriptor owned through this type.
struct t_ftd {
    t_ftd(std::uint32_t size, udb_name name, std::uint16_t vartype, bool b_not_null, bool b_auto_increment,
          const ole_variant& def_value, std::uint32_t reserved);
    virtual ~t_ftd() = default;
    t_ftd(const t_ftd&) = default;
    t_ftd& operator=(const t_ftd&) = default;

    bool is_binary() const;
    bool is_numeric() const;
    bool operator==(const t_ftd& other) const;
    // Called on the source column: can its values go into `dest` unchanged?
    bool conform_to(const t_ftd& dest) const;
    // From the type code, the subtype word and the size (a date column's
    // size is its text width: 19 for a date and time, 10 for a time, then a
    // point and one place per digit of the fraction). A server side that
    // knows its column types better says so here.
    virtual udb_value_domain domain() const;

    std::uint32_t size;
    udb_name name;
    std::uint16_t vartype;
    std::uint8_t b_auto_increment;
    std::uint8_t b_not_null;
    ole_variant def_value;
    std::uint32_t reserved;  // subtype word: date kind, 64-bit sign, precision << 8 | scale
    // The default is the time of the insert (CURRENT_TIMESTAMP); def_value is then empty.
    bool b_default_now = false;
};

bool udb_is_numeric_type(unsigned vartype);
bool udb_is_binary_type(unsigned vartype);

class udb_schema {
public:
    // owns_fields tells how the producer meant to hand its columns over;
    // ownership itself follows the way each column is added.
    explicit udb_schema(bool owns_fields = true) : owns_fields_(owns_fields) {}
    virtual ~udb_schema() = default;
    udb_schema(const udb_schema&) = delete;
    udb_schema& operator=(const udb_schema&) = delete;

    // The schema takes the column over.
    t_ftd* add(std::unique_ptr<t_ftd> col);
    // The column stays with its owner, who keeps it alive as long as the schema.
    void add_ref(t_ftd* col) { cols_.push_back(col); }

    std::size_t size() const { return cols_.size(); }
    bool empty() const { return cols_.empty(); }
    t_ftd* operator[](std::size_t i) { return cols_[i]; }
    const t_ftd* operator[](std::size_t i) const { return cols_[i]; }
    const std::vector<t_ftd*>& columns() const { return cols_; }
    bool owns_fields() const { return owns_fields_; }

    // Called on the source schema. Column counts must be equal. Each column
    // is paired with the destination column of its name (pair_by_name) when
    // the destination has them all, otherwise with the column at its
    // position, unless a destination column elsewhere has its name.
    bool conform_to(const udb_schema& dest) const;
    // For each column of this schema, the position in `dest` of the column
    // of the same name: spelled exactly so, or else the only one equal
    // ignoring case. Empty when a column has no such partner or two columns
    // would share one.
    std::vector<std::size_t> pair_by_name(const udb_schema& dest) const;
    bool find_field(const std::wstring& name) const;
    // These three are internal errors when no column has that name.
    const t_ftd& get_field(const std::wstring& name) const;
    std::uint32_t get_field_size(const std::wstring& name) const;
    std::uint16_t get_field_type(const std::wstring& name) const;

private:
    const t_ftd* lookup(const std::wstring& name) const;

    std::vector<t_ftd*> cols_;
    std::vector<std::unique_ptr<t_ftd>> owned_;
    bool owns_fields_;
};
