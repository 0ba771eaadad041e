#pragma once
// The user messages for the error codes of both servers. A MySQL error
// carries 0x400000 plus its MySQL error number.
#include "tk/tk_errco.h"

inline constexpr int mysql_error_base = 0x400000;

extern const tk_error_row pgs_error_map[2];
extern const tk_error_row mysql_error_map[14];

// A profile file that exists but does not load (text before its first
// section, a read error, no section at all).
inline constexpr const char* profile_unloadable_text =
    "Profile cannot be loaded. Please verify the file is a conversion profile.";
