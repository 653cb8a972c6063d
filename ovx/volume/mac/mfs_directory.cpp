#include "mfs_directory.h"

#include <cstring>

#include "byte_order.h"
#include "entry_append.h"
#include "mac_time.h"
#include "sector_transfer.h"

namespace {

enum {
  kVolumeInfoSector = 2,
  kDirectoryStartOffset = 14,   // BE16: first sector of the file directory
  kDirectoryLengthOffset = 16,  // BE16: its length in sectors
  kBlockCountOffset = 18,       // BE16: allocation blocks
  kBlockBytesOffset = 20,       // BE32: allocation block size
  kFirstBlockSectorOffset = 28, // BE16: sector of allocation block 2, the first
  kMapOffset = 64,              // the block map follows the volume information
  kFirstBlock = 2,
  kLastMapBlock = 0xFFF,        // map entries are 12 bits wide
  kEndOfFork = 1,               // the map entry of a fork's last block
  kMaxMapSectors = (kMapOffset + (kLastMapBlock - kFirstBlock + 1) * 3 / 2 + 1 + kSectorBytes - 1) / kSectorBytes,
  kEntryInUse = 0x80,
  kFinderInfoOffset = 2,
  kFileNumberOffset = 18,
  kDataStartOffset = 22,
  kDataLengthOffset = 24,
  kResourceStartOffset = 32,
  kResourceLengthOffset = 34,
  kModifiedOffset = 46,
  kNameLengthOffset = 50,
  kNameOffset = 51,
  kReadChunkSectors = 128,
};

// The volume information block and the allocation block map after it.
struct MfsVolume {
  uint32_t blockBytes;   // a non-zero multiple of 512
  uint32_t firstBlockSector;
  uint32_t lastBlock;    // the highest block number the map covers
  uint8_t map[kMaxMapSectors * kSectorBytes];
};

int ReadMfsVolume(Volume* volume, MfsVolume* mfs) {
  uint8_t* sector = mfs->map;
  if (!ReadSectors(volume, kVolumeInfoSector, 1, sector) || sector[0] != 0xD2 || sector[1] != 0xD7) return 0;
  mfs->blockBytes = ReadBE32(sector + kBlockBytesOffset);
  if (mfs->blockBytes == 0 || mfs->blockBytes % kSectorBytes != 0) return 0;
  mfs->firstBlockSector = ReadBE16(sector + kFirstBlockSectorOffset);
  const uint32_t blocks = ReadBE16(sector + kBlockCountOffset);
  if (blocks == 0) return 0;
  const uint32_t last = blocks + kFirstBlock - 1;
  mfs->lastBlock = last > kLastMapBlock ? static_cast<uint32_t>(kLastMapBlock) : last;
  // The map spills into the sectors after the volume information block.
  const uint32_t mapBytes = kMapOffset + ((mfs->lastBlock - kFirstBlock + 1) * 3 + 1) / 2 + 1;
  const uint32_t sectors = (mapBytes + kSectorBytes - 1) / kSectorBytes;
  return sectors < 2 || ReadSectors(volume, kVolumeInfoSector + 1, static_cast<int32_t>(sectors - 1), sector + kSectorBytes);
}

// The map entry of block: 12 bits, packed big-endian from block 2 on.
uint32_t NextBlock(const MfsVolume& mfs, uint32_t block) {
  const uint32_t k = block - kFirstBlock;
  const uint8_t* at = mfs.map + kMapOffset + k * 3 / 2;
  return k % 2 == 0 ? static_cast<uint32_t>(at[0]) << 4 | at[1] >> 4 : (at[0] & 0x0Fu) << 8 | at[1];
}

void FillFileInfo(const uint8_t* e, MacFileInfo* info) {
  memset(info, 0, sizeof *info);
  info->format = FormatMfs;
  memcpy(info->finderInfo, e + kFinderInfoOffset, 16);
  info->fileId = ReadBE32(e + kFileNumberOffset);
  info->forkLength[MacDataFork] = ReadBE32(e + kDataLengthOffset);
  info->forkLength[MacResourceFork] = ReadBE32(e + kResourceLengthOffset);
  memcpy(info->forkStart[MacDataFork], e + kDataStartOffset, 2);
  memcpy(info->forkStart[MacResourceFork], e + kResourceStartOffset, 2);
}

// Calls visit(entry bytes, name length) for each entry in use of the
// directory, in order, until visit returns false. Entries lie end to end,
// none spans two sectors; one that would reach past the sector ends it, and
// so does the first without bit 7 of its flags. An unreadable sector is
// passed over. Returns 0 when the volume information block cannot be read.
template <typename Visit>
int ForEachDirectoryEntry(Volume* volume, Visit visit) {
  uint8_t sector[kSectorBytes];
  if (!ReadSectors(volume, kVolumeInfoSector, 1, sector) || sector[0] != 0xD2 || sector[1] != 0xD7) return 0;
  // The whole 16-bit field: its high byte is 0 on floppies, but not on larger volumes.
  const uint32_t first = ReadBE16(sector + kDirectoryStartOffset);
  const uint32_t length = ReadBE16(sector + kDirectoryLengthOffset);
  // A damaged length of up to 65,535 sectors must not send the walk over
  // every sector past the medium's end; one inside it that fails is passed over.
  const uint64_t mediumSectors = MediumBytes(volume) / kSectorBytes;
  for (uint32_t k = 0; k < length && first + k < mediumSectors; ++k) {
    if (!ReadSectors(volume, static_cast<int32_t>(first + k), 1, sector)) continue;
    unsigned at = 0;
    while (at + kNameOffset <= kSectorBytes && (sector[at] & kEntryInUse)) {
      const uint8_t* e = sector + at;
      const unsigned nameLength = e[kNameLengthOffset];
      if (nameLength == 0 || at + kNameOffset + nameLength > kSectorBytes) break;
      if (!visit(e, nameLength)) return 1;
      at += kNameOffset + nameLength + (nameLength % 2 == 0 ? 1 : 0);
    }
  }
  return 1;
}

}  // namespace

int ListMfsDirectory(Volume* volume, const char* path, DirEntry** array) {
  if (path[0] != '\0') return kListingAbandoned;
  int count = 0;
  const int read = ForEachDirectoryEntry(volume, [&](const uint8_t* e, unsigned nameLength) {
    DirEntry entry;
    memset(&entry, 0, sizeof entry);
    memcpy(entry.name, e + kNameOffset, nameLength);
    memcpy(entry.macType, e + kFinderInfoOffset, 4);
    memcpy(entry.macCreator, e + kFinderInfoOffset + 4, 4);
    const uint32_t dataFork = ReadBE32(e + kDataLengthOffset);
    const uint32_t resourceFork = ReadBE32(e + kResourceLengthOffset);
    entry.dataSize = dataFork;
    entry.size = dataFork > UINT32_MAX - resourceFork ? UINT32_MAX : dataFork + resourceFork;
    entry.modified = MacDateToFileTime(ReadBE32(e + kModifiedOffset));
    entry.nodeId = ReadBE32(e + kFileNumberOffset);
    memcpy(entry.location, e + kDataStartOffset, 2);
    memcpy(entry.location + 2, e + kResourceStartOffset, 2);
    AppendListedEntry(volume, array, &entry, &count);
    return true;
  });
  return read ? count : kListingAbandoned;
}

uint64_t MfsForkBufferBytes(Volume* volume, uint32_t length) {
  uint8_t sector[kSectorBytes];
  if (!ReadSectors(volume, kVolumeInfoSector, 1, sector) || sector[0] != 0xD2 || sector[1] != 0xD7) return 0;
  const uint32_t blockBytes = ReadBE32(sector + kBlockBytesOffset);
  if (blockBytes % kSectorBytes != 0) return 0;  // such a volume is not read
  return WholeBlocksWithinMedium(volume, length, blockBytes);
}

uint32_t ReadMfsFork(Volume* volume, uint32_t firstBlock, uint32_t length, uint8_t* buffer) {
  MfsVolume* mfs = static_cast<MfsVolume*>(HeapAlloc(GetProcessHeap(), 0, sizeof *mfs));
  if (!mfs) return 0;
  uint64_t total = 0;
  if (ReadMfsVolume(volume, mfs)) {
    const uint64_t limit = WholeBlocksWithinMedium(volume, length, mfs->blockBytes);
    const uint32_t sectorsPerBlock = mfs->blockBytes / kSectorBytes;
    uint8_t visited[(kLastMapBlock + 1) / 8] = {};
    uint32_t block = firstBlock;
    // A fork ends at its last block, and where the map points outside the
    // volume or back to a block the fork has passed.
    while (total < limit && block >= kFirstBlock && block <= mfs->lastBlock && !(visited[block / 8] & (1 << block % 8))) {
      visited[block / 8] |= static_cast<uint8_t>(1 << block % 8);
      const uint64_t sector = mfs->firstBlockSector + static_cast<uint64_t>(block - kFirstBlock) * sectorsPerBlock;
      if (sector + sectorsPerBlock > INT32_MAX) break;
      // Large blocks are read in pieces, the last one no further than the limit.
      uint32_t done = 0;
      while (done < sectorsPerBlock && total < limit) {
        uint32_t n = sectorsPerBlock - done;
        if (n > kReadChunkSectors) n = kReadChunkSectors;
        if (n > (limit - total) / kSectorBytes) n = static_cast<uint32_t>((limit - total) / kSectorBytes);
        if (n == 0 || !ReadSectors(volume, static_cast<int32_t>(sector + done), static_cast<int32_t>(n), buffer + total)) {
          HeapFree(GetProcessHeap(), 0, mfs);
          return static_cast<uint32_t>(total);
        }
        done += n;
        total += static_cast<uint64_t>(n) * kSectorBytes;
      }
      const uint32_t next = NextBlock(*mfs, block);
      if (next == kEndOfFork) break;
      block = next;
    }
  }
  HeapFree(GetProcessHeap(), 0, mfs);
  return total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
}

uint32_t ReadMfsEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry) {
  const bool data = entry->dataSize != 0;
  return ReadMfsFork(volume, ReadBE16(entry->location + (data ? 0 : 2)), data ? entry->dataSize : entry->size, buffer);
}

uint64_t MfsEntryDataBytes(Volume* volume, const DirEntry* entry) {
  return MfsForkBufferBytes(volume, entry->dataSize != 0 ? entry->dataSize : entry->size);
}

int FindMfsFileInfo(Volume* volume, uint32_t fileNumber, MacFileInfo* info) {
  int found = 0;
  ForEachDirectoryEntry(volume, [&](const uint8_t* e, unsigned) {
    if (ReadBE32(e + kFileNumberOffset) != fileNumber) return true;
    FillFileInfo(e, info);
    found = 1;
    return false;
  });
  return found;
}
