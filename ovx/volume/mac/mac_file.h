// A Macintosh file whole: both forks and the Finder's information, for taking
// a file out with everything it carries (ovxcli extract). A listing's entry
// holds only what ReadEntryData needs; this finds the rest again in the
// volume's catalog or directory.
#pragma once
#include <cstdint>

#include "dir_entry.h"
#include "hfs_fork.h"
#include "volume.h"

enum MacFork { MacDataFork = 0, MacResourceFork = 1 };

struct MacFileInfo {
  uint8_t finderInfo[32];  // FInfo (type, creator, flags, place, folder), then FXInfo; as stored
  uint64_t forkLength[2];  // by MacFork
  // HFS and HFS+: the fork's first extent record; MFS: BE16 first allocation block.
  uint8_t forkStart[2][kHfsPlusExtentRecordBytes];
  uint32_t fileId;  // HFS and HFS+ file id; MFS file number
  VolumeFormat format;
  bool compressed;  // HFS+: Mac OS X keeps the data compressed elsewhere, which is not read
};

// Fills *info for a file of an HFS or MFS listing of volume. Returns 1; 0
// for a folder, another format, or a file whose record is not found again.
int ReadMacFileInfo(Volume* volume, const DirEntry* entry, MacFileInfo* info);

// The bytes a buffer for ReadMacFork of that fork must hold: its length in
// whole allocation blocks, within the medium; 0 when the volume cannot be read.
uint64_t MacForkBufferBytes(Volume* volume, const MacFileInfo* info, MacFork fork);

// A fork read piece by piece, for forks too large to hold at once (those of
// HFS+ pass 4 GB).
struct MacForkReader {
  Volume* volume;
  uint64_t length;  // the fork's logical length
  HfsVolumeInfo info;
  HfsFork fork;
};

// Opens a fork for reading in pieces. Returns 1; 0 for a format whose forks
// are read only whole, a compressed file, or when memory runs out. Release
// with CloseMacForkReader in either case.
int OpenMacForkReader(Volume* volume, const MacFileInfo* info, MacFork fork, MacForkReader* reader);
// Reads up to bytes of the fork from offset (a multiple of 512) into buffer,
// which holds bytes rounded up to whole 512-byte sectors. Returns the bytes
// placed, cut at the fork's length; fewer when its extents end early or a
// read fails.
uint32_t ReadMacForkAt(MacForkReader* reader, uint64_t offset, uint8_t* buffer, uint32_t bytes);
void CloseMacForkReader(MacForkReader* reader);

// Opens, for reading in pieces, the fork that ReadEntryData reads of a listed
// file: its data fork, or its resource fork when the data fork is empty.
// Returns 1; 0 as OpenMacForkReader, or when the file's record is not found.
int OpenEntryForkReader(Volume* volume, const DirEntry* entry, MacForkReader* reader);

// Reads the fork in whole allocation blocks. Returns the bytes placed, which
// may exceed the fork's length (callers cut it) or fall short of it when the
// volume's map or extents end early or a read fails.
uint32_t ReadMacFork(Volume* volume, const MacFileInfo* info, MacFork fork, uint8_t* buffer);
