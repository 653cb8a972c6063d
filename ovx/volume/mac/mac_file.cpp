#include "mac_file.h"

#include <cstring>

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

int OpenMacForkReader(Volume* volume, const MacFileInfo* info, MacFork fork, MacForkReader* reader) {
  memset(reader, 0, sizeof *reader);
  const VolumeFormatRow& row = FormatRow(info->format);
  return row.openMacForkReader ? row.openMacForkReader(volume, info, fork, reader) : 0;
}

uint32_t ReadMacForkAt(MacForkReader* reader, uint64_t offset, uint8_t* buffer, uint32_t bytes) {
  if (offset >= reader->length || offset % kSectorBytes != 0) return 0;
  if (bytes > reader->length - offset) bytes = static_cast<uint32_t>(reader->length - offset);
  const uint64_t sectors = (static_cast<uint64_t>(bytes) + kSectorBytes - 1) / kSectorBytes * kSectorBytes;
  const uint64_t read = ReadHfsForkSectors(reader->volume, &reader->info, &reader->fork, offset, sectors, buffer);
  return static_cast<uint32_t>(read < bytes ? read : bytes);
}

void CloseMacForkReader(MacForkReader* reader) { ReleaseHfsFork(&reader->fork); }

int OpenEntryForkReader(Volume* volume, const DirEntry* entry, MacForkReader* reader) {
  memset(reader, 0, sizeof *reader);
  MacFileInfo info;
  // Formats whose forks are read only whole are not asked for the record at all.
  if (!volume || !FormatRow(volume->format).openMacForkReader || !ReadMacFileInfo(volume, entry, &info)) return 0;
  return OpenMacForkReader(volume, &info, info.forkLength[MacDataFork] != 0 ? MacDataFork : MacResourceFork, reader);
}
