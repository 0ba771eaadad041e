#pragma once
// Which source a destination table was made from: a source table or a query
// (views are read as queries), known by its name. A later run finds its own
// table again by it, whatever name the table was given.
#include <compare>
#include <string>

struct udb_table_source {
    enum class kind { table, query };
    kind what = kind::table;
    std::wstring name;  // exactly as the source spells it

    friend auto operator<=>(const udb_table_source&, const udb_table_source&) = default;
};

// A table of a destination that records its source, under the name that
// opens it.
struct udb_sourced_table {
    std::wstring name;
    udb_table_source source;
};
