#include "win32_compat.h"

#ifndef _WIN32
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local DWORD lastError = NO_ERROR;

// The handle of an open file; the platform's handles are opaque pointers too.
// The file pointer is kept here and every transfer is positioned, so a seek
// followed by a read costs one system call instead of two.
struct CompatFile {
  int fd;
  int64_t position;
};

int HeapMarker;

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
  }
}

int FileDescriptor(HANDLE file) {
  if (!file || file == INVALID_HANDLE_VALUE) return -1;
  return static_cast<CompatFile*>(file)->fd;
}

BOOL Fail(DWORD error) {
  lastError = error;
  return FALSE;
}

// Moves bytes until all are done; a read that meets the end of the file
// succeeds with fewer, as on the platform, while a write must place them all.
BOOL MoveBytes(HANDLE file, char* buffer, DWORD bytes, LPDWORD done, bool write) {
  int fd = FileDescriptor(file);
  if (done) *done = 0;
  if (fd < 0) return Fail(ERROR_INVALID_HANDLE);
  int64_t& position = static_cast<CompatFile*>(file)->position;
  DWORD total = 0;
  while (total < bytes) {
    const off_t at = static_cast<off_t>(position);
    ssize_t moved = write ? pwrite(fd, buffer + total, bytes - total, at) : pread(fd, buffer + total, bytes - total, at);
    if (moved < 0 && errno == EINTR) continue;
    if (moved < 0 || (moved == 0 && write)) {
      if (done) *done = total;
      return Fail(moved < 0 ? ErrorFromErrno(errno) : ERROR_DISK_FULL);
    }
    if (moved == 0) break;
    total += static_cast<DWORD>(moved);
    position += moved;
  }
  if (done) *done = total;
  return TRUE;
}

}  // namespace

HANDLE GetProcessHeap() { return &HeapMarker; }

// Each block carries its requested size in front, as the platform's heap
// knows it, so that HeapSize and HeapReAlloc work; 16 bytes keep the
// caller's part aligned for any type.
const size_t kHeapHeaderBytes = 16;

namespace {

long allocationsLeft = -1;  // negative: no limit

bool AllocationRefused() {
  if (allocationsLeft < 0) return false;
  if (allocationsLeft == 0) return true;
  --allocationsLeft;
  return false;
}

}  // namespace

void LimitHeapAllocations(long count) { allocationsLeft = count; }

LPVOID HeapAlloc(HANDLE, DWORD flags, SIZE_T bytes) {
  if (bytes > SIZE_MAX - kHeapHeaderBytes || AllocationRefused()) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  const size_t total = kHeapHeaderBytes + bytes;
  char* block = static_cast<char*>((flags & HEAP_ZERO_MEMORY) ? calloc(1, total) : malloc(total));
  if (!block) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  memcpy(block, &bytes, sizeof bytes);
  return block + kHeapHeaderBytes;
}

LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID memory, SIZE_T bytes) {
  if (!memory) {
    lastError = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  const size_t old = HeapSize(heap, 0, memory);
  if (bytes > SIZE_MAX - kHeapHeaderBytes || AllocationRefused()) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  char* block = static_cast<char*>(realloc(static_cast<char*>(memory) - kHeapHeaderBytes, kHeapHeaderBytes + bytes));
  if (!block) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  memcpy(block, &bytes, sizeof bytes);
  if ((flags & HEAP_ZERO_MEMORY) && bytes > old) memset(block + kHeapHeaderBytes + old, 0, bytes - old);
  return block + kHeapHeaderBytes;
}

SIZE_T HeapSize(HANDLE, DWORD, LPCVOID memory) {
  if (!memory) return static_cast<SIZE_T>(-1);
  size_t bytes;
  memcpy(&bytes, static_cast<const char*>(memory) - kHeapHeaderBytes, sizeof bytes);
  return bytes;
}

BOOL HeapFree(HANDLE, DWORD, LPVOID memory) {
  if (memory) free(static_cast<char*>(memory) - kHeapHeaderBytes);
  return TRUE;
}

LPVOID VirtualAlloc(LPVOID, SIZE_T bytes, DWORD, DWORD) {
  void* memory = calloc(1, bytes ? bytes : 1);
  if (!memory) lastError = ERROR_NOT_ENOUGH_MEMORY;
  return memory;
}

BOOL VirtualFree(LPVOID address, SIZE_T, DWORD) {
  free(address);
  return TRUE;
}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (!info || info->dwOSVersionInfoSize < sizeof *info) return Fail(ERROR_INVALID_PARAMETER);
  memset(info, 0, sizeof *info);
  info->dwOSVersionInfoSize = sizeof *info;
  info->dwMajorVersion = 5;
  info->dwMinorVersion = 1;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  return TRUE;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD, HANDLE) {
  if (!path) {
    Fail(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  bool writing = (access & GENERIC_WRITE) != 0;
  int mode = writing ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
  if (disposition == CREATE_ALWAYS) {
    mode |= O_CREAT | O_TRUNC;
  } else if (disposition != OPEN_EXISTING) {
    Fail(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // Look before opening: truncating a file whose open is then refused would lose it.
  struct stat info;
  if (stat(path, &info) == 0) {
    if (S_ISDIR(info.st_mode) || (writing && !(info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))) {
      Fail(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
  }
  int fd = -1;
#ifdef O_NOATIME
  // Looking at an image is not using it: reads leave its access time alone
  // where the system allows that (the file's owner), and cost less for it.
  if (!writing) fd = open(path, mode | O_CLOEXEC | O_NOATIME);
#endif
  if (fd < 0) fd = open(path, mode | O_CLOEXEC, 0666);
  if (fd < 0) {
    Fail(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  CompatFile* file = new (std::nothrow) CompatFile{fd, 0};
  if (!file) {
    close(fd);
    Fail(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD done, LPOVERLAPPED) {
  return MoveBytes(file, static_cast<char*>(buffer), bytes, done, false);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD done, LPOVERLAPPED) {
  return MoveBytes(file, static_cast<char*>(const_cast<void*>(buffer)), bytes, done, true);
}

DWORD SetFilePointer(HANDLE file, LONG distanceLow, PLONG distanceHigh, DWORD method) {
  int fd = FileDescriptor(file);
  if (fd < 0) {
    Fail(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  if (method != FILE_BEGIN) {
    Fail(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  // Without a high part the low part is a signed distance, as on the platform.
  int64_t offset = distanceHigh
                       ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                              static_cast<uint32_t>(distanceLow))
                       : distanceLow;
  if (offset < 0) {
    Fail(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  const int64_t reached = offset;
  static_cast<CompatFile*>(file)->position = reached;
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(reached) >> 32);
  return static_cast<DWORD>(reached);
}

BOOL SetEndOfFile(HANDLE file) {
  int fd = FileDescriptor(file);
  if (fd < 0) return Fail(ERROR_INVALID_HANDLE);
  const off_t here = static_cast<off_t>(static_cast<CompatFile*>(file)->position);
  if (ftruncate(fd, here) != 0) return Fail(ErrorFromErrno(errno));
  return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
  int fd = FileDescriptor(file);
  struct stat info;
  if (fd < 0 || fstat(fd, &info) != 0) {
    Fail(fd < 0 ? ERROR_INVALID_HANDLE : ErrorFromErrno(errno));
    return INVALID_FILE_SIZE;
  }
  uint64_t size = static_cast<uint64_t>(info.st_size);
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

BOOL CloseHandle(HANDLE object) {
  int fd = FileDescriptor(object);
  if (fd < 0) return Fail(ERROR_INVALID_HANDLE);
  delete static_cast<CompatFile*>(object);
  return close(fd) == 0 ? TRUE : Fail(ErrorFromErrno(errno));
}

namespace {

const uint64_t kTicksPerSecond = 10000000;
// Days from 1601-01-01 to 1970-01-01.
const int64_t kDaysTo1970 = 134774;

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int64_t year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

void CivilFromDays(int64_t days, int64_t* year, unsigned* month, unsigned* day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  *day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  *month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  *year = static_cast<int64_t>(yearOfEra) + era * 400 + (*month <= 2);
}

}  // namespace

BOOL SystemTimeToFileTime(const SYSTEMTIME* t, FILETIME* fileTime) {
  if (!t || !fileTime || t->wYear < 1601 || t->wYear > 30827 || t->wMonth < 1 || t->wMonth > 12 || t->wDay < 1 ||
      t->wDay > DaysInMonth(t->wYear, t->wMonth) || t->wHour > 23 || t->wMinute > 59 || t->wSecond > 59 ||
      t->wMilliseconds > 999) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const int64_t days = DaysFromCivil(t->wYear, t->wMonth, t->wDay) + kDaysTo1970;
  const uint64_t seconds = static_cast<uint64_t>(days) * 86400 + t->wHour * 3600u + t->wMinute * 60u + t->wSecond;
  const uint64_t ticks = seconds * kTicksPerSecond + t->wMilliseconds * 10000ull;
  fileTime->dwLowDateTime = static_cast<DWORD>(ticks);
  fileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* t) {
  if (!fileTime || !t) return Fail(ERROR_INVALID_PARAMETER);
  const uint64_t ticks = static_cast<uint64_t>(fileTime->dwHighDateTime) << 32 | fileTime->dwLowDateTime;
  if (ticks >> 63) return Fail(ERROR_INVALID_PARAMETER);
  const uint64_t seconds = ticks / kTicksPerSecond;
  const int64_t days = static_cast<int64_t>(seconds / 86400);
  const unsigned secondOfDay = static_cast<unsigned>(seconds % 86400);
  int64_t year;
  unsigned month, day;
  CivilFromDays(days - kDaysTo1970, &year, &month, &day);
  t->wYear = static_cast<WORD>(year);
  t->wMonth = static_cast<WORD>(month);
  t->wDay = static_cast<WORD>(day);
  t->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  t->wHour = static_cast<WORD>(secondOfDay / 3600);
  t->wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
  t->wSecond = static_cast<WORD>(secondOfDay % 60);
  t->wMilliseconds = static_cast<WORD>(ticks % kTicksPerSecond / 10000);
  return TRUE;
}

BOOL DosDateTimeToFileTime(WORD dosDate, WORD dosTime, FILETIME* fileTime) {
  SYSTEMTIME t;
  memset(&t, 0, sizeof t);
  t.wYear = static_cast<WORD>(1980 + (dosDate >> 9));
  t.wMonth = static_cast<WORD>(dosDate >> 5 & 0x0F);
  t.wDay = static_cast<WORD>(dosDate & 0x1F);
  t.wHour = static_cast<WORD>(dosTime >> 11);
  t.wMinute = static_cast<WORD>(dosTime >> 5 & 0x3F);
  t.wSecond = static_cast<WORD>((dosTime & 0x1F) * 2);
  return SystemTimeToFileTime(&t, fileTime);
}

namespace {

// Windows turns times between UTC and local time by the offset in force now.
BOOL ShiftByOffsetNow(const FILETIME* from, FILETIME* to, int direction) {
  if (!from || !to) return Fail(ERROR_INVALID_PARAMETER);
  const uint64_t ticks = static_cast<uint64_t>(from->dwHighDateTime) << 32 | from->dwLowDateTime;
  const time_t now = time(nullptr);
  struct tm broken;
  if (!localtime_r(&now, &broken)) return Fail(ERROR_INVALID_PARAMETER);
  const int64_t offset = static_cast<int64_t>(broken.tm_gmtoff) * kTicksPerSecond * direction;
  const uint64_t shifted = ticks + static_cast<uint64_t>(offset);
  to->dwLowDateTime = static_cast<DWORD>(shifted);
  to->dwHighDateTime = static_cast<DWORD>(shifted >> 32);
  return TRUE;
}

}  // namespace

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) { return ShiftByOffsetNow(utc, local, 1); }

BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc) { return ShiftByOffsetNow(local, utc, -1); }

int WideCharToMultiByte(UINT, DWORD, const WCHAR* wide, int wideCount, char* out, int outBytes,
                        const char* defaultChar, BOOL* usedDefault) {
  // Windows-1252's characters at 0x80..0x9F; 0 where it has none.
  static const uint16_t kHigh[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
                                     0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
  if (!wide || !out || wideCount <= 0 || outBytes < wideCount) return Fail(ERROR_INVALID_PARAMETER);
  if (usedDefault) *usedDefault = FALSE;
  for (int i = 0; i < wideCount; ++i) {
    const uint16_t c = wide[i];
    int byte = c < 0x80 || (c >= 0xA0 && c <= 0xFF) ? c : -1;
    for (int k = 0; byte < 0 && k < 32; ++k) {
      if (kHigh[k] == c) byte = 0x80 + k;
    }
    if (byte < 0) {
      byte = static_cast<uint8_t>(defaultChar ? defaultChar[0] : '?');
      if (usedDefault) *usedDefault = TRUE;
    }
    out[i] = static_cast<char>(byte);
  }
  return wideCount;
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }
#endif
