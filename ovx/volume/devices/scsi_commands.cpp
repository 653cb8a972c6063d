#include "scsi_commands.h"

#include <algorithm>
#include <cstring>

namespace {

enum {
  kInquiry = 0x12,
  kReadCapacity = 0x25,
  kRead6 = 0x08,
  kRead10 = 0x28,
  kWrite6 = 0x0A,
  kWrite10 = 0x2A,
  kMaxInquiryBytes = 0xFF,  // the allocation length is one byte
};

void PutBE32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value >> 24);
  p[1] = static_cast<uint8_t>(value >> 16);
  p[2] = static_cast<uint8_t>(value >> 8);
  p[3] = static_cast<uint8_t>(value);
}

ScsiCommand DataInCommand(uint8_t operation, uint8_t cdbLength, uint8_t* buffer, uint32_t length) {
  ScsiCommand command;
  memset(&command, 0, sizeof command);
  command.cdb[0] = operation;
  command.cdbLength = cdbLength;
  command.direction = ScsiDataIn;
  command.data = buffer;
  command.dataLength = length;
  return command;
}

}  // namespace

int SendScsiInquiry(ScsiSendFunction send, const ScsiAddress& unit, uint8_t* buffer, uint32_t length) {
  if (!buffer) return 0;
  memset(buffer, 0, length);
  if (length > kMaxInquiryBytes) return 0;
  ScsiCommand command = DataInCommand(kInquiry, 6, buffer, length);
  command.cdb[4] = static_cast<uint8_t>(length);
  command.shortAnswerAllowed = true;
  return send(unit, command);
}

int SendScsiReadCapacity(ScsiSendFunction send, const ScsiAddress& unit, uint8_t* buffer, uint32_t length) {
  if (!buffer) return 0;
  memset(buffer, 0, length);
  return send(unit, DataInCommand(kReadCapacity, 10, buffer, length));
}

int SendScsiBlocks(ScsiSendFunction send, const ScsiAddress& unit, bool write, uint32_t firstBlock,
                   uint32_t blockCount, uint8_t* buffer, uint32_t blockLength) {
  const uint64_t bytes = static_cast<uint64_t>(blockCount) * blockLength;
  if (!buffer || blockCount == 0 || blockLength == 0 || bytes > kMaxScsiTransferBytes ||
      static_cast<uint64_t>(firstBlock) + blockCount - 1 > UINT32_MAX) {
    return 0;
  }
  if (!write) memset(buffer, 0, static_cast<size_t>(bytes));
  for (uint32_t done = 0; done < blockCount;) {
    const uint32_t blocks = std::min<uint32_t>(blockCount - done, kMaxLongScsiBlocks);
    const uint32_t address = firstBlock + done;
    ScsiCommand command;
    memset(&command, 0, sizeof command);
    command.direction = write ? ScsiDataOut : ScsiDataIn;
    if (blockLength > 512 || address > kLastShortScsiAddress || blocks > kMaxShortScsiBlocks) {
      command.cdb[0] = write ? kWrite10 : kRead10;
      PutBE32(command.cdb + 2, address);
      command.cdb[7] = static_cast<uint8_t>(blocks >> 8);
      command.cdb[8] = static_cast<uint8_t>(blocks);
      command.cdbLength = 10;
    } else {
      command.cdb[0] = write ? kWrite6 : kRead6;
      command.cdb[1] = static_cast<uint8_t>(address >> 16);
      command.cdb[2] = static_cast<uint8_t>(address >> 8);
      command.cdb[3] = static_cast<uint8_t>(address);
      command.cdb[4] = static_cast<uint8_t>(blocks);
      command.cdbLength = 6;
    }
    command.data = buffer + static_cast<size_t>(done) * blockLength;
    command.dataLength = blocks * blockLength;
    if (!send(unit, command)) return 0;
    done += blocks;
  }
  return 1;
}
