// A Macintosh file whole: both forks and the Finder's information, for taking
// a file out with everything it carries (ovxcli extract). A listing's entry
// holds only what ReadEntryData needs; this finds the rest again in the
// volume's catalog or directory.
#pragma once
#include <cstdint>

#include "dir_entry.h"
#include "volume.h"

enum MacFork { MacDataFork = 0, MacResourceFork = 1 };

struct MacFileInfo {
  uint8_t finderInfo[32];    // FInfo (type, creator, flags, place, folder), then FXInfo; as stored
  uint32_t forkLength[2];    // by MacFork
  uint8_t forkStart[2][12];  // HFS: the fork's first extent record; MFS: BE16 first allocation block
  uint32_t fileId;           // HFS file id; MFS file number
  VolumeFormat format;
};

// Fills *info for a file of an HFS or MFS listing of volume. Returns 1; 0
// for a folder, another format, or a file whose record is not found again.
int ReadMacFileInfo(Volume* volume, const DirEntry* entry, MacFileInfo* info);

// The bytes a buffer for ReadMacFork of that fork must hold: its length in
// whole allocation blocks, within the medium; 0 when the volume cannot be read.
uint64_t MacForkBufferBytes(Volume* volume, const MacFileInfo* info, MacFork fork);

// Reads the fork in whole allocation blocks. Returns the bytes placed, which
// may exceed the fork's length (callers cut it) or fall short of it when the
// volume's map or extents end early or a read fails.
uint32_t ReadMacFork(Volume* volume, const MacFileInfo* info, MacFork fork, uint8_t* buffer);
