// Windows NT floppy drives through the raw drive devices "\\.\A:" and
// "\\.\B:": each opened and locked at its first transfer, then kept open for
// the rest of the run; the disk's geometry is read again after each dismount.
#pragma once
#ifdef _WIN32
#include <cstdint>

#include "win32_compat.h"

#include <winioctl.h>

struct NtFloppyDrive {
  HANDLE device;          // null until the first transfer opens it
  int32_t lockTried;      // the lock is asked for once, after the device opened
  int32_t locked;         // the lock taken when the device was opened
  int32_t geometryRead;   // geometry holds the drive's answer for the disk now in it
  DISK_GEOMETRY geometry;
};

static_assert(sizeof(DISK_GEOMETRY) == 24, "DISK_GEOMETRY is 24 bytes");
static_assert(FSCTL_LOCK_VOLUME == 0x90018 && FSCTL_UNLOCK_VOLUME == 0x9001C && FSCTL_DISMOUNT_VOLUME == 0x90020 &&
                  IOCTL_DISK_GET_DRIVE_GEOMETRY == 0x70000 && F3_720_512 == 5,
              "the platform's control codes and media type");

// Drives A: and B:, process-wide.
extern NtFloppyDrive ntFloppyDrives[2];
#endif
