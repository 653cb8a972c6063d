#include "fake_devices.h"

#include <algorithm>
#include <cstring>

#include "volume.h"

namespace {

FakeDevices* current;

int FakeFloppy(Volume* volume, uintptr_t write, bool nt) {
  FakeDevices& fake = *current;
  fake.floppyCalls.push_back({nt, write != 0, volume->partitionStart, volume->startSector, volume->track,
                              volume->head, volume->sectorCount, volume->sizeKB});
  const int32_t count = volume->sectorCount;
  volume->sectorCount = 0;
  if (fake.floppyFailures > 0) {
    --fake.floppyFailures;
    return 0;
  }
  if (count <= 0) return 0;
  if (!nt && volume->startSector + count > fake.floppySectorsPerTrack) return 0;  // crosses a track
  if (!nt && volume->head >= fake.floppySides) return 0;
  const int64_t linear = static_cast<int64_t>(volume->partitionStart) + volume->startSector +
                         (static_cast<int64_t>(volume->track) * fake.floppySides + volume->head) *
                             fake.floppySectorsPerTrack;
  const uint64_t offset = static_cast<uint64_t>(linear) * 512, bytes = static_cast<uint64_t>(count) * 512;
  if (linear < 0 || offset + bytes > fake.floppy.size()) return 0;
  if (write) {
    memcpy(fake.floppy.data() + offset, volume->buffer, bytes);
  } else {
    memcpy(volume->buffer, fake.floppy.data() + offset, bytes);
  }
  return 1;
}

int FakeFloppyVwin32(Volume* volume, uintptr_t write) { return FakeFloppy(volume, write, false); }
int FakeFloppyNT(Volume* volume, uintptr_t write) { return FakeFloppy(volume, write, true); }

int FakeInquiry(const ScsiAddress& unit, uint8_t* buffer, uint32_t length) {
  current->scsiCalls.push_back({'I', unit, 0, 0, length});
  memset(buffer, 0, length);
  if (!current->answersInquiry) return 0;
  const char identity[] = "ORVANTA FAKE DISK       1.0 ";
  memcpy(buffer + 8, identity, length > 8 ? std::min<size_t>(length - 8, sizeof identity - 1) : 0);
  return 1;
}

int FakeReadCapacity(const ScsiAddress& unit, uint8_t* buffer, uint32_t length) {
  FakeDevices& fake = *current;
  fake.scsiCalls.push_back({'C', unit, 0, 0, length});
  memset(buffer, 0, length);
  if (!fake.answersReadCapacity || length < 8) return 0;
  uint32_t lastBlock = fake.reportedLastBlock
                           ? fake.reportedLastBlock
                           : static_cast<uint32_t>(fake.scsi.size() / fake.scsiBlockLength) - 1;
  uint32_t blockLength = fake.reportedBlockLength ? fake.reportedBlockLength : fake.scsiBlockLength;
  if (fake.reportsBlockLength0) blockLength = 0;
  for (int i = 0; i < 4; ++i) {
    buffer[i] = static_cast<uint8_t>(lastBlock >> (24 - 8 * i));
    buffer[4 + i] = static_cast<uint8_t>(blockLength >> (24 - 8 * i));
  }
  return 1;
}

bool ScsiRange(uint32_t first, uint32_t count, uint32_t blockLength, uint64_t* offset, uint64_t* bytes) {
  *offset = static_cast<uint64_t>(first) * blockLength;
  *bytes = static_cast<uint64_t>(count) * blockLength;
  return blockLength == current->scsiBlockLength && *offset + *bytes <= current->scsi.size();
}

// Records a read or write and runs the test's hook. False when it goes unanswered.
bool Answered(const ScsiCall& call) {
  current->scsiCalls.push_back(call);
  if (current->onScsiTransfer) current->onScsiTransfer(call);
  if (!current->scsiTimesOut) return true;
  deviceTimedOut = 1;
  return false;
}

int FakeRead(const ScsiAddress& unit, uint32_t first, uint32_t count, uint8_t* buffer, uint32_t blockLength) {
  memset(buffer, 0, static_cast<size_t>(count) * blockLength);
  if (!Answered({'R', unit, first, count, blockLength})) return 0;
  uint64_t offset, bytes;
  if (!ScsiRange(first, count, blockLength, &offset, &bytes)) return 0;
  memcpy(buffer, current->scsi.data() + offset, bytes);
  return 1;
}

int FakeWrite(const ScsiAddress& unit, uint32_t first, uint32_t count, const uint8_t* buffer,
              uint32_t blockLength) {
  if (!Answered({'W', unit, first, count, blockLength})) return 0;
  uint64_t offset, bytes;
  if (!ScsiRange(first, count, blockLength, &offset, &bytes)) return 0;
  memcpy(current->scsi.data() + offset, buffer, bytes);
  return 1;
}

}  // namespace

FakeDevices::FakeDevices() : savedBackends_(deviceBackends), savedAdapterCount_(scsiAdapterCount) {
  current = this;
  deviceBackends = {FakeInquiry, FakeReadCapacity, FakeRead, FakeWrite, FakeFloppyVwin32, FakeFloppyNT};
  scsiAdapterCount = 1;
}

FakeDevices::~FakeDevices() {
  deviceBackends = savedBackends_;
  scsiAdapterCount = savedAdapterCount_;
  current = nullptr;
}

int FakeDevices::ScsiCommands(char command) const {
  int count = 0;
  for (const ScsiCall& call : scsiCalls) count += call.command == command;
  return count;
}
