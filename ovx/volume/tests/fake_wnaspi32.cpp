// The test-only WNASPI32.DLL (see fake_wnaspi32.h). Its devices are those of
// fake_scsi_target.h; a block for a logical unit other than 0 finds none.
#include "fake_wnaspi32.h"

#include <cstring>
#include <vector>

#include "aspi.h"

namespace {

struct Device {
  int hostAdapter, target;
  FakeScsiTarget emulated;
};

const int kMaxDevices = 32;
const uint8_t kCheckCondition = 0x02;  // target status

Device devices[kMaxDevices];
int deviceCount;
int adapterCount;
DWORD completionDelayMs;
std::vector<FakeAspiRequest> requests;
SRB_ExecSCSICmd* lateRequest;  // the command a FakeScsiLate device completes at the next one

Device* FindDevice(int hostAdapter, int target) {
  for (int i = 0; i < deviceCount; ++i) {
    if (devices[i].hostAdapter == hostAdapter && devices[i].target == target) return &devices[i];
  }
  return nullptr;
}

// Open until the layer is reset or unloaded.
void CloseImageFiles() {
  for (int i = 0; i < deviceCount; ++i) CloseFakeScsiTarget(&devices[i].emulated);
}

BYTE Execute(SRB_ExecSCSICmd* request) {
  if (request->SRB_HaId >= adapterCount) return SS_INVALID_HA;
  Device* device = FindDevice(request->SRB_HaId, request->SRB_Target);
  if (!device || request->SRB_Lun != 0) return SS_NO_DEVICE;
  const BYTE flags = request->SRB_Flags & (SRB_DIR_IN | SRB_DIR_OUT);
  const FakeScsiDirection direction =
      flags == SRB_DIR_IN ? FakeScsiDataIn : flags == SRB_DIR_OUT ? FakeScsiDataOut : FakeScsiNoData;
  uint32_t moved = 0;
  switch (ExecuteFakeScsiCommand(device->emulated, request->CDBByte, request->SRB_CDBLen, direction,
                                 request->SRB_BufPointer, request->SRB_BufLen, &moved)) {
    case FakeScsiGood:
      return SS_COMP;
    case FakeScsiCheckCondition:
      request->SRB_TargStat = kCheckCondition;
      return SS_ERR;
    case FakeScsiRefused:
      break;
  }
  return SS_ERR;
}

void Complete(SRB_ExecSCSICmd* request) {
  const BYTE status = Execute(request);
  // The data must be in place before the sender sees the status.
  MemoryBarrier();
  request->SRB_Status = status;
}

DWORD WINAPI CompleteLater(LPVOID parameter) {
  Sleep(completionDelayMs);
  Complete(static_cast<SRB_ExecSCSICmd*>(parameter));
  return 0;
}

void Log(const void* request, uint32_t size) {
  FakeAspiRequest logged;
  memset(&logged, 0, sizeof logged);
  logged.address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(request));
  logged.size = size;
  memcpy(logged.bytes, request, size);
  requests.push_back(logged);
}

}  // namespace

extern "C" {

DWORD __cdecl GetASPI32SupportInfo() {
  return adapterCount > 0 ? static_cast<DWORD>(SS_COMP << 8 | adapterCount) : static_cast<DWORD>(SS_NO_ADAPTERS << 8);
}

DWORD __cdecl SendASPI32Command(void* block) {
  BYTE* command = static_cast<BYTE*>(block);
  if (command[0] == SC_ABORT_SRB) {
    // A stalled device ignores aborts too.
    Log(block, sizeof(SRB_Abort));
    command[1] = SS_COMP;
    return SS_COMP;
  }
  if (command[0] != SC_EXEC_SCSI_CMD) {
    command[1] = SS_ERR;
    return SS_ERR;
  }
  SRB_ExecSCSICmd* request = static_cast<SRB_ExecSCSICmd*>(block);
  Log(block, sizeof *request);
  if (lateRequest) {
    memset(lateRequest->SRB_BufPointer, 0xAB, lateRequest->SRB_BufLen);
    lateRequest->SRB_Status = SS_COMP;
    lateRequest = nullptr;
  }
  request->SRB_Status = SS_PENDING;
  const Device* device = FindDevice(request->SRB_HaId, request->SRB_Target);
  const int kind = device ? device->emulated.kind : FakeScsiDisk;
  if ((kind == FakeScsiStalled || kind == FakeScsiLate) && request->SRB_HaId < adapterCount) {
    if (kind == FakeScsiLate) lateRequest = request;
    return SS_PENDING;
  }
  if (completionDelayMs == 0) {
    Complete(request);
    return request->SRB_Status;
  }
  HANDLE thread = CreateThread(nullptr, 0, CompleteLater, request, 0, nullptr);
  if (!thread) {
    Complete(request);
    return request->SRB_Status;
  }
  CloseHandle(thread);
  return SS_PENDING;
}

int __cdecl FakeAspiMarker() { return 1; }

void __cdecl FakeAspiReset(int adapters, uint32_t delayMs) {
  CloseImageFiles();
  deviceCount = 0;
  adapterCount = adapters;
  completionDelayMs = delayMs;
  requests.clear();
  lateRequest = nullptr;
}

int __cdecl FakeAspiAddDevice(int hostAdapter, int target, int kind, const char* imagePath) {
  if (deviceCount == kMaxDevices) return 0;
  Device& device = devices[deviceCount];
  if (!SetUpFakeScsiTarget(&device.emulated, kind, imagePath)) return 0;
  device.hostAdapter = hostAdapter;
  device.target = target;
  ++deviceCount;
  return 1;
}

int __cdecl FakeAspiSetFaults(int hostAdapter, int target, int64_t badBlock, uint32_t maxBlocks) {
  Device* device = FindDevice(hostAdapter, target);
  if (!device) return 0;
  device->emulated.badBlock = badBlock;
  device->emulated.maxBlocks = maxBlocks;
  return 1;
}

int __cdecl FakeAspiSetAlignmentMask(int hostAdapter, int target, uint32_t mask) {
  Device* device = FindDevice(hostAdapter, target);
  if (!device) return 0;
  device->emulated.alignmentMask = mask;
  return 1;
}

int __cdecl FakeAspiRequestCount() { return static_cast<int>(requests.size()); }

int __cdecl FakeAspiGetRequest(int index, FakeAspiRequest* request) {
  if (index < 0 || index >= static_cast<int>(requests.size()) || !request) return 0;
  *request = requests[index];
  return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) CloseImageFiles();
  return TRUE;
}

}  // extern "C"
