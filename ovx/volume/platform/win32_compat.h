// The platform calls and records the disk-access library uses, under the
// platform's own names. A Win32 build takes them from <windows.h>; a native
// build gets exactly this handful from win32_compat.cpp, with the same record
// layouts and the same error codes, so the library reads the same on both.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cstddef>
#include <cstdint>

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef char CHAR;
typedef unsigned int UINT;
typedef char16_t WCHAR;
typedef void* HANDLE;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef size_t SIZE_T;
struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
struct OVERLAPPED;
typedef OVERLAPPED* LPOVERLAPPED;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_BEGIN 0u
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)

#define HEAP_ZERO_MEMORY 0x00000008u
#define MEM_COMMIT 0x00001000u
#define MEM_RESERVE 0x00002000u
#define MEM_RELEASE 0x00008000u
#define PAGE_READWRITE 0x04u

#define VER_PLATFORM_WIN32_NT 2u

#define CP_ACP 0u
#define WC_NO_BEST_FIT_CHARS 0x00000400u

#define NO_ERROR 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_TOO_MANY_OPEN_FILES 4u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_NOT_READY 21u
#define ERROR_GEN_FAILURE 31u
#define ERROR_SHARING_VIOLATION 32u
#define ERROR_HANDLE_EOF 38u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_DISK_FULL 112u
#define ERROR_NEGATIVE_SEEK 131u
#define ERROR_FILENAME_EXCED_RANGE 206u

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};

// Heap: the process heap is the C library's; HEAP_ZERO_MEMORY is honoured,
// also for the room a reallocation adds. Each block remembers its size.
HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID memory, SIZE_T bytes);
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID memory);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID memory);
// For tests of running out of memory: HeapAlloc and HeapReAlloc succeed
// `count` more times, then fail until this is called with a negative count.
void LimitHeapAllocations(long count);

// Page allocator: committed, zero-filled, released whole with MEM_RELEASE.
LPVOID VirtualAlloc(LPVOID address, SIZE_T bytes, DWORD allocationType, DWORD protect);
BOOL VirtualFree(LPVOID address, SIZE_T bytes, DWORD freeType);

// Reports a Windows NT platform: raw devices are reached the NT way, if at all.
BOOL GetVersionExA(OSVERSIONINFOA* info);

// Files. As with the platform's read-only attribute, a file without any write
// permission bit cannot be opened for writing, even by the superuser; folders
// cannot be opened at all. Failures set the last error to the platform's code.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD attributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD done, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD done, LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distanceLow, PLONG distanceHigh, DWORD method);
BOOL SetEndOfFile(HANDLE file);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL CloseHandle(HANDLE object);

// Time stamps as the platform converts them: proleptic Gregorian calendar,
// FILETIME in 100-nanosecond units since 1601-01-01, no time-zone change.
// Fields out of range (month 13, 30 February, DOS date 0) fail.
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
BOOL DosDateTimeToFileTime(WORD dosDate, WORD dosTime, FILETIME* fileTime);
// A UTC time in local time as the platform turns it: shifted by the host
// time zone's offset from UTC now, whatever the offset was at that time.
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
// Its inverse: shifted back by the offset now.
BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc);

// The ANSI code page is Windows-1252 here, the one of Western Windows. Each
// character it lacks becomes defaultChar (flags are taken as
// WC_NO_BEST_FIT_CHARS). Returns the bytes written; 0 when they do not fit.
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideCount, char* out, int outBytes,
                        const char* defaultChar, BOOL* usedDefault);

DWORD GetLastError();
void SetLastError(DWORD error);
#endif
