// What each file system the library reads does behind the common frame: one
// row per VolumeFormat, so that listing, reading and the programs that show
// a volume ask the row instead of switching on the format everywhere.
#pragma once
#include <cstdint>

#include "dir_entry.h"
#include "mac_file.h"
#include "volume.h"

struct VolumeFormatRow {
  VolumeFormat format;
  const char* name;      // as ovxcli info prints it
  char folderSeparator;  // follows each folder name of a path
  // The catalog holds the whole volume, read again only by a listing of the
  // top; the walk itself leaves currentPath at the folder it reached.
  bool wholeCatalog;
  // Files carry a type, a creator and two forks; "." and ".." are names like
  // any other, and a folder is told apart by its id.
  bool macintosh;
  bool showsTypeAndCreator;  // in the browser's properties
  bool utcDates;             // the volume keeps its dates in UTC; listings show them in local time
  int textLineEnd;           // the byte that ends a line of its texts; -1: texts pass unchanged

  // The format's lister and reader (list_directory.h says what each does);
  // null where the format has none.
  int (*list)(Volume* volume, const char* path, DirEntry** array);
  uint32_t (*readData)(Volume* volume, uint8_t* buffer, const DirEntry* entry);
  uint64_t (*dataBufferBytes)(Volume* volume, const DirEntry* entry);
  // Null: the fork's or file's length as the entry gives it.
  uint32_t (*dataLength)(Volume* volume, const DirEntry* entry);

  // Null: the sizes the entry holds are whole.
  void (*entrySizes)(Volume* volume, const DirEntry* entry, uint64_t* size, uint64_t* dataSize);
  // Null: every file can be read.
  int (*entryReadable)(Volume* volume, const DirEntry* entry);
  // Null: folders are found by name only (EnterListedFolder).
  int (*enterFolder)(Volume* volume, const char* path, const DirEntry* folder);

  // Macintosh formats: the file whole (mac_file.h); null where there is none.
  int (*findMacFile)(Volume* volume, const DirEntry* entry, MacFileInfo* info);
  uint64_t (*macForkBufferBytes)(Volume* volume, const MacFileInfo* info, MacFork fork);
  uint32_t (*readMacFork)(Volume* volume, const MacFileInfo* info, MacFork fork, uint8_t* buffer);
  int (*openMacForkReader)(Volume* volume, const MacFileInfo* info, MacFork fork, MacForkReader* reader);
};

// The row of format; FormatNone's row (which reads nothing) for a value no
// format has.
const VolumeFormatRow& FormatRow(VolumeFormat format);
