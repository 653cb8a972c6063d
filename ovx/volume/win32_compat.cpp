#include "win32_compat.h"

#ifndef _WIN32
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local DWORD lastError = NO_ERROR;

// The handle of an open file; the platform's handles are opaque pointers too.
struct CompatFile {
  int fd;
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
  DWORD total = 0;
  while (total < bytes) {
    ssize_t moved = write ? ::write(fd, buffer + total, bytes - total) : read(fd, buffer + total, bytes - total);
    if (moved < 0 && errno == EINTR) continue;
    if (moved < 0 || (moved == 0 && write)) {
      if (done) *done = total;
      return Fail(moved < 0 ? ErrorFromErrno(errno) : ERROR_DISK_FULL);
    }
    if (moved == 0) break;
    total += static_cast<DWORD>(moved);
  }
  if (done) *done = total;
  return TRUE;
}

}  // namespace

HANDLE GetProcessHeap() { return &HeapMarker; }

LPVOID HeapAlloc(HANDLE, DWORD flags, SIZE_T bytes) {
  void* memory = (flags & HEAP_ZERO_MEMORY) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
  if (!memory) lastError = ERROR_NOT_ENOUGH_MEMORY;
  return memory;
}

BOOL HeapFree(HANDLE, DWORD, LPVOID memory) {
  free(memory);
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
  int fd = open(path, mode | O_CLOEXEC, 0666);
  if (fd < 0) {
    Fail(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  CompatFile* file = new (std::nothrow) CompatFile{fd};
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
  off_t reached = lseek(fd, static_cast<off_t>(offset), SEEK_SET);
  if (reached < 0) {
    Fail(ErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(reached) >> 32);
  return static_cast<DWORD>(reached);
}

BOOL SetEndOfFile(HANDLE file) {
  int fd = FileDescriptor(file);
  if (fd < 0) return Fail(ERROR_INVALID_HANDLE);
  off_t here = lseek(fd, 0, SEEK_CUR);
  if (here < 0 || ftruncate(fd, here) != 0) return Fail(ErrorFromErrno(errno));
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

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }
#endif
