#pragma once
// The table-list file named by --tab_file=: one table name per line, in file
// order, duplicates kept, empty lines skipped. A leading UTF-8 byte-order mark
// on the first non-empty line marks the file as UTF-8; otherwise it is read
// in the ANSI code page.

#include <string>
#include <vector>

// How a refused log file name speaks of the list it would overwrite.
inline constexpr const char* table_list_file_role = "the table names file";

// Longest name a line may hold, in bytes, without its line end.
constexpr std::size_t agent_tab_line_max = 254;

// Reads the whole list. A missing or unreadable file, a line longer than the
// limit, a line holding a NUL byte or text that does not convert end the
// program through agent_fatal with a text that names the line.
std::vector<std::wstring> process_tab_file(const std::string& path);
