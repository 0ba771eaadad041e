#pragma once

// Builds a plat_systemtime from plain numbers, for tables of date cases.

#include <cstdint>

#include "platform/plat_date.h"

inline plat_systemtime st(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, uint32_t us = 0) {
    plat_systemtime t;
    t.year = static_cast<uint16_t>(y);
    t.month = static_cast<uint16_t>(mo);
    t.day = static_cast<uint16_t>(d);
    t.hour = static_cast<uint16_t>(h);
    t.minute = static_cast<uint16_t>(mi);
    t.second = static_cast<uint16_t>(s);
    t.microsecond = us;
    return t;
}
