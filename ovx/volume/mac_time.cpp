#include "mac_time.h"

FILETIME MacDateToFileTime(uint32_t seconds) {
  SYSTEMTIME epoch = {};
  epoch.wYear = 1904;
  epoch.wMonth = 1;
  epoch.wDay = 1;
  FILETIME base = {};
  SystemTimeToFileTime(&epoch, &base);
  const uint64_t ticks = (static_cast<uint64_t>(base.dwHighDateTime) << 32 | base.dwLowDateTime) +
                         static_cast<uint64_t>(seconds) * 10000000u;
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(ticks);
  result.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return result;
}
