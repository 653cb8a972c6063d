// SCSI devices through the ASPI layer, WNASPI32.DLL, loaded at run time.
#include "aspi.h"

#include <algorithm>
#include <cstring>

#include "device_backends.h"
#include "device_platform.h"

namespace {

enum {
  kSleepBetweenLooksMs = 10,
  kMaxAbortWaitMs = 2000,
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
  return AwaitStatus(&request->SRB_Status, std::min<DWORD>(scsiWaitLimitMs, kMaxAbortWaitMs), true);
}

// Sends one command and waits for it. Non-zero when it completed without error.
int SendAspiCommand(const ScsiAddress& unit, const ScsiCommand& command, bool sleepBetweenLooks) {
  // The request block carries both numbers in one byte.
  if (!devicePlatform.SendASPI32Command || unit.hostAdapter < 0 || unit.hostAdapter > 0xFF || unit.target < 0 ||
      unit.target > 0xFF) {
    return 0;
  }
  // The data goes through room in one block with the request, never the
  // caller's buffer: a layer that completes a command after it was given up
  // writes into that room, and the block is then kept.
  if (command.dataLength > kMaxScsiTransferBytes) return 0;
  BYTE* data = nullptr;
  BYTE* block = AllocateCommandBlock(sizeof(SRB_ExecSCSICmd), command.dataLength, &data);
  if (!block) return 0;
  SRB_ExecSCSICmd* request = reinterpret_cast<SRB_ExecSCSICmd*>(block);
  memset(request, 0, sizeof *request);
  const bool dataIn = command.direction == ScsiDataIn;
  if (!dataIn && command.dataLength) memcpy(data, command.data, command.dataLength);
  request->SRB_Cmd = SC_EXEC_SCSI_CMD;
  request->SRB_HaId = static_cast<BYTE>(unit.hostAdapter);
  request->SRB_Flags = dataIn ? SRB_DIR_IN : SRB_DIR_OUT;
  request->SRB_Target = static_cast<BYTE>(unit.target);
  request->SRB_Lun = 0;
  request->SRB_BufLen = command.dataLength;
  request->SRB_BufPointer = data;
  request->SRB_SenseLen = SENSE_LEN;
  request->SRB_CDBLen = command.cdbLength;
  memcpy(request->CDBByte, command.cdb, command.cdbLength);
  devicePlatform.SendASPI32Command(request);  // the status field tells the outcome
  const bool answered = AwaitStatus(&request->SRB_Status, scsiWaitLimitMs, sleepBetweenLooks);
  if (!answered) deviceTimedOut = 1;
  const bool finished = answered || AbortCommand(request);
  const int completed = finished && request->SRB_Status == SS_COMP;
  if (completed && dataIn && command.dataLength) memcpy(command.data, data, command.dataLength);
  // A command the layer still holds keeps its block, and its data room, for good.
  if (finished) ReleaseCommandBlock(block);
  return completed;
}

// INQUIRY waits in steps of 10 ms; the other commands look again at once.
int SendSleeping(const ScsiAddress& unit, const ScsiCommand& command) { return SendAspiCommand(unit, command, true); }
int SendPolling(const ScsiAddress& unit, const ScsiCommand& command) { return SendAspiCommand(unit, command, false); }

ScsiAddress AspiUnit(int hostAdapter, int target) { return {hostAdapter, target, 0}; }

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
  return SendScsiInquiry(SendSleeping, AspiUnit(hostAdapter, target), buffer, length);
}

int AspiReadCapacity(int hostAdapter, int target, uint8_t* buffer, uint32_t length) {
  return SendScsiReadCapacity(SendPolling, AspiUnit(hostAdapter, target), buffer, length);
}

int AspiRead(int hostAdapter, int target, uint32_t firstBlock, uint32_t blockCount, uint8_t* buffer,
             uint32_t blockLength) {
  return SendScsiBlocks(SendPolling, AspiUnit(hostAdapter, target), false, firstBlock, blockCount, buffer,
                        blockLength);
}

int AspiWrite(int hostAdapter, int target, uint32_t firstBlock, uint32_t blockCount, const uint8_t* buffer,
              uint32_t blockLength) {
  // The layer only reads from the buffer of a command with SRB_DIR_OUT.
  return SendScsiBlocks(SendPolling, AspiUnit(hostAdapter, target), true, firstBlock, blockCount,
                        const_cast<uint8_t*>(buffer), blockLength);
}
