#include "mac_file.h"

#include "volume_formats.h"

int ReadMacFileInfo(Volume* volume, const DirEntry* entry, MacFileInfo* info) {
  if (!volume || !entry || (entry->attributes & kDirEntryFolder)) return 0;
  const VolumeFormatRow& row = FormatRow(volume->format);
  return row.findMacFile ? row.findMacFile(volume, entry, info) : 0;
}

uint64_t MacForkBufferBytes(Volume* volume, const MacFileInfo* info, MacFork fork) {
  const VolumeFormatRow& row = FormatRow(info->format);
  return row.macForkBufferBytes ? row.macForkBufferBytes(volume, info, fork) : 0;
}

uint32_t ReadMacFork(Volume* volume, const MacFileInfo* info, MacFork fork, uint8_t* buffer) {
  if (info->forkLength[fork] == 0) return 0;
  const VolumeFormatRow& row = FormatRow(info->format);
  return row.readMacFork ? row.readMacFork(volume, info, fork, buffer) : 0;
}

