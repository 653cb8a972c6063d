// Floppy drives for builds without the Windows 95/98 BIOS disk service: the
// native builds, and 64-bit Windows, which is always NT and has no VWIN32
// (its register record holds 32-bit addresses). A floppy of an NT system is
// served by the raw drive where the build has one; any other transfer fails.
#include "device_backends.h"
#include "volume.h"

int FloppyTransferVwin32(Volume* volume, uintptr_t write) {
  if (volume && volume->isNT) return FloppyTransferNT(volume, write);
  if (volume) volume->sectorCount = 0;
  return 0;
}

#ifndef _WIN32
int FloppyTransferNT(Volume* volume, uintptr_t) {
  if (volume) volume->sectorCount = 0;
  return 0;
}
#endif
