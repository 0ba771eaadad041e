#pragma once
// Compares every row of a MySQL table (or view) with its PostgreSQL copy,
// column by column, with rules taken from the MySQL column types: bytes as
// hex, BIT as a number, FLOAT and DOUBLE as numbers, everything else as the
// servers' text.

#include <string>

#include "support/agent_db.h"

// "" when both hold the same rows in the same order (`order_by` names the
// ordering column on both sides); otherwise the first difference found.
std::string diff_rows(mysql_admin& my, const std::string& my_db, const std::string& my_table, const std::string& pg_db,
                      const std::string& pg_table, const std::string& order_by);
