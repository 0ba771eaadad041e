#pragma once
// The trace writers' printf. The C library's conversions, except that every
// text argument (%s, %ls, %c, %lc and their narrow or wide twins) goes
// through tk_printable: a name or a message can add no line to the log and no
// escape sequence to it, while the format's own text (its "\n" after
// "Error:", its "\t") stays as written. Formats use the C library's
// conventions; tk_log translates the toolkit's (%I64d, wide %s) first.
#include <cstdarg>
#include <string>

// Narrow arguments of a wide format are read as UTF-8 and wide ones of a
// narrow format written as UTF-8. A %n argument is taken and not written to.
std::string tk_format_printable(const char* fmt, va_list ap) __attribute__((format(printf, 1, 0)));
std::wstring tk_format_printable(const wchar_t* fmt, va_list ap);
