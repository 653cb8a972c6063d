#include "device_backends.h"

namespace {

constexpr DeviceBackends kRealBackends = {
    AspiInquiry, AspiReadCapacity, AspiRead, AspiWrite, FloppyTransferVwin32, FloppyTransferNT,
};

}  // namespace

uint16_t aspiAdapterCount;

// Constant-initialized, so it is ready before any other static initializer runs.
DeviceBackends deviceBackends = kRealBackends;

DeviceBackends DefaultDeviceBackends() { return kRealBackends; }
