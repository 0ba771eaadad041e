#include "postgres/pgs_tsrc.h"

#include "tk/tk_exc.h"
#include "tk/tk_utils.h"

namespace {

constexpr std::string_view table_prefix = "vek source table: ";
constexpr std::string_view query_prefix = "vek source query: ";

}  // namespace

std::string pgs_source_comment(const udb_table_source& source) {
    const std::string_view prefix = source.what == udb_table_source::kind::query ? query_prefix : table_prefix;
    return std::string(prefix) + tk_to_utf8(source.name);
}

std::optional<udb_table_source> pgs_parse_source_comment(std::string_view comment) {
    udb_table_source source;
    if (comment.starts_with(table_prefix)) {
        source.what = udb_table_source::kind::table;
        comment.remove_prefix(table_prefix.size());
    } else if (comment.starts_with(query_prefix)) {
        source.what = udb_table_source::kind::query;
        comment.remove_prefix(query_prefix.size());
    } else {
        return std::nullopt;
    }
    if (comment.empty()) return std::nullopt;
    try {
        source.name = tk_utf8_to_unicode(comment);
    } catch (const tk_exception&) {
        return std::nullopt;  // text that is no UTF-8 was not written here
    }
    return source;
}
