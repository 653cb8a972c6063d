#include "device_backends.h"

#include "win32_compat.h"

namespace {

enum {
  kCarryFlag = 0x0001,
  kPageBytes = 4096,
};

constexpr DeviceBackends kRealBackends = {
    AspiInquiry, AspiReadCapacity, AspiRead, AspiWrite, FloppyTransferVwin32, FloppyTransferNT,
};

}  // namespace

uint16_t aspiAdapterCount;
uint32_t aspiWaitLimitMs = 30000;
int32_t deviceTimedOut;

// Constant-initialized, so it is ready before any other static initializer runs.
DeviceBackends deviceBackends = kRealBackends;

DeviceBackends DefaultDeviceBackends() { return kRealBackends; }

int BiosTransferComplete(uint32_t eax, uint32_t flags, int32_t count) {
  return !(flags & kCarryFlag) && count > 0 && static_cast<int32_t>(eax & 0xFF) == count;
}

uint8_t* AllocateCommandBlock(size_t recordBytes, size_t dataBytes, uint8_t** data) {
  // Room for the record, up to a page to reach the boundary, then the data.
  if (recordBytes > SIZE_MAX - kPageBytes || dataBytes > SIZE_MAX - kPageBytes - recordBytes) return nullptr;
  const size_t bytes = recordBytes + kPageBytes + dataBytes;
  uint8_t* block = static_cast<uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!block) return nullptr;
  const uintptr_t afterRecord = reinterpret_cast<uintptr_t>(block) + recordBytes;
  *data = block + recordBytes + (kPageBytes - afterRecord % kPageBytes) % kPageBytes;
  return block;
}

void ReleaseCommandBlock(uint8_t* block) {
  if (block) VirtualFree(block, 0, MEM_RELEASE);
}
