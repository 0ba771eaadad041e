#pragma once
// The comment that records on a table which source it was made from:
// "vek source table: " or "vek source query: " followed by the source's name
// as it is spelled there. Tables keep it across runs, so the form never
// changes.
#include <optional>
#include <string>
#include <string_view>

#include "udb/udb_tsrc.h"

// The comment text (UTF-8) for a source. A name without a UTF-8 form throws
// as tk_to_utf8 does.
std::string pgs_source_comment(const udb_table_source& source);
// The source a table's comment records; none for any other comment.
std::optional<udb_table_source> pgs_parse_source_comment(std::string_view comment);
