#include "device_backends.h"

#include <algorithm>
#include <cstring>

#include "win32_compat.h"

namespace {

enum {
  kCarryFlag = 0x0001,
  kPageBytes = 4096,
  kAspiTargets = 7,         // target ids 0 to 6; 7 is the host adapter itself
  kOpenableAdapters = 256,  // the SCSI source of a Volume keeps the host adapter in eight bits
};

constexpr DeviceBackends kRealBackends = {
    ScsiInquiry, ScsiReadCapacity, ScsiRead, ScsiWrite, FloppyTransferVwin32, FloppyTransferNT,
};

// ASPI addresses logical unit 0 only (the drive list probes no other), so a
// unit with another is none of its devices.
bool AspiServes(const ScsiAddress& unit) { return scsiLayer == ScsiLayerAspi && unit.lun == 0; }

}  // namespace

ScsiLayer scsiLayer;
uint16_t scsiAdapterCount;
uint32_t scsiWaitLimitMs = 30000;
uint16_t aspiAdapterCount;
int32_t deviceTimedOut;

// Constant-initialized, so it is ready before any other static initializer runs.
DeviceBackends deviceBackends = kRealBackends;

DeviceBackends DefaultDeviceBackends() { return kRealBackends; }

int LoadScsiLayer() {
  if (LoadAspi()) {
    ClosePassThroughDevices();
    scsiLayer = ScsiLayerAspi;
    scsiAdapterCount = aspiAdapterCount;
  } else {
    scsiAdapterCount = static_cast<uint16_t>(LoadPassThrough());
    scsiLayer = scsiAdapterCount ? ScsiLayerPassThrough : ScsiLayerNone;
  }
  return scsiAdapterCount != 0;
}

int ScsiInquiry(const ScsiAddress& unit, uint8_t* buffer, uint32_t length) {
  if (scsiLayer == ScsiLayerPassThrough) return PassThroughInquiry(unit, buffer, length);
  if (AspiServes(unit)) return AspiInquiry(unit.hostAdapter, unit.target, buffer, length);
  if (buffer) memset(buffer, 0, length);
  return 0;
}

int ScsiReadCapacity(const ScsiAddress& unit, uint8_t* buffer, uint32_t length) {
  if (scsiLayer == ScsiLayerPassThrough) return PassThroughReadCapacity(unit, buffer, length);
  if (AspiServes(unit)) return AspiReadCapacity(unit.hostAdapter, unit.target, buffer, length);
  if (buffer) memset(buffer, 0, length);
  return 0;
}

int ScsiRead(const ScsiAddress& unit, uint32_t firstBlock, uint32_t blockCount, uint8_t* buffer,
             uint32_t blockLength) {
  if (scsiLayer == ScsiLayerPassThrough) return PassThroughRead(unit, firstBlock, blockCount, buffer, blockLength);
  return AspiServes(unit) && AspiRead(unit.hostAdapter, unit.target, firstBlock, blockCount, buffer, blockLength);
}

int ScsiWrite(const ScsiAddress& unit, uint32_t firstBlock, uint32_t blockCount, const uint8_t* buffer,
              uint32_t blockLength) {
  if (scsiLayer == ScsiLayerPassThrough) return PassThroughWrite(unit, firstBlock, blockCount, buffer, blockLength);
  return AspiServes(unit) && AspiWrite(unit.hostAdapter, unit.target, firstBlock, blockCount, buffer, blockLength);
}

int ScsiProbeAddress(int index, ScsiAddress* unit) {
  if (scsiLayer == ScsiLayerPassThrough) return PassThroughUnitAddress(index, unit);
  const int adapters = std::min<int>(scsiAdapterCount, kOpenableAdapters);
  if (index < 0 || index >= adapters * kAspiTargets) return 0;
  *unit = {index / kAspiTargets, index % kAspiTargets, 0};
  return 1;
}

int ScsiHoldsMountedVolume(const ScsiAddress& unit) {
  return scsiLayer == ScsiLayerPassThrough && PassThroughHoldsMountedVolume(unit);
}

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
