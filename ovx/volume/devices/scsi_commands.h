// The SCSI commands OVX sends (INQUIRY, READ CAPACITY, and READ and WRITE in
// their 6- and 10-byte forms), built once for every layer that carries them:
// the ASPI layer and the platform's SCSI pass-through each give a function
// that sends one command and waits for it; the command blocks, the choice of
// form, the splitting of long transfers and what a buffer holds after a
// failure are decided here, the same for both.
#pragma once
#include <cstdint>

// One SCSI unit: the host adapter as the serving layer numbers it, the
// target id and the logical unit.
struct ScsiAddress {
  int32_t hostAdapter;
  int32_t target;
  int32_t lun;
};

enum ScsiDirection { ScsiDataIn, ScsiDataOut };

struct ScsiCommand {
  uint8_t cdb[10];
  uint8_t cdbLength;
  ScsiDirection direction;
  uint8_t* data;
  uint32_t dataLength;
  // The device may answer fewer bytes than asked (INQUIRY); those not sent stay zero.
  bool shortAnswerAllowed;
};

// Sends one command to unit and waits for it, within the layer's bound on the
// wait. Non-zero when it completed without error and moved its data.
typedef int (*ScsiSendFunction)(const ScsiAddress& unit, const ScsiCommand& command);

enum {
  kLastShortScsiAddress = 0x1FFFFF,  // READ(6) and WRITE(6) carry 21 address bits
  kMaxShortScsiBlocks = 255,         // and the block count in one byte, where 0 would mean 256
  kMaxLongScsiBlocks = 0xFFFF,       // the 10-byte forms carry it in two
};

// One command's data may not exceed what a signed 32-bit length holds: far
// above any request OVX makes, and a size that cannot wrap.
const uint64_t kMaxScsiTransferBytes = INT32_MAX;

// INQUIRY for length bytes (at most 255) into buffer, zero-filled first.
// Non-zero when the command completed.
int SendScsiInquiry(ScsiSendFunction send, const ScsiAddress& unit, uint8_t* buffer, uint32_t length);
// READ CAPACITY into buffer (zero-filled first). Non-zero when it completed.
int SendScsiReadCapacity(ScsiSendFunction send, const ScsiAddress& unit, uint8_t* buffer, uint32_t length);
// READ (write false) or WRITE of blockCount blocks from firstBlock, in
// commands of at most 65,535 blocks: the 6-byte form where it can address and
// count them, else the 10-byte form (and always for blocks above 512 bytes).
// A read zero-fills the buffer first. Non-zero when every command completed;
// 0 for no blocks, without a command.
int SendScsiBlocks(ScsiSendFunction send, const ScsiAddress& unit, bool write, uint32_t firstBlock,
                   uint32_t blockCount, uint8_t* buffer, uint32_t blockLength);
