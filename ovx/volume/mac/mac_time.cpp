#include "mac_time.h"

namespace {

const uint32_t kSecondsPerDay = 86400;
const int64_t kTicksPerSecond = 10000000;

uint64_t EpochTicks() {
  SYSTEMTIME epoch = {};
  epoch.wYear = 1904;
  epoch.wMonth = 1;
  epoch.wDay = 1;
  FILETIME base = {};
  SystemTimeToFileTime(&epoch, &base);
  return static_cast<uint64_t>(base.dwHighDateTime) << 32 | base.dwLowDateTime;
}

// Local time minus UTC, in seconds, at a date counted in UTC.
int64_t LocalOffsetAt(uint32_t seconds) {
  const FILETIME utc = MacDateToFileTime(seconds);
  FILETIME local;
  if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
  const uint64_t from = static_cast<uint64_t>(utc.dwHighDateTime) << 32 | utc.dwLowDateTime;
  const uint64_t to = static_cast<uint64_t>(local.dwHighDateTime) << 32 | local.dwLowDateTime;
  return static_cast<int64_t>(to - from) / kTicksPerSecond;
}

// The offset of each day of recent lookups: a catalog's dates cluster, and
// asking the platform for every one of a hundred thousand would cost more
// than the whole listing. A day whose offset changes is never kept.
struct DayOffset {
  uint32_t day;  // day + 1; 0: empty
  int32_t offset;
};
DayOffset dayOffsets[1024];

int64_t CachedOffset(uint32_t seconds) {
  const uint32_t day = seconds / kSecondsPerDay;
  DayOffset& slot = dayOffsets[day % (sizeof dayOffsets / sizeof *dayOffsets)];
  if (slot.day == day + 1) return slot.offset;
  const uint32_t start = day * kSecondsPerDay;
  const int64_t offset = LocalOffsetAt(start);
  if (start <= UINT32_MAX - kSecondsPerDay && LocalOffsetAt(start + kSecondsPerDay - 1) == offset) {
    slot.day = day + 1;
    slot.offset = static_cast<int32_t>(offset);
    return offset;
  }
  return LocalOffsetAt(seconds);
}

}  // namespace

FILETIME MacDateToFileTime(uint32_t seconds) {
  // Every record of a catalog has its dates converted: the epoch is asked for once.
  static const uint64_t epoch = EpochTicks();
  const uint64_t ticks = epoch + static_cast<uint64_t>(seconds) * 10000000u;
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(ticks);
  result.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return result;
}

FILETIME MacUtcDateToLocalFileTime(uint32_t seconds) {
  const FILETIME utc = MacDateToFileTime(seconds);
  const uint64_t ticks = (static_cast<uint64_t>(utc.dwHighDateTime) << 32 | utc.dwLowDateTime) +
                         static_cast<uint64_t>(CachedOffset(seconds) * kTicksPerSecond);
  FILETIME local;
  local.dwLowDateTime = static_cast<DWORD>(ticks);
  local.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return local;
}
