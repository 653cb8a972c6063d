// SCSI for builds without ASPI for Win32: the native builds, and 64-bit
// Windows, whose programs cannot load the 32-bit WNASPI32.DLL nor hand it
// request blocks of 32-bit pointers. There is no layer to load, so no host
// adapter is counted, SCSI volumes do not open and every command fails.
#include <cstring>

#include "device_backends.h"

int LoadAspi() {
  aspiAdapterCount = 0;
  return 0;
}

int AspiInquiry(int, int, uint8_t* buffer, uint32_t length) {
  if (buffer) memset(buffer, 0, length);
  return 0;
}

int AspiReadCapacity(int, int, uint8_t* buffer, uint32_t length) {
  if (buffer) memset(buffer, 0, length);
  return 0;
}

int AspiRead(int, int, uint32_t, uint32_t, uint8_t*, uint32_t) { return 0; }

int AspiWrite(int, int, uint32_t, uint32_t, const uint8_t*, uint32_t) { return 0; }
