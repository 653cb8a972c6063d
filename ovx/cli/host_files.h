// Folders and files that extract makes on the host, never through a link:
// an existing folder is entered only when it is a real folder, a file is
// made only where nothing stands (or, when forced, over a plain file), and
// a link in the way is refused. Each call returns "" on success or a short
// reason for the message.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "win32_compat.h"

// Makes the folder path, or takes an existing one that is a folder. A link
// is refused, except for the top folder, which the user named.
std::string MakeHostFolder(const std::string& path, bool top);

// Writes length bytes of data to the file path, which must not exist unless
// force is given, and sets its modification time to modified (a local time;
// zero leaves the time of writing).
std::string WriteHostFile(const std::string& path, const uint8_t* data, size_t length, bool force,
                          const FILETIME& modified);
