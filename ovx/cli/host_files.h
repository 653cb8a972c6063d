// Folders and files that extract makes on the host, never through a link:
// an existing folder is entered only when it is a real folder, a file is
// made only where nothing stands (or, when forced, over a plain file), and
// a link in the way is refused. Each call returns "" on success or a short
// reason for the message.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "win32_compat.h"

// Makes the folder path, or takes an existing one that is a folder. A link
// is refused, except for the top folder, which the user named.
std::string MakeHostFolder(const std::string& path, bool top);

// The modification time a written file gets: a local time as a listing
// gives it (zero: the time of writing), and whether the volume keeps its
// times in UTC (HFS+), so that the local time is turned back exactly as it
// was made, not through the host's calendar as a wall-clock time.
struct HostFileTime {
  FILETIME local;
  bool fromUtc;
};

// Writes length bytes of data to the file path, which must not exist unless
// force is given, and sets its modification time.
std::string WriteHostFile(const std::string& path, const uint8_t* data, size_t length, bool force,
                          const HostFileTime& modified);

// WriteHostFileFrom asks its source for at most this many bytes at a time,
// so a source may serve them from a buffer of this size.
const size_t kHostFilePieceBytes = 1u << 20;

// Gives the bytes of a file being written from offset on, at most `bytes`
// of them: sets *data to them and returns how many there are, fewer than
// asked for (0 too) when no more can be had.
using HostFileSource = std::function<size_t(uint64_t offset, size_t bytes, const uint8_t** data)>;

// As WriteHostFile, with length bytes taken from source piece by piece; a
// source that runs dry ends the file there.
std::string WriteHostFileFrom(const std::string& path, uint64_t length, const HostFileSource& source, bool force,
                              const HostFileTime& modified);
