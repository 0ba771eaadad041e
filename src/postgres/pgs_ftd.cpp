#include "postgres/pgs_ftd.h"

#include <string_view>

udb_value_domain pgs_ftd::domain() const {
    using kind = udb_value_domain::kind;
    const std::string_view type = pgs_type;
    if (type == "smallint") return {kind::integer, 5, 0};
    if (type == "integer") return {kind::integer, 10, 0};
    if (type == "bigint") return {kind::integer, 19, 0};
    if (type == "real") return {kind::real, 6, -1};
    if (type == "double precision") return {kind::real, 15, -1};
    if (type == "numeric") {
        if (!numeric_precision) return {kind::decimal, -1, -1};
        const int scale = numeric_scale.value_or(0);
        // A negative scale rounds whole numbers: nothing is kept exactly.
        if (scale < 0) return {kind::decimal, 0, 0};
        return {kind::decimal, *numeric_precision - scale, scale};
    }
    // 92233720368547758.07 at most, two places whatever lc_monetary says.
    if (type == "money") return {kind::decimal, 17, 2};
    if (type == "date") return {kind::date, -1, 0};
    const int fraction = datetime_precision.value_or(-1);
    if (type.starts_with("timestamp")) return {kind::date_time, -1, fraction};
    if (type.starts_with("time")) return {kind::time, -1, fraction};
    if (type == "character varying" || type == "character" || type == "text") return {kind::text, -1, -1};
    return {};
}
