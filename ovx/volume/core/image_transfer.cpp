#include "image_transfer.h"

#include "volume.h"

namespace {

int SeekTo(HANDLE file, uint64_t offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(file, static_cast<LONG>(static_cast<uint32_t>(offset)), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

// Beyond this a byte offset is not a place in any image file (and could not be
// handed to the platform's 64-bit file pointer as a positive value).
const uint64_t kMaxImageOffset = UINT64_C(1) << 62;

}  // namespace

uint32_t ReadImageBytes(HANDLE file, uint64_t offset, uint8_t* buffer, uint32_t bytes) {
  if (!SeekTo(file, offset)) return 0;
  DWORD moved = 0;
  if (!ReadFile(file, buffer, bytes, &moved, nullptr)) return 0;
  return moved;
}

int ImageFileSize(HANDLE file, uint64_t* size) {
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
  *size = static_cast<uint64_t>(high) << 32 | low;
  return 1;
}

int ImageTransfer(Volume* volume, uintptr_t write) {
  if (volume->sectorCount <= 0 || !volume->file || volume->file == INVALID_HANDLE_VALUE) return 0;
  // 64-bit arithmetic throughout: a damaged partition start near 2^31 must
  // point past the end of the file, never wrap round to another place in it.
  const uint64_t bytes = static_cast<uint64_t>(volume->sectorCount) * kSectorBytes;
  const int64_t sector = static_cast<int64_t>(volume->partitionStart) + volume->startSector;
  if (sector < 0 || volume->headerLength < 0 || bytes > UINT32_MAX) return 0;
  const uint64_t offset = static_cast<uint64_t>(sector) * kSectorBytes + static_cast<uint64_t>(volume->headerLength);
  if (offset + bytes > kMaxImageOffset) return 0;

  if (!write) {
    volume->sectorCount = 0;
    return ReadImageBytes(volume->file, offset, volume->buffer, static_cast<uint32_t>(bytes)) == bytes;
  }
  // The image being written grows to hold the request: the write itself
  // extends it, and a gap before it is made first. Reads never grow it: a
  // read past the end fails as it would on a file opened only for reading.
  uint64_t size;
  if (!ImageFileSize(volume->file, &size)) return 0;
  if (offset > size && (!SeekTo(volume->file, offset) || !SetEndOfFile(volume->file))) return 0;
  if (!SeekTo(volume->file, offset)) return 0;
  volume->sectorCount = 0;
  DWORD moved = 0;
  return WriteFile(volume->file, volume->buffer, static_cast<DWORD>(bytes), &moved, nullptr) && moved == bytes;
}
