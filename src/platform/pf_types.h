#pragma once
// Fixed-width names for the integer words the value and settings layers
// exchange (stored registry words, column subtypes, error codes).
#include <cstdint>

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;

// Code page numbers that callers pass to the text conversions.
constexpr int PF_CP_ACP = 0;  // the "ANSI" code page: UTF-8 here
constexpr int PF_CP_UTF8 = 65001;
constexpr int PF_CP_ASCII = 20127;
constexpr int PF_CP_LATIN1 = 28591;
