#include "mac_file.h"

#include "byte_order.h"
#include "hfs_catalog.h"
#include "hfs_fork.h"
#include "mfs_directory.h"

int ReadMacFileInfo(Volume* volume, const DirEntry* entry, MacFileInfo* info) {
  if (!volume || !entry || (entry->attributes & kDirEntryFolder)) return 0;
  switch (volume->format) {
    case FormatHfs: return FindHfsFileInfo(volume, entry->nodeId, info);
    case FormatMfs: return FindMfsFileInfo(volume, entry->nodeId, info);
    default: return 0;
  }
}

uint64_t MacForkBufferBytes(Volume* volume, const MacFileInfo* info, MacFork fork) {
  switch (info->format) {
    case FormatHfs: return HfsForkBufferBytes(volume, info->forkLength[fork]);
    case FormatMfs: return MfsForkBufferBytes(volume, info->forkLength[fork]);
    default: return 0;
  }
}

uint32_t ReadMacFork(Volume* volume, const MacFileInfo* info, MacFork fork, uint8_t* buffer) {
  if (info->forkLength[fork] == 0) return 0;
  switch (info->format) {
    case FormatHfs:
      return ReadHfsFork(volume, info->fileId, fork == MacDataFork ? kHfsDataFork : kHfsResourceFork,
                         info->forkStart[fork], info->forkLength[fork], buffer);
    case FormatMfs: return ReadMfsFork(volume, ReadBE16(info->forkStart[fork]), info->forkLength[fork], buffer);
    default: return 0;
  }
}
