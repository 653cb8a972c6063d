// SCSI pass-through for builds off Windows (the native builds): there is no
// platform to ask, so no host adapter is found, pass-through never becomes
// the layer that serves, and the commands below are never sent.
#include "device_backends.h"

int LoadPassThrough() { return 0; }
void ClosePassThroughDevices() {}
int PassThroughUnitAddress(int, ScsiAddress*) { return 0; }
int PassThroughInquiry(const ScsiAddress&, uint8_t*, uint32_t) { return 0; }
int PassThroughReadCapacity(const ScsiAddress&, uint8_t*, uint32_t) { return 0; }
int PassThroughRead(const ScsiAddress&, uint32_t, uint32_t, uint8_t*, uint32_t) { return 0; }
int PassThroughWrite(const ScsiAddress&, uint32_t, uint32_t, const uint8_t*, uint32_t) { return 0; }
int PassThroughHoldsMountedVolume(const ScsiAddress&) { return 0; }
