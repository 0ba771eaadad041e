#pragma once
// One foreign key of a table, kept by its database.
#include <string>
#include <vector>

struct udb_relationship {
    udb_relationship() = default;
    udb_relationship(std::wstring constraint_name, std::wstring second_name, std::wstring child_table,
                     std::wstring parent_table, std::vector<std::wstring> child_fields,
                     std::vector<std::wstring> parent_fields, std::wstring on_delete)
        : constraint_name(std::move(constraint_name)),
          second_name(std::move(second_name)),
          child_table(std::move(child_table)),
          parent_table(std::move(parent_table)),
          on_delete(std::move(on_delete)),
          child_fields(std::move(child_fields)),
          parent_fields(std::move(parent_fields)) {}

    std::wstring constraint_name;
    std::wstring second_name;   // empty from every producer
    std::wstring child_table;   // holds the foreign key
    std::wstring parent_table;  // referenced
    std::wstring on_delete;     // rule text, e.g. "CASCADE"
    std::vector<std::wstring> child_fields;
    std::vector<std::wstring> parent_fields;  // position by position with child_fields
};

using udb_relationships = std::vector<udb_relationship>;
