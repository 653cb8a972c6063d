#include "volume_formats.h"

#include "atari_directory.h"
#include "byte_order.h"
#include "fat_volume.h"
#include "hfs_catalog.h"
#include "hfs_fork.h"
#include "mfs_directory.h"

namespace {

int FindHfsFile(Volume* volume, const DirEntry* entry, MacFileInfo* info) {
  return FindHfsFileInfo(volume, entry->nodeId, info);
}

int FindMfsFile(Volume* volume, const DirEntry* entry, MacFileInfo* info) {
  return FindMfsFileInfo(volume, entry->nodeId, info);
}

uint64_t HfsMacForkBufferBytes(Volume* volume, const MacFileInfo* info, MacFork fork) {
  return HfsForkBufferBytes(volume, info->forkLength[fork]);
}

uint32_t ReadHfsMacFork(Volume* volume, const MacFileInfo* info, MacFork fork, uint8_t* buffer) {
  return ReadHfsFork(volume, info->fileId, fork == MacDataFork ? kHfsDataFork : kHfsResourceFork,
                     info->forkStart[fork], info->forkLength[fork], buffer);
}

uint64_t MfsMacForkBufferBytes(Volume* volume, const MacFileInfo* info, MacFork fork) {
  return MfsForkBufferBytes(volume, info->forkLength[fork]);
}

uint32_t ReadMfsMacFork(Volume* volume, const MacFileInfo* info, MacFork fork, uint8_t* buffer) {
  return ReadMfsFork(volume, ReadBE16(info->forkStart[fork]), info->forkLength[fork], buffer);
}

const int kNoLineEnd = -1;
const uint8_t kCarriageReturn = 0x0D;
const uint8_t kAtariEndOfLine = 0x9B;

// Each row: the format, its name, folder separator, whole catalog, Macintosh,
// type and creator shown, line end of its texts; its lister, reader, buffer
// size and data length; and, for Macintosh formats, the file whole, a fork's
// buffer size and a fork read whole.
const VolumeFormatRow kRows[] = {
    {FormatNone, "none", '\\', false, false, false, kNoLineEnd,
     nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr},
    {FormatAtariDos, "atari-dos", '\\', false, false, false, kAtariEndOfLine,
     ListAtariDirectory, ReadAtariEntryData, AtariEntryDataBytes, AtariEntryDataLength,
     nullptr, nullptr, nullptr},
    {FormatMyDos, "mydos", '\\', false, false, false, kAtariEndOfLine,
     ListAtariDirectory, ReadAtariEntryData, AtariEntryDataBytes, AtariEntryDataLength,
     nullptr, nullptr, nullptr},
    {FormatFat12, "fat12", '\\', false, false, false, kNoLineEnd,
     ListFatDirectory, ReadFatEntryData, FatEntryDataBytes, nullptr,
     nullptr, nullptr, nullptr},
    {FormatFat16, "fat16", '\\', false, false, false, kNoLineEnd,
     ListFatDirectory, ReadFatEntryData, FatEntryDataBytes, nullptr,
     nullptr, nullptr, nullptr},
    {FormatMfs, "mfs", ':', false, true, false, kCarriageReturn,
     ListMfsDirectory, ReadMfsEntryData, MfsEntryDataBytes, nullptr,
     FindMfsFile, MfsMacForkBufferBytes, ReadMfsMacFork},
    {FormatHfs, "hfs", ':', true, true, true, kCarriageReturn,
     ListHfsDirectory, ReadHfsEntryData, HfsEntryDataBytes, nullptr,
     FindHfsFile, HfsMacForkBufferBytes, ReadHfsMacFork},
};

}  // namespace

const VolumeFormatRow& FormatRow(VolumeFormat format) {
  for (const VolumeFormatRow& row : kRows) {
    if (row.format == format) return row;
  }
  return kRows[0];
}
