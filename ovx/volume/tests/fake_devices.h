// Fake floppy drive and SCSI device for the tests, installed in place of the
// device back-ends for as long as a FakeDevices object lives. Both serve an
// in-memory medium and record every command they receive.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "device_backends.h"

struct FloppyCall {
  bool nt;  // FloppyTransferNT rather than FloppyTransferVwin32
  bool write;
  int32_t partitionStart, startSector, track, head, sectorCount, sizeKB;
};

struct ScsiCall {
  char command;  // 'I' inquiry, 'C' read capacity, 'R' read, 'W' write
  ScsiAddress unit;
  uint32_t firstBlock, blockCount, blockLength;
};

class FakeDevices {
 public:
  FakeDevices();
  ~FakeDevices();
  FakeDevices(const FakeDevices&) = delete;
  FakeDevices& operator=(const FakeDevices&) = delete;

  // Floppy: the medium, laid out with this physical geometry. A BIOS request
  // (Windows 9x) must stay within one track and name a side the disk has, as
  // on the real service.
  std::vector<uint8_t> floppy;
  int floppySectorsPerTrack = 18;
  int floppySides = 2;
  int floppyFailures = 0;  // the next this many floppy calls fail
  std::vector<FloppyCall> floppyCalls;

  // SCSI: one device at every unit, serving `scsi` in blocks of scsiBlockLength.
  std::vector<uint8_t> scsi;
  uint32_t scsiBlockLength = 512;
  bool answersInquiry = true;
  bool answersReadCapacity = true;
  uint32_t reportedLastBlock = 0;    // 0: the medium's own last block
  uint32_t reportedBlockLength = 0;  // 0: scsiBlockLength
  bool reportsBlockLength0 = false;  // READ CAPACITY answers a block length of 0
  bool scsiTimesOut = false;         // reads and writes go unanswered: they fail as timed out
  std::vector<ScsiCall> scsiCalls;
  // Runs at every SCSI read and write, once it is recorded and before it is answered.
  std::function<void(const ScsiCall&)> onScsiTransfer;
  int ScsiCommands(char command) const;

 private:
  DeviceBackends savedBackends_;
  uint16_t savedAdapterCount_;
};
