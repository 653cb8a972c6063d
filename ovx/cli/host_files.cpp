#include "host_files.h"

#ifdef _WIN32
#include <windows.h>

#include "image_open.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#endif

namespace {

const char kExists[] = "it exists (--force overwrites it)";
const char kLink[] = "a link stands there";
const char kNotFolder[] = "a file of that name stands there";

bool IsZero(const FILETIME& time) { return time.dwLowDateTime == 0 && time.dwHighDateTime == 0; }

#ifdef _WIN32

std::string Reason(DWORD error) {
  char scratch[32];
  return OpenFailureReason(error, scratch, sizeof scratch);
}

// Reparse points stand for every kind of link on Windows.
bool IsLink(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

#else

// A FILETIME of local time as the host's clock counts: a wall-clock time
// through the host's idea of the local time zone, a time kept in UTC back
// by the offset that made it local.
bool ToHostTime(const HostFileTime& modified, time_t* out) {
  const int64_t kUnixEpochSeconds = 11644473600;
  FILETIME utc;
  if (modified.fromUtc) {
    if (!LocalFileTimeToFileTime(&modified.local, &utc)) return false;
    *out = static_cast<time_t>(static_cast<int64_t>((static_cast<uint64_t>(utc.dwHighDateTime) << 32 | utc.dwLowDateTime) /
                                                    10000000) - kUnixEpochSeconds);
    return true;
  }
  SYSTEMTIME t;
  if (!FileTimeToSystemTime(&modified.local, &t)) return false;
  struct tm broken = {};
  broken.tm_year = t.wYear - 1900;
  broken.tm_mon = t.wMonth - 1;
  broken.tm_mday = t.wDay;
  broken.tm_hour = t.wHour;
  broken.tm_min = t.wMinute;
  broken.tm_sec = t.wSecond;
  broken.tm_isdst = -1;
  *out = mktime(&broken);
  return *out != static_cast<time_t>(-1);
}

#endif

}  // namespace

#ifdef _WIN32

std::string MakeHostFolder(const std::string& path, bool top) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return "";
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (error != ERROR_ALREADY_EXISTS || attributes == INVALID_FILE_ATTRIBUTES) return Reason(error);
  if (IsLink(attributes) && !top) return kLink;
  return attributes & FILE_ATTRIBUTE_DIRECTORY ? "" : kNotFolder;
}

std::string WriteHostFileFrom(const std::string& path, uint64_t length, const HostFileSource& source, bool force,
                              const HostFileTime& modified) {
  if (IsLink(GetFileAttributesA(path.c_str()))) return kLink;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, force ? CREATE_ALWAYS : CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS ? kExists : Reason(error);
  }
  std::string reason;
  for (uint64_t done = 0; done < length && reason.empty();) {
    const uint8_t* data = nullptr;
    const size_t wanted = length - done > kHostFilePieceBytes ? kHostFilePieceBytes : static_cast<size_t>(length - done);
    const DWORD piece = static_cast<DWORD>(source(done, wanted, &data));
    if (piece == 0) break;
    DWORD written = 0;
    if (!WriteFile(file, data, piece, &written, nullptr) || written != piece) reason = Reason(GetLastError());
    done += written;
  }
  // The platform turns local times back as it made them, whatever the volume kept.
  FILETIME universal;
  if (reason.empty() && !IsZero(modified.local) &&
      !(LocalFileTimeToFileTime(&modified.local, &universal) && SetFileTime(file, nullptr, nullptr, &universal))) {
    reason = "its time cannot be set";
  }
  if (!CloseHandle(file) && reason.empty()) reason = Reason(GetLastError());
  return reason;
}

#else

std::string MakeHostFolder(const std::string& path, bool top) {
  if (mkdir(path.c_str(), 0777) == 0) return "";
  const int error = errno;
  struct stat status;
  if (error != EEXIST || lstat(path.c_str(), &status) != 0) return strerror(error);
  if (S_ISLNK(status.st_mode)) {
    if (!top) return kLink;
    if (stat(path.c_str(), &status) != 0) return strerror(errno);
  }
  return S_ISDIR(status.st_mode) ? "" : kNotFolder;
}

std::string WriteHostFileFrom(const std::string& path, uint64_t length, const HostFileSource& source, bool force,
                              const HostFileTime& modified) {
  // O_NOFOLLOW refuses a link in the file's own place; the folders above it
  // were made or checked on the way down.
  const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | (force ? O_TRUNC : O_EXCL);
  const int fd = open(path.c_str(), flags, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return kExists;
    if (errno == ELOOP) return kLink;
    return strerror(errno);
  }
  std::string reason;
  const uint8_t* data = nullptr;
  size_t have = 0;  // bytes of data not yet written
  for (uint64_t done = 0; done < length && reason.empty();) {
    if (have == 0) {
      have = source(done, length - done > kHostFilePieceBytes ? kHostFilePieceBytes : static_cast<size_t>(length - done), &data);
      if (have == 0) break;
    }
    const ssize_t written = write(fd, data, have);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      reason = written < 0 ? strerror(errno) : "nothing could be written";
    } else {
      done += static_cast<size_t>(written);
      data += written;
      have -= static_cast<size_t>(written);
    }
  }
  time_t when;
  if (reason.empty() && !IsZero(modified.local)) {
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[0].tv_sec = 0;
    if (!ToHostTime(modified, &when)) {
      reason = "its time cannot be set";
    } else {
      times[1].tv_sec = when;
      times[1].tv_nsec = 0;
      if (futimens(fd, times) != 0) reason = strerror(errno);
    }
  }
  if (close(fd) != 0 && reason.empty()) reason = strerror(errno);
  return reason;
}

#endif

std::string WriteHostFile(const std::string& path, const uint8_t* data, size_t length, bool force,
                          const HostFileTime& modified) {
  return WriteHostFileFrom(
      path, length,
      [data](uint64_t offset, size_t bytes, const uint8_t** piece) {
        *piece = data + offset;
        return bytes;
      },
      force, modified);
}
