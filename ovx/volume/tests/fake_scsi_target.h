// A SCSI device emulated from an image file, for the test devices behind
// both SCSI layers: the test WNASPI32.DLL and the stand-ins for the
// platform's pass-through. Commands are checked as a careful device would
// check them: one whose command length, direction or data length does not
// fit its command is refused. Win32 only.
#pragma once
#include <windows.h>

#include <cstdint>

enum FakeScsiKind {
  FakeScsiDisk = 0,        // 512-byte blocks
  FakeScsiCdrom = 1,       // 2,048-byte blocks
  FakeScsiNoCapacity = 2,  // answers INQUIRY, fails READ CAPACITY; 512-byte blocks otherwise
  FakeScsiStalled = 3,     // never answers: the ASPI layer never completes its commands,
                           // the platform's pass-through gives each up as timed out
  FakeScsiLate = 4,        // ASPI only: as stalled, but when the next command comes it
                           // fills the data of the one before with 0xAB and completes it
};

struct FakeScsiTarget {
  int kind;
  char imagePath[MAX_PATH];
  int64_t badBlock;        // a read or write that reaches it fails; -1: none
  uint32_t maxBlocks;      // longer reads and writes fail; 0: no limit
  uint32_t alignmentMask;  // data addresses with any of these bits set are refused
  bool writeProtected;     // every write fails, as on a locked medium
  HANDLE file;             // the image, opened at the first command that needs it; null until then
};

enum FakeScsiDirection { FakeScsiDataIn, FakeScsiDataOut, FakeScsiNoData };

enum FakeScsiOutcome {
  FakeScsiGood,
  FakeScsiCheckCondition,  // the device answered with an error: a bad block, a fault, no medium there
  FakeScsiRefused,         // the command itself does not fit what the device accepts
};

// A device of kind serving the image file at imagePath (opened at its first
// command, kept open until CloseFakeScsiTarget), without faults. Returns
// false when the path does not fit.
bool SetUpFakeScsiTarget(FakeScsiTarget* target, int kind, const char* imagePath);
void CloseFakeScsiTarget(FakeScsiTarget* target);

uint32_t FakeScsiBlockLength(const FakeScsiTarget& target);

// Runs the command of cdbLength bytes with the direction and data room the
// sender gave; *moved is set to the bytes of data that moved.
FakeScsiOutcome ExecuteFakeScsiCommand(FakeScsiTarget& target, const uint8_t* cdb, int cdbLength,
                                       FakeScsiDirection direction, uint8_t* data, uint32_t dataLength,
                                       uint32_t* moved);
