// A floppy drive A: whose disk is an image file, for the Windows NT floppy
// back-end: stand-ins for the platform's device calls (devicePlatform) open
// the file for "\\.\A:", answer the lock, geometry, dismount and unlock
// controls, and move reads and writes to and from the file. Any read or
// write that touches the chosen bad sector fails, as a damaged disk would.
// Every other call goes to the platform. Win32 only.
#pragma once
#include <windows.h>

#include <cstdint>

struct FakeFloppyDrive {
  char backingPath[MAX_PATH];
  int64_t badSector;     // -1: none
  volatile LONG reads;   // read calls on the drive
  volatile LONG writes;  // write calls on the drive, refused or not
  DWORD delayMs;         // how long each read and write takes, as on a real drive
  HANDLE device;         // the backing file, while the back-end holds the drive open
};

extern FakeFloppyDrive fakeFloppy;

// Puts the drive in place of the platform's and forgets what the back-end
// knew of drive A:. Returns 1; 0 when the path does not fit.
int InstallFakeFloppyDrive(const char* backingPath, int64_t badSector);
// Gives the platform's calls back and closes the backing file.
void RemoveFakeFloppyDrive();
