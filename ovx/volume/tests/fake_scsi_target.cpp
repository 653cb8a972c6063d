#include "fake_scsi_target.h"

#include <cstring>

namespace {

uint32_t BE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void PutBE32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// The image stays open from the first command on: opening it for every
// command made a copy of a large fake disk measure the file system rather
// than the copy. Others may still write, replace or delete the file meanwhile.
HANDLE ImageFile(FakeScsiTarget& target) {
  if (!target.file) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file = CreateFileA(target.imagePath, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      file = CreateFileA(target.imagePath, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    target.file = file;
  }
  return target.file;
}

uint64_t ImageSize(FakeScsiTarget& target) {
  HANDLE file = ImageFile(target);
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(file, &size)) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

// Moves bytes between the image and memory at offset; false when the range
// lies outside the image or the file fails.
bool MoveImageBytes(FakeScsiTarget& target, uint64_t offset, uint8_t* data, DWORD bytes, bool write) {
  if (offset + bytes > ImageSize(target)) return false;
  HANDLE file = ImageFile(target);
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(file, static_cast<LONG>(offset), &high, FILE_BEGIN);
  DWORD moved = 0;
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) &&
         (write ? WriteFile(file, data, bytes, &moved, nullptr) : ReadFile(file, data, bytes, &moved, nullptr)) &&
         moved == bytes;
}

FakeScsiOutcome Inquiry(const FakeScsiTarget& target, const uint8_t* cdb, int cdbLength, FakeScsiDirection direction,
                        uint8_t* data, uint32_t dataLength, uint32_t* moved) {
  uint8_t answer[36] = {0};
  answer[0] = target.kind == FakeScsiCdrom ? 0x05 : 0x00;  // peripheral device type
  answer[1] = target.kind == FakeScsiCdrom ? 0x80 : 0x00;  // removable medium
  answer[2] = 2;
  answer[4] = sizeof answer - 5;
  memcpy(answer + 8, "ORVANTA ", 8);
  memcpy(answer + 16, target.kind == FakeScsiCdrom ? "FAKE CD-ROM     " : "FAKE DISK       ", 16);
  memcpy(answer + 32, "1.0 ", 4);
  const uint32_t length = cdb[4];
  if (cdbLength != 6 || direction != FakeScsiDataIn || dataLength < length) return FakeScsiRefused;
  *moved = length < sizeof answer ? length : sizeof answer;
  memcpy(data, answer, *moved);
  return FakeScsiGood;
}

FakeScsiOutcome ReadCapacity(FakeScsiTarget& target, int cdbLength, FakeScsiDirection direction, uint8_t* data,
                             uint32_t dataLength, uint32_t* moved) {
  if (target.kind == FakeScsiNoCapacity || cdbLength != 10 || direction != FakeScsiDataIn || dataLength != 8) {
    return FakeScsiCheckCondition;
  }
  const uint64_t blocks = ImageSize(target) / FakeScsiBlockLength(target);
  if (blocks == 0) return FakeScsiRefused;
  PutBE32(data, static_cast<uint32_t>(blocks - 1));
  PutBE32(data + 4, FakeScsiBlockLength(target));
  *moved = 8;
  return FakeScsiGood;
}

FakeScsiOutcome ReadOrWrite(FakeScsiTarget& target, const uint8_t* cdb, int cdbLength, bool write, bool tenBytes,
                            FakeScsiDirection direction, uint8_t* data, uint32_t dataLength, uint32_t* moved) {
  uint32_t address, count;
  if (tenBytes) {
    address = BE32(cdb + 2);
    count = static_cast<uint32_t>(cdb[7]) << 8 | cdb[8];
  } else {
    address = static_cast<uint32_t>(cdb[1] & 0x1F) << 16 | cdb[2] << 8 | cdb[3];
    count = cdb[4] ? cdb[4] : 256;
  }
  const uint32_t blockLength = FakeScsiBlockLength(target);
  const bool bad = target.badBlock >= address && target.badBlock < static_cast<int64_t>(address) + count;
  if (bad || (target.maxBlocks && count > target.maxBlocks) || (write && target.writeProtected)) {
    return FakeScsiCheckCondition;
  }
  if (reinterpret_cast<uintptr_t>(data) & target.alignmentMask) return FakeScsiRefused;
  if (cdbLength != (tenBytes ? 10 : 6) || direction != (write ? FakeScsiDataOut : FakeScsiDataIn) ||
      static_cast<uint64_t>(count) * blockLength != dataLength) {
    return FakeScsiRefused;
  }
  if (!MoveImageBytes(target, static_cast<uint64_t>(address) * blockLength, data, dataLength, write)) {
    return FakeScsiCheckCondition;
  }
  *moved = dataLength;
  return FakeScsiGood;
}

}  // namespace

bool SetUpFakeScsiTarget(FakeScsiTarget* target, int kind, const char* imagePath) {
  if (!imagePath || strlen(imagePath) >= sizeof target->imagePath) return false;
  memset(target, 0, sizeof *target);
  target->kind = kind;
  strcpy(target->imagePath, imagePath);
  target->badBlock = -1;
  return true;
}

void CloseFakeScsiTarget(FakeScsiTarget* target) {
  if (target->file) CloseHandle(target->file);
  target->file = nullptr;
}

uint32_t FakeScsiBlockLength(const FakeScsiTarget& target) { return target.kind == FakeScsiCdrom ? 2048 : 512; }

FakeScsiOutcome ExecuteFakeScsiCommand(FakeScsiTarget& target, const uint8_t* cdb, int cdbLength,
                                       FakeScsiDirection direction, uint8_t* data, uint32_t dataLength,
                                       uint32_t* moved) {
  *moved = 0;
  switch (cdb[0]) {
    case 0x12: return Inquiry(target, cdb, cdbLength, direction, data, dataLength, moved);
    case 0x25: return ReadCapacity(target, cdbLength, direction, data, dataLength, moved);
    case 0x08: return ReadOrWrite(target, cdb, cdbLength, false, false, direction, data, dataLength, moved);
    case 0x28: return ReadOrWrite(target, cdb, cdbLength, false, true, direction, data, dataLength, moved);
    case 0x0A: return ReadOrWrite(target, cdb, cdbLength, true, false, direction, data, dataLength, moved);
    case 0x2A: return ReadOrWrite(target, cdb, cdbLength, true, true, direction, data, dataLength, moved);
    default: return FakeScsiRefused;
  }
}
