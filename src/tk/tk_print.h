#pragma once
// Names and messages made safe for the console and the trace log. They come
// from the databases and the user: a control character in them would reach
// the terminal raw (an escape sequence) or start a line that looks like the
// program's own ("Error:"). Such characters are written as escapes; every
// other character, non-ASCII text included, stays as it is.
//
//   line feed, carriage return, tab     \n \r \t
//   other C0 controls, DEL              \x1b
//   C1, bidi and line separator marks   \u202e
//   bytes that are not UTF-8            \xff
//
// A backslash is left alone, so escaping a text twice changes nothing.
#include <string>
#include <string_view>

std::string tk_printable(std::string_view text);
std::wstring tk_printable(std::wstring_view text);
// For a text of the program's own with several lines (the usage text, a
// fatal message): its line feeds stay, everything else as tk_printable.
std::string tk_printable_lines(std::string_view text);
