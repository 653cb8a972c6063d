// Stand-ins for the platform's device calls (devicePlatform) that the SCSI
// pass-through back-end makes, so that its units are image files: adapters
// "\\.\ScsiN:" with their buses, class devices "\\.\PhysicalDriveN" (disks)
// and "\\.\CdRomN" (CD-ROMs), drive letters whose volumes lie on one of the
// disks. Each control call is checked as the platform checks it; every
// pass-through command is logged as received. While they stand in, loading
// WNASPI32.DLL fails, as on a Windows without an ASPI layer, unless
// aspiInstalled is set; windows9x makes the platform report Windows 95/98.
// Calls for other paths and handles go to the platform. Win32 only.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fake_scsi_target.h"

struct FakeScsiUnit {
  int port, bus, target, lun;
  // The N of its class device, "\\.\PhysicalDriveN" (or "\\.\CdRomN" for a
  // CD-ROM): the unit a class driver claimed. -1: unclaimed, reached only
  // through its adapter, which refuses commands for a claimed unit.
  int classNumber;
  bool answersShort;  // says half the data moved, with good status (an underrun)
  FakeScsiTarget emulated;
};

// One IOCTL_SCSI_PASS_THROUGH_DIRECT as received.
struct FakePassThroughCommand {
  int unit;          // index into units; -1 when it reached none
  std::string path;  // of the device the handle was opened for
  uint8_t pathId, targetId, lun;
  std::vector<uint8_t> cdb;
  uint8_t dataIn;
  uint32_t dataLength, timeOutValue, senseLength;
  uintptr_t dataAddress;
  bool valid;  // the record passed the platform's checks
};

struct FakeScsiBus {
  // Buses of adapter "\\.\ScsiN:" for each port N; 0: the port has no
  // adapter device (as USB mass storage has not), only class devices.
  std::vector<int> busesOfPort;
  std::vector<FakeScsiUnit> units;
  std::vector<FakePassThroughCommand> commands;
  std::vector<std::string> opened;  // every device path asked for, found or not
  int openHandles;                  // handles of the stand-ins not closed yet
  DWORD mountedLetters;             // what GetLogicalDrives answers; each such volume lies on
  int mountedDisk;                  // the disk "\\.\PhysicalDriveN" of this N
  bool aspiInstalled;
  bool windows9x;
  DWORD delayMs;  // how long each pass-through command takes, as on a slow disk
};

extern FakeScsiBus fakeScsiBus;

// Puts the stand-ins in place with ports adapters of one bus each and no
// units, and makes the back-end forget the devices it found before.
void InstallFakeScsiBus(int ports);
// Makes the back-end forget its devices, then gives the platform's calls back.
void RemoveFakeScsiBus();
// Adds a unit of kind at (port, bus 0, target, lun) serving imagePath.
// Returns its index in units; -1 when the path does not fit.
int AddFakeScsiUnit(int port, int target, int lun, int kind, const char* imagePath, int classNumber);
