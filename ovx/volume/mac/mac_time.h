// Macintosh dates: unsigned counts of seconds since 1904-01-01 00:00 local
// time, kept as local time when they become FILETIME values.
#pragma once
#include <cstdint>

#include "win32_compat.h"

// The FILETIME of 1904-01-01 00:00:00 plus seconds; no time-zone change.
FILETIME MacDateToFileTime(uint32_t seconds);
