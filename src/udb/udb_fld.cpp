#include "udb/udb_fld.h"

#include "tk/tk_log.h"
#include "udb/udb_rec.h"

udb_field::udb_field(udb_name name_, std::uint32_t size_, const ole_variant& value, bool not_null, bool auto_inc)
    : ole_variant(value),
      size(size_),
      name(std::move(name_)),
      b_not_null(not_null ? 1 : 0),
      b_auto_increment(auto_inc ? 1 : 0) {
    tk_trace(1, "udb_field::ctor #2");
    tk_trace_w(1, L"name=%s, size=%d", name.c_str(), int(size));
}

udb_field::udb_field(udb_name name_, std::uint32_t size_, ole_variant&& value, bool not_null, bool auto_inc)
    : ole_variant(std::move(value)),
      size(size_),
      name(std::move(name_)),
      b_not_null(not_null ? 1 : 0),
      b_auto_increment(auto_inc ? 1 : 0) {
    tk_trace(1, "udb_field::ctor #2");
    tk_trace_w(1, L"name=%s, size=%d", name.c_str(), int(size));
}

udb_field::~udb_field() = default;

std::uint16_t udb_field::get_type() const {
    tk_trace(1, "ole_variant::get_type");
    return static_cast<std::uint16_t>(vartype());
}

udb_record::~udb_record() = default;
