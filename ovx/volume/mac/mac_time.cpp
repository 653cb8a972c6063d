#include "mac_time.h"

namespace {

uint64_t EpochTicks() {
  SYSTEMTIME epoch = {};
  epoch.wYear = 1904;
  epoch.wMonth = 1;
  epoch.wDay = 1;
  FILETIME base = {};
  SystemTimeToFileTime(&epoch, &base);
  return static_cast<uint64_t>(base.dwHighDateTime) << 32 | base.dwLowDateTime;
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
