#pragma once
// One foreign key of a table, kept by its database.
#include <string>
#include <vector>

struct udb_relationship {
    udb_relationship() = default;
    udb_relationship(std::wstring constraint_name_, std::wstring second_name_, std::wstring child_table_,
                     std::wstring parent_table_, std::vector<std::wstring> child_fields_,
                     std::vector<std::wstring> parent_fields_, std::wstring on_delete_)
        : constraint_name(std::move(constraint_name_)),
          second_name(std::move(second_name_)),
          child_table(std::move(child_table_)),
          parent_table(std::move(parent_table_)),
          on_delete(std::move(on_delete_)),
          child_fields(std::move(child_fields_)),
          parent_fields(std::move(parent_fields_)) {}

    std::wstring constraint_name;
    std::wstring second_name;   // empty from every producer
    std::wstring child_table;   // holds the foreign key
    std::wstring parent_table;  // referenced
    std::wstring on_delete;     // rule text, e.g. "CASCADE"
    std::vector<std::wstring> child_fields;
    std::vector<std::wstring> parent_fields;  // position by position with child_fields
};

using udb_relationships = std::vector<udb_relationship>;
