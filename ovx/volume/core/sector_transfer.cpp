#include "sector_transfer.h"

#include <cstring>

#include "block_cache.h"
#include "device_backends.h"
#include "floppy_geometry.h"
#include "image_transfer.h"
#include "volume.h"

namespace {

// The most one large-block run may take in its temporary buffer: far above
// any request OVX makes, and an allocation size that cannot overflow.
const uint64_t kMaxRunBytes = INT32_MAX;

// Windows 9x reaches the floppy through the BIOS disk service one track at a
// time, so the request is cut into pieces that each stay within one track.
int FloppyTransfer9x(Volume* volume, uintptr_t write) {
  if (volume->sectorCount <= 0) return 0;
  int32_t remaining = volume->sectorCount;
  int64_t n = volume->startSector;
  uint8_t* pieceBuffer = volume->buffer;
  while (remaining > 0) {
    int32_t piece = remaining;
    FloppyGeometry geometry;
    if (FloppyGeometryFor(volume->sizeKB, &geometry)) {
      if (n < 0) return 0;
      const int64_t perCylinder = static_cast<int64_t>(geometry.sectorsPerTrack) * geometry.sides;
      const int32_t index = static_cast<int32_t>(n % geometry.sectorsPerTrack);
      if (static_cast<int64_t>(remaining) + index > geometry.sectorsPerTrack) piece = geometry.sectorsPerTrack - index;
      volume->track = static_cast<int32_t>(n / perCylinder);
      volume->head = static_cast<int32_t>((n % perCylinder) / geometry.sectorsPerTrack);
      volume->startSector = index;
    }
    volume->sectorCount = piece;
    volume->buffer = pieceBuffer;
    if (!deviceBackends.FloppyTransferVwin32(volume, write)) return 0;
    // An MFS volume information block in sector 2 of a disk taken for 1440 KB
    // tells the real size; later pieces of this call use its geometry.
    if (!write && volume->sizeKB == 1440 && n == 2 && pieceBuffer[0] == 0xD2 && pieceBuffer[1] == 0xD7) {
      volume->sizeKB = MfsFloppySizeKB(pieceBuffer);
    }
    remaining -= piece;
    n += piece;
    pieceBuffer += static_cast<size_t>(piece) * kSectorBytes;
    volume->buffer = pieceBuffer;
  }
  return 1;
}

// Reads the blocks from index `from` to `end` (excluded) of a run that starts at device block b0.
int ReadRun(Volume* volume, uint32_t b0, int from, int end, uint8_t* run) {
  return deviceBackends.ScsiRead(VolumeScsiUnit(volume), b0 + from, end - from,
                                 run + static_cast<size_t>(from) * volume->sectorSize, volume->sectorSize);
}

int ScsiTransfer(Volume* volume, uintptr_t write) {
  if (scsiAdapterCount == 0 || !ScsiBlockLengthUsable(volume->sectorSize)) return 0;
  const int64_t first = static_cast<int64_t>(volume->partitionStart) + volume->startSector;
  const int64_t count = volume->sectorCount;
  // Device addresses are 32 bits; a request outside them names no block.
  if (first < 0 || count < 0 || first + count > UINT32_MAX) return 0;
  const uint32_t blockLength = volume->sectorSize;
  const uint32_t f = static_cast<uint32_t>(first);
  const int n = static_cast<int>(count);

  if (blockLength <= kSectorBytes) {
    // Each 512-byte sector is one device block.
    if (write) return n == 0 ? 1 : deviceBackends.ScsiWrite(VolumeScsiUnit(volume), f, n, volume->buffer, blockLength);
    int cached = CacheLookup(volume, volume->buffer, f, n);
    if (cached == n) return 1;
    return deviceBackends.ScsiRead(VolumeScsiUnit(volume), f + cached, n - cached,
                                   volume->buffer + static_cast<size_t>(cached) * blockLength, blockLength);
  }

  if (write) return 0;  // writing to devices with large blocks is not supported
  // The run covers every block holding a requested byte, and one block more
  // when the request ends exactly on a block boundary.
  const uint64_t firstBlock = static_cast<uint64_t>(first) * kSectorBytes / blockLength;
  const uint64_t blocks = static_cast<uint64_t>(first + count) * kSectorBytes / blockLength - firstBlock + 1;
  if (blocks * blockLength > kMaxRunBytes) return 0;
  const size_t runBytes = static_cast<size_t>(blocks * blockLength);
  uint8_t* run = static_cast<uint8_t*>(VirtualAlloc(nullptr, runBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!run) return 0;
  const uint32_t b0 = static_cast<uint32_t>(firstBlock);
  const int k = static_cast<int>(blocks);
  const int cached = CacheLookup(volume, run, b0, k);
  int got = k;  // blocks at the front of the run that hold the medium's data
  if (cached < k && !ReadRun(volume, b0, cached, k, run)) {
    // The block after a request that ends on a block boundary lies past the
    // end of the medium when the request reaches it; the request is whole without it.
    const bool endsOnBoundary = static_cast<uint64_t>(first + count) * kSectorBytes % blockLength == 0;
    got = endsOnBoundary && (cached == k - 1 || ReadRun(volume, b0, cached, k - 1, run)) ? k - 1 : -1;
  }
  const int ok = got >= 0;
  if (ok) {
    const uint64_t skip = static_cast<uint64_t>(first) * kSectorBytes - firstBlock * blockLength;
    if (count > 0) memcpy(volume->buffer, run + skip, static_cast<size_t>(count) * kSectorBytes);
    CacheStore(volume, run, b0, got);
  }
  VirtualFree(run, 0, MEM_RELEASE);
  return ok;
}

// TransferSectors without the time-out record.
int RouteTransfer(Volume* volume, uintptr_t write) {
  if (write && volume->readOnly) return 0;
  const bool floppy9x = volume->kind == KindFloppy && !volume->isNT;
  if ((volume->track || volume->head) && !floppy9x) {
    const int64_t folded = volume->startSector + FoldedTrackStart(volume->sizeKB, volume->track, volume->head);
    if (folded < INT32_MIN || folded > INT32_MAX) return 0;
    volume->startSector = static_cast<int32_t>(folded);
    volume->track = 0;
    volume->head = 0;
  }
  switch (volume->kind) {
    case KindFloppy:
      return volume->isNT ? deviceBackends.FloppyTransferNT(volume, write) : FloppyTransfer9x(volume, write);
    case KindScsi:
      return ScsiTransfer(volume, write);
    case KindImageFile:
      return ImageTransfer(volume, write);
    default:
      return 0;
  }
}

}  // namespace

int TransferSectors(Volume* volume, uintptr_t write) {
  if (!volume) return 0;
  deviceTimedOut = 0;
  const int moved = RouteTransfer(volume, write);
  volume->timedOut = !moved && deviceTimedOut;
  return moved;
}

int ScsiBlockLengthUsable(uint32_t blockLength) {
  return blockLength != 0 && blockLength % kSectorBytes == 0 && blockLength <= kMaxScsiBlockLength;
}

int ReadSectors(Volume* volume, int32_t first, int32_t count, uint8_t* buffer) {
  if (!volume) return 0;
  // A Windows 9x floppy transfer leaves the last piece's track and head behind.
  volume->head = 0;
  volume->track = 0;
  volume->startSector = first;
  volume->sectorCount = count;
  volume->buffer = buffer;
  return TransferSectors(volume, 0);
}
