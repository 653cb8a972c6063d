// DirEntry: one listed file or folder. It has the platform's find-data layout
// because the explorer fills the same arrays from FindFirstFileA for Windows
// drives; foreign volumes put their own facts into some of its slots.
#pragma once
#include <cstddef>
#include <cstdint>

#include "win32_compat.h"

enum { kDirEntryFolder = 0x10 };  // in attributes, on every kind of volume

struct DirEntry {
  uint32_t attributes;        // find data: file attributes; 0x10 marks a folder
  uint8_t macType[4];         // find data: creation time; HFS/MFS type as stored
  uint8_t macCreator[4];      //   and creator as stored
  FILETIME lastAccessTime;    // find data: last access time; zero for foreign volumes
  FILETIME modified;          // find data: last write time; already local time
  uint32_t dataSize;          // find data: size high word; data fork length (FAT/Atari: = size)
  uint32_t size;              // find data: size low word; both forks, or the file size
                              //   (HFS+ past 4 GB: UINT32_MAX; EntrySizes gives them whole)
  uint32_t parentId;          // find data: reserved 0; HFS id of the enclosing folder
  uint32_t nodeId;            // find data: reserved 1; HFS file or folder id
  char name[MAX_PATH];        // find data: file name; zero-terminated
  uint8_t location[14];       // find data: alternate name; first cluster/sector, HFS extents,
                              //   or where an HFS+ file's catalog record lies
};

static_assert(sizeof(WIN32_FIND_DATAA) == 320, "the platform's find-data record is 320 bytes");
static_assert(sizeof(DirEntry) == sizeof(WIN32_FIND_DATAA), "DirEntry is a find-data record");
static_assert(offsetof(DirEntry, attributes) == offsetof(WIN32_FIND_DATAA, dwFileAttributes), "slot");
static_assert(offsetof(DirEntry, macType) == offsetof(WIN32_FIND_DATAA, ftCreationTime), "slot");
static_assert(offsetof(DirEntry, macCreator) == offsetof(WIN32_FIND_DATAA, ftCreationTime) + 4, "slot");
static_assert(offsetof(DirEntry, lastAccessTime) == offsetof(WIN32_FIND_DATAA, ftLastAccessTime), "slot");
static_assert(offsetof(DirEntry, modified) == offsetof(WIN32_FIND_DATAA, ftLastWriteTime), "slot");
static_assert(offsetof(DirEntry, dataSize) == offsetof(WIN32_FIND_DATAA, nFileSizeHigh), "slot");
static_assert(offsetof(DirEntry, size) == offsetof(WIN32_FIND_DATAA, nFileSizeLow), "slot");
static_assert(offsetof(DirEntry, parentId) == offsetof(WIN32_FIND_DATAA, dwReserved0), "slot");
static_assert(offsetof(DirEntry, nodeId) == offsetof(WIN32_FIND_DATAA, dwReserved1), "slot");
static_assert(offsetof(DirEntry, name) == offsetof(WIN32_FIND_DATAA, cFileName), "slot");
static_assert(offsetof(DirEntry, location) == offsetof(WIN32_FIND_DATAA, cAlternateFileName), "slot");
static_assert(sizeof(DirEntry::name) == sizeof(WIN32_FIND_DATAA::cFileName), "slot");
static_assert(sizeof(DirEntry::location) == sizeof(WIN32_FIND_DATAA::cAlternateFileName), "slot");
