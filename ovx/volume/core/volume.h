// The Volume: one opened disk source (floppy drive, SCSI device, image file or
// Windows logical drive) and what was learned about the file system on it.
// OpenVolume creates it and runs format detection; CloseVolume releases it and
// everything it owns. The request fields at its head are the parameter block
// of TransferSectors.
#pragma once
#include <cstdint>

#include "dir_entry.h"
#include "scsi_commands.h"
#include "win32_compat.h"

enum VolumeKind : int32_t {
  KindFloppy = 1,        // source: drive number in bit 0 (0 = A:, 1 = B:)
  KindScsi = 2,          // source: (logical unit << 12) | (host adapter << 4) | target id
  KindImageFile = 3,     // source: pointer to the image file's path
  KindLogicalDrive = 4,  // source unused; no sector transfers
};

enum VolumeFormat : int32_t {
  FormatNone = 0,
  FormatAtariDos = 1,
  FormatMyDos = 2,
  FormatFat12 = 3,
  FormatFat16 = 4,
  FormatMfs = 7,
  FormatHfs = 8,
  FormatHfsPlus = 9,  // Mac OS Extended: HFS+ and HFSX
};

enum OpenFlags {
  OpenNoDetect = 1,  // format stays FormatNone
  OpenReadOnly = 2,  // image opened for reading; readOnly set for every kind
  OpenCreate = 4,    // image created (or truncated), opened for reading and writing
  // HFS and HFS+ keep their catalog in compact form only: catalog stays empty, and
  // only the listings return entries. For programs that never look at the
  // catalog itself; it saves a DirEntry of 320 bytes per file and folder.
  OpenCompactCatalog = 8,
  // HFS+ names in UTF-8, as stored, instead of the ANSI code page.
  OpenUtf8Names = 16,
};

enum {
  kSectorBytes = 512,      // every transfer counts in these, whatever the device has
  kBlockCacheSlots = 16,   // slots 0..15 hold blocks; slot 16 is scratch for reordering
  kMaxImagePath = MAX_PATH - 1,
  // The most a SCSI source can name: target ids in bits 0 to 3, logical
  // units in bits 12 to 14 (0 in every source of an ASPI device).
  kMaxScsiTarget = 15,
  kMaxScsiLun = 7,
};

// One device block kept for devices whose blocks exceed 512 bytes.
struct BlockCacheSlot {
  uint8_t* buffer;  // sectorSize bytes on the process heap, or null until first use
  int32_t block;    // device block number held in buffer
};

struct Volume {
  // Request of TransferSectors; set all of startSector, sectorCount and buffer
  // before every call, since the transfer consumes them.
  int32_t startSector;  // first 512-byte sector, counted from partitionStart
  int32_t head;         // cylinder-head-sector form only; 0 in every request OVX makes
  int32_t track;
  int32_t sectorCount;  // 512-byte sectors; back-ends leave it 0
  uint8_t* buffer;      // sectorCount * 512 bytes

  int32_t isNT;  // Windows NT platform: selects the floppy back-end
  VolumeKind kind;
  VolumeFormat format;
  int32_t readOnly;        // writes are refused
  int32_t partitionStart;  // 512-byte blocks added to every transfer
  int32_t headerLength;    // bytes before sector 0 of an image file: 0, 12, 16 or 84
  int32_t sizeKB;          // size of the medium; for floppies also the geometry
  uint32_t sectorSize;     // device block length in bytes; 0 when a SCSI device's cannot be used
  char imagePath[MAX_PATH];
  char deviceName[MAX_PATH];  // SCSI vendor and product text
  int32_t hostAdapter;
  int32_t unit;  // floppy drive number or SCSI target id
  int32_t lun;   // SCSI logical unit
  HANDLE file;   // the open image file

  // Listing state (listings of the file systems keep it here).
  char currentPath[MAX_PATH];
  uint32_t currentDirId;
  DirEntry* catalog;  // process heap; room for at least one entry
  int32_t catalogCount;

  BlockCacheSlot blockCache[kBlockCacheSlots + 1];

  // HFS: the catalog as listings search it, made when the top is listed;
  // null until then. compactCatalog: OpenCompactCatalog was given.
  struct HfsCatalog* hfsCatalog;
  int32_t compactCatalog;

  // HFS: every file record of the catalog, for what listings leave out; null until asked for.
  struct MacFileInfo* hfsFiles;
  int32_t hfsFileCount;

  // FAT on a read-only image: folders reached by earlier listings; null until the first.
  struct FatListingMemo* fatListingMemo;

  // HFS: the folder id of each name of currentPath, so that a walk to a
  // sibling or a parent folder starts from the folder they share, not the top.
  uint32_t hfsPathIds[MAX_PATH / 2];
  int32_t hfsPathLevels;

  // Set by every TransferSectors: it failed because the device did not
  // answer in time (deviceTimedOut), not because it answered with an error.
  int32_t timedOut;

  // HFS+: where file records are read again; null until the first listing.
  struct HfsPlusState* hfsPlus;
  int32_t utf8Names;  // OpenUtf8Names was given
};

// Opens a source of the given kind (source as the VolumeKind table says) and,
// unless OpenNoDetect, detects its format. Returns a new Volume, or null when
// the kind is unknown, the source cannot be opened or memory runs out; then
// GetLastError() gives the platform's reason.
Volume* OpenVolume(VolumeKind kind, uintptr_t source, int flags);

// The OpenVolume source of a SCSI unit. Its target and logical unit must be
// within kMaxScsiTarget and kMaxScsiLun, its host adapter below 256.
uintptr_t ScsiSource(const ScsiAddress& unit);
// The SCSI unit of a volume of KindScsi.
ScsiAddress VolumeScsiUnit(const Volume* volume);

// READ CAPACITY of a SCSI volume's device: the address of its last block and
// its block length. Returns 1; 0 when it does not answer.
int ReadScsiCapacity(const Volume* volume, uint32_t* lastBlock, uint32_t* blockLength);

// A SCSI device's sizeKB from its capacity: (blockLength / 512 x lastBlock) / 2,
// so the last block is left out. Returns 1 and sets *kilobytes; 0 for blocks
// that do not hold whole sectors or a size beyond 32 bits.
int ScsiKilobytes(uint32_t lastBlock, uint32_t blockLength, int32_t* kilobytes);

// The bytes the medium holds (sizeKB), the most that anything read from it
// can amount to; UINT64_MAX when its size is not known.
uint64_t MediumBytes(const Volume* volume);

// What a read of length bytes in whole blocks of blockBytes may write: the
// length rounded up to whole blocks, but never more whole 512-byte sectors
// than the medium holds, however large the blocks or the length a damaged
// volume gives.
uint64_t WholeBlocksWithinMedium(const Volume* volume, uint64_t length, uint32_t blockBytes);

// Closes the image file and releases the cache buffers, the catalog and the
// record. Returns 1; 0 (releasing nothing) for null or an unknown kind.
int CloseVolume(Volume* volume);
