// SCSI devices through the ASPI layer, WNASPI32.DLL, loaded at run time.
#include "aspi.h"

#include <algorithm>
#include <cstring>

#include "device_backends.h"
#include "device_platform.h"

namespace {

enum {
  kInquiry = 0x12,
  kReadCapacity = 0x25,
  kRead6 = 0x08,
  kRead10 = 0x28,
  kWrite6 = 0x0A,
  kWrite10 = 0x2A,
  kCapacityCdbBytes = 10,
  kLastShortAddress = 0x1FFFFF,  // READ(6) and WRITE(6) carry 21 address bits
  kMaxShortBlocks = 255,         // and the block count in one byte, where 0 would mean 256
  kMaxLongBlocks = 0xFFFF,       // the 10-byte forms carry it in two
  kSleepBetweenLooksMs = 10,
  kMaxAbortWaitMs = 2000,
};

// One transfer may not exceed what a signed 32-bit length holds: far above
// any request OVX makes, and a size that cannot wrap.
const uint64_t kMaxTransferBytes = INT32_MAX;

struct ScsiCommand {
  BYTE flags;
  BYTE cdb[10];
  BYTE cdbLength;
  BYTE* data;
  DWORD dataLength;
};

// Polls the status until it leaves SS_PENDING; false when limitMs ran out first.
bool AwaitStatus(const volatile BYTE* status, DWORD limitMs, bool sleepBetweenLooks) {
  const DWORD started = GetTickCount();
  while (*status == SS_PENDING) {
    if (GetTickCount() - started >= limitMs) return false;
    if (sleepBetweenLooks) Sleep(kSleepBetweenLooksMs);
  }
  // The layer filled the data before it set the status.
  MemoryBarrier();
  return true;
}

// Asks the layer to give up a command that did not complete in time. True
// when its status then left SS_PENDING.
bool AbortCommand(SRB_ExecSCSICmd* request) {
  SRB_Abort abort;
  memset(&abort, 0, sizeof abort);
  abort.SRB_Cmd = SC_ABORT_SRB;
  abort.SRB_HaId = request->SRB_HaId;
  abort.SRB_ToAbort = request;
  devicePlatform.SendASPI32Command(&abort);
  return AwaitStatus(&request->SRB_Status, std::min<DWORD>(aspiWaitLimitMs, kMaxAbortWaitMs), true);
}

// Sends one command and waits for it. Non-zero when it completed without error.
int SendScsiCommand(int hostAdapter, int target, const ScsiCommand& command, bool sleepBetweenLooks) {
  // The request block carries both numbers in one byte.
  if (!devicePlatform.SendASPI32Command || hostAdapter < 0 || hostAdapter > 0xFF || target < 0 || target > 0xFF) {
    return 0;
  }
  // The data goes through room in one block with the request, never the
  // caller's buffer: a layer that completes a command after it was given up
  // writes into that room, and the block is then kept.
  if (command.dataLength > kMaxTransferBytes) return 0;
  BYTE* data = nullptr;
  BYTE* block = AllocateCommandBlock(sizeof(SRB_ExecSCSICmd), command.dataLength, &data);
  if (!block) return 0;
  SRB_ExecSCSICmd* request = reinterpret_cast<SRB_ExecSCSICmd*>(block);
  memset(request, 0, sizeof *request);
  if (command.flags == SRB_DIR_OUT && command.dataLength) memcpy(data, command.data, command.dataLength);
  request->SRB_Cmd = SC_EXEC_SCSI_CMD;
  request->SRB_HaId = static_cast<BYTE>(hostAdapter);
  request->SRB_Flags = command.flags;
  request->SRB_Target = static_cast<BYTE>(target);
  request->SRB_Lun = 0;
  request->SRB_BufLen = command.dataLength;
  request->SRB_BufPointer = data;
  request->SRB_SenseLen = SENSE_LEN;
  request->SRB_CDBLen = command.cdbLength;
  memcpy(request->CDBByte, command.cdb, command.cdbLength);
  devicePlatform.SendASPI32Command(request);  // the status field tells the outcome
  const bool answered = AwaitStatus(&request->SRB_Status, aspiWaitLimitMs, sleepBetweenLooks);
  if (!answered) deviceTimedOut = 1;
  const bool finished = answered || AbortCommand(request);
  const int completed = finished && request->SRB_Status == SS_COMP;
  if (completed && command.flags == SRB_DIR_IN && command.dataLength) memcpy(command.data, data, command.dataLength);
  // A command the layer still holds keeps its block, and its data room, for good.
  if (finished) ReleaseCommandBlock(block);
  return completed;
}

void PutBE32(BYTE* p, uint32_t value) {
  p[0] = static_cast<BYTE>(value >> 24);
  p[1] = static_cast<BYTE>(value >> 16);
  p[2] = static_cast<BYTE>(value >> 8);
  p[3] = static_cast<BYTE>(value);
}

// READ or WRITE of blockCount blocks, split into commands of at most 65,535
// blocks. The 6-byte form serves what it can address and count; anything else
// (large blocks, high addresses, more than 255 blocks) goes in the 10-byte form.
int TransferBlocks(int hostAdapter, int target, bool write, uint32_t firstBlock, uint32_t blockCount,
                   BYTE* buffer, uint32_t blockLength) {
  const uint64_t bytes = static_cast<uint64_t>(blockCount) * blockLength;
  if (!buffer || blockCount == 0 || blockLength == 0 || bytes > kMaxTransferBytes ||
      static_cast<uint64_t>(firstBlock) + blockCount - 1 > UINT32_MAX) {
    return 0;
  }
  if (!write) memset(buffer, 0, static_cast<size_t>(bytes));
  for (uint32_t done = 0; done < blockCount;) {
    const uint32_t blocks = std::min<uint32_t>(blockCount - done, kMaxLongBlocks);
    const uint32_t address = firstBlock + done;
    ScsiCommand command;
    memset(&command, 0, sizeof command);
    command.flags = write ? SRB_DIR_OUT : SRB_DIR_IN;
    if (blockLength > 512 || address > kLastShortAddress || blocks > kMaxShortBlocks) {
      command.cdb[0] = write ? kWrite10 : kRead10;
      PutBE32(command.cdb + 2, address);
      command.cdb[7] = static_cast<BYTE>(blocks >> 8);
      command.cdb[8] = static_cast<BYTE>(blocks);
      command.cdbLength = 10;
    } else {
      command.cdb[0] = write ? kWrite6 : kRead6;
      command.cdb[1] = static_cast<BYTE>(address >> 16);
      command.cdb[2] = static_cast<BYTE>(address >> 8);
      command.cdb[3] = static_cast<BYTE>(address);
      command.cdb[4] = static_cast<BYTE>(blocks);
      command.cdbLength = 6;
    }
    command.data = buffer + static_cast<size_t>(done) * blockLength;
    command.dataLength = blocks * blockLength;
    if (!SendScsiCommand(hostAdapter, target, command, false)) return 0;
    done += blocks;
  }
  return 1;
}

// An entry point of the library as the function type the interface gives it.
template <typename Function>
Function EntryPoint(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(devicePlatform.GetProcAddress(library, name)));
}

}  // namespace

int LoadAspi() {
  HMODULE library = devicePlatform.LoadLibraryA("WNASPI32.DLL");
  if (!library) return 0;
  const AspiSupportInfoFunction supportInfo = EntryPoint<AspiSupportInfoFunction>(library, "GetASPI32SupportInfo");
  const AspiSendCommandFunction sendCommand = EntryPoint<AspiSendCommandFunction>(library, "SendASPI32Command");
  if (supportInfo && sendCommand) {
    const DWORD support = supportInfo();
    if (((support >> 8) & 0xFF) == SS_COMP) {
      aspiAdapterCount = static_cast<uint16_t>(support & 0xFF);
      devicePlatform.GetASPI32SupportInfo = supportInfo;
      devicePlatform.SendASPI32Command = sendCommand;
      return 1;
    }
  }
  devicePlatform.FreeLibrary(library);
  return 0;
}

int AspiInquiry(int hostAdapter, int target, uint8_t* buffer, uint32_t length) {
  if (!buffer) return 0;
  memset(buffer, 0, length);
  if (length > 0xFF) return 0;  // the allocation length is one byte
  ScsiCommand command = {SRB_DIR_IN, {kInquiry, 0, 0, 0, static_cast<BYTE>(length), 0}, 6, buffer, length};
  return SendScsiCommand(hostAdapter, target, command, true);
}

int AspiReadCapacity(int hostAdapter, int target, uint8_t* buffer, uint32_t length) {
  if (!buffer) return 0;
  memset(buffer, 0, length);
  ScsiCommand command = {SRB_DIR_IN, {kReadCapacity}, kCapacityCdbBytes, buffer, length};
  return SendScsiCommand(hostAdapter, target, command, false);
}

int AspiRead(int hostAdapter, int target, uint32_t firstBlock, uint32_t blockCount, uint8_t* buffer,
             uint32_t blockLength) {
  return TransferBlocks(hostAdapter, target, false, firstBlock, blockCount, buffer, blockLength);
}

int AspiWrite(int hostAdapter, int target, uint32_t firstBlock, uint32_t blockCount, const uint8_t* buffer,
              uint32_t blockLength) {
  // The layer only reads from the buffer of a command with SRB_DIR_OUT.
  return TransferBlocks(hostAdapter, target, true, firstBlock, blockCount, const_cast<uint8_t*>(buffer),
                        blockLength);
}
