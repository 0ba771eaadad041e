#pragma once
// The keys of a PostgreSQL table read from the catalogue: its primary key, its
// other indexes and its foreign keys, every column named by attribute number.
#include <cstdint>
#include <string>

#include "udb/udb_rel.h"

class pgs_row_reader;
class udb_recordset;

// The rule text of pg_constraint.confdeltype: c CASCADE, d SET DEFAULT,
// n SET NULL, r RESTRICT, anything else (a, no action) empty.
std::wstring get_delete_rule(char code);

// Adds the indexes of table table_oid to rs (the primary key first, each in its
// key order) and its foreign keys to relationships (a foreign key already
// listed under its name and child table is not added again). child_table is
// the table's key ("schema.table"); a parent is named by its own schema.
// Indexes over expressions and partial indexes cannot be described as column
// lists: they are left out with a trace line. Reads in the reader's snapshot.
void pgs_read_keys(pgs_row_reader& reader, udb_recordset& rs, const std::wstring& child_table,
                   udb_relationships& relationships);
