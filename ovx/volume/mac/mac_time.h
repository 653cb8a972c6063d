// Macintosh dates: unsigned counts of seconds since 1904-01-01 00:00. HFS
// and MFS count them in local time, kept as local time when they become
// FILETIME values; HFS+ counts them in UTC, shown in local time as the
// platform shows any UTC time.
#pragma once
#include <cstdint>

#include "win32_compat.h"

// The FILETIME of 1904-01-01 00:00:00 plus seconds; no time-zone change.
FILETIME MacDateToFileTime(uint32_t seconds);

// The local FILETIME of a date counted in UTC (FileTimeToLocalFileTime).
FILETIME MacUtcDateToLocalFileTime(uint32_t seconds);
