#pragma once
// The user messages for the error codes of both servers. A MySQL error
// carries 0x400000 plus its MySQL error number.
#include <string>

#include "tk/tk_errco.h"
#include "tk/tk_exc.h"

inline constexpr int mysql_error_base = 0x400000;

inline constexpr int mysql_error_rows = 23;

extern const tk_error_row pgs_error_map[2];
extern const tk_error_row mysql_error_map[mysql_error_rows];

// The user's text for an error: the map's text for its code, a "%s" in it
// replaced by the exception's own text (the reason); the exception's own
// text when the map has none.
std::string mapped_error_text(const tk_error_converter& map, const tk_exception& e);

// A profile file that exists but does not load (text before its first
// section, a read error, no section at all).
inline constexpr const char* profile_unloadable_text =
    "Profile cannot be loaded. Please verify the file is a conversion profile.";
