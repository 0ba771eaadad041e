#pragma once
// The user messages for the error codes of both servers. A MySQL error
// carries 0x400000 plus its MySQL error number.
#include "tk/tk_errco.h"

inline constexpr int mysql_error_base = 0x400000;

extern const tk_error_row pgs_error_map[2];
extern const tk_error_row mysql_error_map[12];
