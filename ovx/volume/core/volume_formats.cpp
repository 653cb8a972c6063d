#include "volume_formats.h"

#include "atari_directory.h"
#include "byte_order.h"
#include "fat_volume.h"
#include "hfs_catalog.h"
#include "hfs_fork.h"
#include "hfsplus_catalog.h"
#include "mfs_directory.h"

namespace {

int FindHfsFile(Volume* volume, const DirEntry* entry, MacFileInfo* info) {
  return FindHfsFileInfo(volume, entry->nodeId, info);
}

int FindMfsFile(Volume* volume, const DirEntry* entry, MacFileInfo* info) {
  return FindMfsFileInfo(volume, entry->nodeId, info);
}

// HFS and MFS forks are at most 4 GB long.
uint64_t HfsMacForkBufferBytes(Volume* volume, const MacFileInfo* info, MacFork fork) {
  return HfsForkBufferBytes(volume, static_cast<uint32_t>(info->forkLength[fork]));
}

uint32_t ReadHfsMacFork(Volume* volume, const MacFileInfo* info, MacFork fork, uint8_t* buffer) {
  return ReadHfsFork(volume, info->fileId, fork == MacDataFork ? kHfsDataFork : kHfsResourceFork,
                     info->forkStart[fork], static_cast<uint32_t>(info->forkLength[fork]), buffer);
}

uint64_t MfsMacForkBufferBytes(Volume* volume, const MacFileInfo* info, MacFork fork) {
  return MfsForkBufferBytes(volume, static_cast<uint32_t>(info->forkLength[fork]));
}

uint32_t ReadMfsMacFork(Volume* volume, const MacFileInfo* info, MacFork fork, uint8_t* buffer) {
  return ReadMfsFork(volume, ReadBE16(info->forkStart[fork]), static_cast<uint32_t>(info->forkLength[fork]), buffer);
}

const int kNoLineEnd = -1;
const uint8_t kCarriageReturn = 0x0D;
const uint8_t kAtariEndOfLine = 0x9B;

// Each row: the format, its name, folder separator, whole catalog, Macintosh,
// type and creator shown, dates in UTC, line end of its texts; its lister,
// reader, buffer size, data length, full sizes, readability and folder
// entered by its entry; and, for Macintosh formats, the file whole, a fork's
// buffer size, a fork read whole and a fork read in pieces.
const VolumeFormatRow kRows[] = {
    {FormatNone, "none", '\\', false, false, false, false, kNoLineEnd,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr},
    {FormatAtariDos, "atari-dos", '\\', false, false, false, false, kAtariEndOfLine,
     ListAtariDirectory, ReadAtariEntryData, AtariEntryDataBytes, AtariEntryDataLength, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr},
    {FormatMyDos, "mydos", '\\', false, false, false, false, kAtariEndOfLine,
     ListAtariDirectory, ReadAtariEntryData, AtariEntryDataBytes, AtariEntryDataLength, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr},
    {FormatFat12, "fat12", '\\', false, false, false, false, kNoLineEnd,
     ListFatDirectory, ReadFatEntryData, FatEntryDataBytes, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr},
    {FormatFat16, "fat16", '\\', false, false, false, false, kNoLineEnd,
     ListFatDirectory, ReadFatEntryData, FatEntryDataBytes, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr},
    {FormatMfs, "mfs", ':', false, true, false, false, kCarriageReturn,
     ListMfsDirectory, ReadMfsEntryData, MfsEntryDataBytes, nullptr, nullptr, nullptr, nullptr,
     FindMfsFile, MfsMacForkBufferBytes, ReadMfsMacFork, nullptr},
    {FormatHfs, "hfs", ':', true, true, true, false, kCarriageReturn,
     ListHfsDirectory, ReadHfsEntryData, HfsEntryDataBytes, nullptr, nullptr, nullptr, nullptr,
     FindHfsFile, HfsMacForkBufferBytes, ReadHfsMacFork, nullptr},
    {FormatHfsPlus, "hfsplus", ':', true, true, true, true, kCarriageReturn,
     ListHfsPlusDirectory, ReadHfsPlusEntryData, HfsPlusEntryDataBytes, nullptr, HfsPlusEntrySizes,
     HfsPlusEntryReadable, EnterHfsPlusFolder,
     FindHfsPlusFile, HfsPlusForkBufferBytes, ReadHfsPlusFork, OpenHfsPlusForkReader},
};

}  // namespace

const VolumeFormatRow& FormatRow(VolumeFormat format) {
  for (const VolumeFormatRow& row : kRows) {
    if (row.format == format) return row;
  }
  return kRows[0];
}
