// The test-only WNASPI32.DLL (see fake_wnaspi32.h). Commands are checked as a
// careful device would check them: a block whose command length, direction,
// logical unit or data length does not fit its command fails with SS_ERR.
#include "fake_wnaspi32.h"

#include <cstring>
#include <vector>

#include "aspi.h"

namespace {

struct Device {
  int hostAdapter, target, kind;
  char imagePath[MAX_PATH];
  int64_t badBlock;    // a read or write that reaches it fails; -1: none
  uint32_t maxBlocks;  // longer reads and writes fail; 0: no limit
  uint32_t alignmentMask;  // data addresses with any of these bits set are refused
  mutable HANDLE file;  // the image, opened at the first command that needs it; null until then
};

const int kMaxDevices = 32;
const uint8_t kCheckCondition = 0x02;  // target status

Device devices[kMaxDevices];
int deviceCount;
int adapterCount;
DWORD completionDelayMs;
std::vector<FakeAspiRequest> requests;
SRB_ExecSCSICmd* lateRequest;  // the command a FakeAspiLate device completes at the next one

uint32_t BlockLength(const Device& device) { return device.kind == FakeAspiCdrom ? 2048 : 512; }

const Device* FindDevice(int hostAdapter, int target) {
  for (int i = 0; i < deviceCount; ++i) {
    if (devices[i].hostAdapter == hostAdapter && devices[i].target == target) return &devices[i];
  }
  return nullptr;
}

uint32_t BE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void PutBE32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// The image stays open from the first command on, until the layer is reset
// or unloaded: opening it for every command made a copy of a large fake disk
// measure the file system rather than the copy. Others may still write,
// replace or delete the file meanwhile.
HANDLE ImageFile(const Device& device) {
  if (!device.file) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file = CreateFileA(device.imagePath, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      file = CreateFileA(device.imagePath, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    device.file = file;
  }
  return device.file;
}

void CloseImageFiles() {
  for (int i = 0; i < deviceCount; ++i) {
    if (devices[i].file) CloseHandle(devices[i].file);
    devices[i].file = nullptr;
  }
}

uint64_t ImageSize(const Device& device) {
  HANDLE file = ImageFile(device);
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(file, &size)) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

// Moves bytes between the image and memory at offset; false when the range
// lies outside the image or the file fails.
bool MoveImageBytes(const Device& device, uint64_t offset, uint8_t* data, DWORD bytes, bool write) {
  if (offset + bytes > ImageSize(device)) return false;
  HANDLE file = ImageFile(device);
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(file, static_cast<LONG>(offset), &high, FILE_BEGIN);
  DWORD moved = 0;
  bool ok = !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) &&
            (write ? WriteFile(file, data, bytes, &moved, nullptr) : ReadFile(file, data, bytes, &moved, nullptr)) &&
            moved == bytes;
  return ok;
}

BYTE Inquiry(const Device& device, SRB_ExecSCSICmd* request) {
  uint8_t data[36] = {0};
  data[0] = device.kind == FakeAspiCdrom ? 0x05 : 0x00;  // peripheral device type
  data[1] = device.kind == FakeAspiCdrom ? 0x80 : 0x00;  // removable medium
  data[2] = 2;
  data[4] = sizeof data - 5;
  memcpy(data + 8, "ORVANTA ", 8);
  memcpy(data + 16, device.kind == FakeAspiCdrom ? "FAKE CD-ROM     " : "FAKE DISK       ", 16);
  memcpy(data + 32, "1.0 ", 4);
  DWORD length = request->CDBByte[4];
  if (request->SRB_CDBLen != 6 || request->SRB_BufLen < length) return SS_ERR;
  memcpy(request->SRB_BufPointer, data, length < sizeof data ? length : sizeof data);
  return SS_COMP;
}

BYTE ReadCapacity(const Device& device, SRB_ExecSCSICmd* request) {
  if (device.kind == FakeAspiNoCapacity || request->SRB_CDBLen != 10 || request->SRB_BufLen != 8) {
    request->SRB_TargStat = kCheckCondition;
    return SS_ERR;
  }
  uint64_t blocks = ImageSize(device) / BlockLength(device);
  if (blocks == 0) return SS_ERR;
  PutBE32(request->SRB_BufPointer, static_cast<uint32_t>(blocks - 1));
  PutBE32(request->SRB_BufPointer + 4, BlockLength(device));
  return SS_COMP;
}

BYTE ReadOrWrite(const Device& device, SRB_ExecSCSICmd* request, bool write, bool tenBytes) {
  const uint8_t* cdb = request->CDBByte;
  uint32_t address, count;
  if (tenBytes) {
    address = BE32(cdb + 2);
    count = static_cast<uint32_t>(cdb[7]) << 8 | cdb[8];
  } else {
    address = static_cast<uint32_t>(cdb[1] & 0x1F) << 16 | cdb[2] << 8 | cdb[3];
    count = cdb[4] ? cdb[4] : 256;
  }
  const uint32_t blockLength = BlockLength(device);
  const bool bad = device.badBlock >= address && device.badBlock < static_cast<int64_t>(address) + count;
  if (bad || (device.maxBlocks && count > device.maxBlocks)) {
    request->SRB_TargStat = kCheckCondition;
    return SS_ERR;
  }
  if (reinterpret_cast<uintptr_t>(request->SRB_BufPointer) & device.alignmentMask) return SS_ERR;
  const BYTE direction = write ? SRB_DIR_OUT : SRB_DIR_IN;
  if (request->SRB_CDBLen != (tenBytes ? 10 : 6) || (request->SRB_Flags & (SRB_DIR_IN | SRB_DIR_OUT)) != direction ||
      static_cast<uint64_t>(count) * blockLength != request->SRB_BufLen) {
    return SS_ERR;
  }
  if (!MoveImageBytes(device, static_cast<uint64_t>(address) * blockLength, request->SRB_BufPointer,
                      request->SRB_BufLen, write)) {
    request->SRB_TargStat = kCheckCondition;
    return SS_ERR;
  }
  return SS_COMP;
}

BYTE Execute(SRB_ExecSCSICmd* request) {
  if (request->SRB_HaId >= adapterCount) return SS_INVALID_HA;
  const Device* device = FindDevice(request->SRB_HaId, request->SRB_Target);
  if (!device || request->SRB_Lun != 0) return SS_NO_DEVICE;
  switch (request->CDBByte[0]) {
    case 0x12: return Inquiry(*device, request);
    case 0x25: return ReadCapacity(*device, request);
    case 0x08: return ReadOrWrite(*device, request, false, false);
    case 0x28: return ReadOrWrite(*device, request, false, true);
    case 0x0A: return ReadOrWrite(*device, request, true, false);
    case 0x2A: return ReadOrWrite(*device, request, true, true);
    default: return SS_ERR;
  }
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
  if (device && (device->kind == FakeAspiStalled || device->kind == FakeAspiLate) && request->SRB_HaId < adapterCount) {
    if (device->kind == FakeAspiLate) lateRequest = request;
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
  if (deviceCount == kMaxDevices || !imagePath || strlen(imagePath) >= MAX_PATH) return 0;
  Device& device = devices[deviceCount++];
  device.hostAdapter = hostAdapter;
  device.target = target;
  device.kind = kind;
  strcpy(device.imagePath, imagePath);
  device.badBlock = -1;
  device.maxBlocks = 0;
  device.alignmentMask = 0;
  device.file = nullptr;
  return 1;
}

int __cdecl FakeAspiSetFaults(int hostAdapter, int target, int64_t badBlock, uint32_t maxBlocks) {
  for (int i = 0; i < deviceCount; ++i) {
    if (devices[i].hostAdapter == hostAdapter && devices[i].target == target) {
      devices[i].badBlock = badBlock;
      devices[i].maxBlocks = maxBlocks;
      return 1;
    }
  }
  return 0;
}

int __cdecl FakeAspiSetAlignmentMask(int hostAdapter, int target, uint32_t mask) {
  for (int i = 0; i < deviceCount; ++i) {
    if (devices[i].hostAdapter == hostAdapter && devices[i].target == target) {
      devices[i].alignmentMask = mask;
      return 1;
    }
  }
  return 0;
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
