#include "device_backends.h"

namespace {

constexpr DeviceBackends kRealBackends = {
    AspiInquiry, AspiReadCapacity, AspiRead, AspiWrite, FloppyTransferVwin32, FloppyTransferNT,
};

}  // namespace

uint16_t aspiAdapterCount;
uint32_t aspiWaitLimitMs = 30000;

// Constant-initialized, so it is ready before any other static initializer runs.
DeviceBackends deviceBackends = kRealBackends;

DeviceBackends DefaultDeviceBackends() { return kRealBackends; }
