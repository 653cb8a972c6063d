// The floppy back-ends through stand-ins for the platform's device calls: a
// fake drive that answers VWIN32's BIOS disk service (control code 4 with its
// register record) and the NT raw drive's lock, geometry, dismount, unlock,
// positioning, reads and writes, and records everything it is sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "build_interfaces.h"
#include "byte_order.h"
#include "device_backends.h"
#include "device_platform.h"
#include "floppy_nt.h"
#include "image_builders.h"
#include "sector_transfer.h"
#include "volume.h"

namespace {

// The register record as sent, read from its bytes: EBX, EDX, ECX, EAX, EDI, ESI, flags.
struct Registers {
  uint32_t ebx, edx, ecx, eax;
  bool operator==(const Registers& o) const { return ebx == o.ebx && edx == o.edx && ecx == o.ecx && eax == o.eax; }
};

void PrintTo(const Registers& r, std::ostream* os) {
  char text[96];
  snprintf(text, sizeof text, "{EBX %08x EDX %04x ECX %04x EAX %04x}", r.ebx, r.edx, r.ecx, r.eax);
  *os << text;
}

HANDLE const kVwin32 = reinterpret_cast<HANDLE>(0x100);
HANDLE const kDriveA = reinterpret_cast<HANDLE>(0x200);
HANDLE const kDriveB = reinterpret_cast<HANDLE>(0x201);

struct FakeDrive {
  Bytes medium;                // the disk, laid out as below
  int sectorsPerTrack = 18;    // physical layout, for BIOS requests
  int sides = 2;
  MEDIA_TYPE mediaType = F3_1Pt44_512;
  int failingCalls = 0;        // the next this many BIOS calls, reads or writes fail
  bool biosMovesNothing = false;  // BIOS calls succeed but report AL 0
  int biosStopsAfter = -1;        // BIOS calls move this many sectors, then stop with carry set
  bool lockFails = false, geometryFails = false, openFails = false, seekFails = false;
  uint64_t position = 0;
  UINT errorMode = SEM_NOOPENFILEERRORBOX;
  std::vector<std::string> calls;
  std::vector<Registers> bios;
};

FakeDrive* drive;

std::string Format(const char* format, unsigned long long value) {
  char text[96];
  snprintf(text, sizeof text, format, value);
  return text;
}

HANDLE WINAPI FakeCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD attributes, HANDLE templateFile) {
  EXPECT_EQ(static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE), access);
  EXPECT_EQ(0u, share);
  EXPECT_EQ(static_cast<DWORD>(OPEN_EXISTING), disposition);
  EXPECT_EQ(nullptr, security);
  EXPECT_EQ(0u, attributes);
  EXPECT_EQ(nullptr, templateFile);
  drive->calls.push_back(std::string("open ") + path);
  if (drive->openFails) return INVALID_HANDLE_VALUE;
  if (!strcmp(path, "\\\\.\\VWIN32")) return kVwin32;
  if (!strcmp(path, "\\\\.\\A:")) return kDriveA;
  if (!strcmp(path, "\\\\.\\B:")) return kDriveB;
  return INVALID_HANDLE_VALUE;
}

bool TakeFailure() {
  if (drive->failingCalls == 0) return false;
  --drive->failingCalls;
  return true;
}

// INT 13h function 2 or 3 on the fake medium, as a BIOS would do it.
BOOL Bios(void* in, DWORD inBytes, void* out, DWORD outBytes) {
  EXPECT_EQ(28u, inBytes);
  EXPECT_EQ(28u, outBytes);
  EXPECT_EQ(in, out);
  uint8_t* record = static_cast<uint8_t*>(in);
  Registers r = {ReadLE32(record), ReadLE32(record + 4), ReadLE32(record + 8), ReadLE32(record + 12)};
  drive->bios.push_back(r);
  drive->calls.push_back("bios");
  if (TakeFailure()) return FALSE;
  const int function = (r.eax >> 8) & 0xFF, count = r.eax & 0xFF, sector = r.ecx & 0x3F;
  const int cylinder = ((r.ecx >> 8) & 0xFF) | (r.ecx & 0xC0) << 2, head = (r.edx >> 8) & 0xFF;
  EXPECT_EQ(0u, r.eax >> 16);
  EXPECT_TRUE(function == 2 || function == 3);
  const size_t linear = (static_cast<size_t>(cylinder) * drive->sides + head) * drive->sectorsPerTrack + sector - 1;
  const size_t bytes = static_cast<size_t>(count) * 512;
  uint8_t* memory = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(r.ebx));
  if (drive->biosMovesNothing || sector < 1 || sector - 1 + count > drive->sectorsPerTrack ||
      head >= drive->sides || (linear * 512 + bytes) > drive->medium.size()) {
    record[12] = 0;  // AL 0: nothing moved
    return TRUE;
  }
  // A bad sector part-way: the sectors before it move, AL counts them, AH
  // says "sector not found" and carry is set.
  const int moved = drive->biosStopsAfter >= 0 && drive->biosStopsAfter < count ? drive->biosStopsAfter : count;
  if (function == 3) {
    memcpy(drive->medium.data() + linear * 512, memory, static_cast<size_t>(moved) * 512);
  } else {
    memcpy(memory, drive->medium.data() + linear * 512, static_cast<size_t>(moved) * 512);
  }
  if (moved < count) {
    record[12] = static_cast<uint8_t>(moved);
    record[13] = 0x04;
    record[24] |= 1;
  }
  return TRUE;
}

BOOL WINAPI FakeDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inBytes, LPVOID out, DWORD outBytes,
                                LPDWORD returned, LPOVERLAPPED overlapped) {
  EXPECT_EQ(nullptr, overlapped);
  EXPECT_NE(nullptr, returned);
  if (code == 4) {
    EXPECT_EQ(kVwin32, device);
    return Bios(in, inBytes, out, outBytes);
  }
  EXPECT_TRUE(device == kDriveA || device == kDriveB);
  EXPECT_EQ(nullptr, in);
  EXPECT_EQ(0u, inBytes);
  switch (code) {
    case 0x90018:
      drive->calls.push_back("lock");
      return !drive->lockFails;
    case 0x70000: {
      drive->calls.push_back(Format("geometry %llu", outBytes));
      if (drive->geometryFails || outBytes < sizeof(DISK_GEOMETRY)) return FALSE;
      DISK_GEOMETRY geometry = {};
      geometry.Cylinders.QuadPart = 80;
      geometry.MediaType = drive->mediaType;
      geometry.TracksPerCylinder = 2;
      geometry.SectorsPerTrack = drive->mediaType == F3_720_512 ? 9 : 18;
      geometry.BytesPerSector = 512;
      memcpy(out, &geometry, sizeof geometry);
      *returned = sizeof geometry;
      return TRUE;
    }
    case 0x90020: drive->calls.push_back("dismount"); return TRUE;
    case 0x9001C: drive->calls.push_back("unlock"); return TRUE;
    default: ADD_FAILURE() << "control code " << std::hex << code; return FALSE;
  }
}

DWORD WINAPI FakeSetFilePointer(HANDLE, LONG low, PLONG high, DWORD method) {
  EXPECT_EQ(static_cast<DWORD>(FILE_BEGIN), method);
  drive->position = static_cast<uint64_t>(high ? *high : 0) << 32 | static_cast<uint32_t>(low);
  drive->calls.push_back(Format("seek %llu", drive->position));
  if (drive->seekFails) {
    SetLastError(ERROR_NOT_READY);
    return INVALID_SET_FILE_POINTER;
  }
  return static_cast<DWORD>(low);
}

// Moves what lies on the medium from the position on, as a raw device does.
BOOL MoveRaw(void* memory, DWORD bytes, LPDWORD done, bool write) {
  drive->calls.push_back(Format(write ? "write %llu" : "read %llu", bytes));
  *done = 0;
  if (TakeFailure()) return FALSE;
  const uint64_t size = drive->medium.size();
  const DWORD moved = drive->position >= size ? 0 : static_cast<DWORD>(std::min<uint64_t>(bytes, size - drive->position));
  if (write) {
    memcpy(drive->medium.data() + drive->position, memory, moved);
  } else {
    memcpy(memory, drive->medium.data() + drive->position, moved);
  }
  *done = moved;
  return TRUE;
}

BOOL WINAPI FakeReadFile(HANDLE, LPVOID memory, DWORD bytes, LPDWORD done, LPOVERLAPPED) {
  return MoveRaw(memory, bytes, done, false);
}

BOOL WINAPI FakeWriteFile(HANDLE, LPCVOID memory, DWORD bytes, LPDWORD done, LPOVERLAPPED) {
  return MoveRaw(const_cast<void*>(memory), bytes, done, true);
}

BOOL WINAPI FakeCloseHandle(HANDLE device) {
  drive->calls.push_back(device == kVwin32 ? "close" : "close drive");
  return TRUE;
}

UINT WINAPI FakeSetErrorMode(UINT mode) {
  drive->calls.push_back(Format("error mode %llx", mode));
  UINT previous = drive->errorMode;
  drive->errorMode = mode;
  return previous;
}

class FloppyBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = devicePlatform;
    devicePlatform.CreateFileA = FakeCreateFile;
    devicePlatform.DeviceIoControl = FakeDeviceIoControl;
    devicePlatform.SetFilePointer = FakeSetFilePointer;
    devicePlatform.ReadFile = FakeReadFile;
    devicePlatform.WriteFile = FakeWriteFile;
    devicePlatform.CloseHandle = FakeCloseHandle;
    devicePlatform.SetErrorMode = FakeSetErrorMode;
    memset(ntFloppyDrives, 0, sizeof ntFloppyDrives);
    drive = &drive_;
    drive_.medium = MakeNumberedSectors(2880);
  }
  void TearDown() override {
    devicePlatform = saved_;
    memset(ntFloppyDrives, 0, sizeof ntFloppyDrives);
    drive = nullptr;
  }

  // A floppy volume of drive `unit` with its request set (head and track as given).
  Volume* Floppy(int unit, bool nt, int32_t track, int32_t head, int32_t index, int32_t count, uint8_t* buffer) {
    Volume* volume = OpenVolume(KindFloppy, static_cast<uintptr_t>(unit), OpenNoDetect);
    EXPECT_NE(nullptr, volume);
    volume->isNT = nt;
    SetRequest(volume, track, head, index, count, buffer);
    return volume;
  }
  static void SetRequest(Volume* volume, int32_t track, int32_t head, int32_t index, int32_t count, uint8_t* buffer) {
    volume->track = track;
    volume->head = head;
    volume->startSector = index;
    volume->sectorCount = count;
    volume->buffer = buffer;
  }
  std::vector<std::string> TakeCalls() {
    std::vector<std::string> calls;
    calls.swap(drive_.calls);
    return calls;
  }

  FakeDrive drive_;

 private:
  DevicePlatform saved_;
};

using Calls = std::vector<std::string>;

uint32_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

TEST_F(FloppyBackendTest, BiosRegistersCarryTheRequest) {
  REQUIRE_32BIT_INTERFACE(kBiosDiskService);
  // 9 sectors at index 0 of track 79, side 1 of drive A:.
  Bytes data(9 * 512);
  Volume* volume = Floppy(0, false, 79, 1, 0, 9, data.data());
  ASSERT_NE(0, FloppyTransferVwin32(volume, 0));
  EXPECT_EQ(0, volume->sectorCount);
  EXPECT_EQ((std::vector<Registers>{{Address(data.data()), 0x0100, 0x4F01, 0x0209}}), drive_.bios);
  EXPECT_EQ((Calls{"open \\\\.\\VWIN32", "bios", "close"}), TakeCalls());
  EXPECT_EQ(79u * 36 + 18, SectorNumberAt(data.data()));
  EXPECT_EQ(79u * 36 + 26, SectorNumberAt(data.data() + 8 * 512));

  // A write of 2 sectors from index 5 of cylinder 300 on drive B:: AH 3, cylinder
  // bits 8 and 9 in the top of CL, the partition start added to the sector.
  drive_.bios.clear();
  drive_.sectorsPerTrack = 9;
  drive_.medium = Bytes(301 * 2 * 9 * 512);
  Bytes written(2 * 512, 0xA7);
  CloseVolume(volume);
  volume = Floppy(1, false, 300, 0, 5, 2, written.data());
  volume->partitionStart = 1;
  ASSERT_NE(0, FloppyTransferVwin32(volume, 1));
  EXPECT_EQ((std::vector<Registers>{{Address(written.data()), 0x0001, 300u << 8 | 0x40 | 7, 0x0302}}), drive_.bios);
  EXPECT_EQ(written, Bytes(drive_.medium.begin() + (300 * 18 + 6) * 512, drive_.medium.begin() + (300 * 18 + 8) * 512));

  // What the registers cannot carry is refused before the device is opened:
  // no sectors, a count that would spill into AH, a sector number above 63.
  TakeCalls();
  for (auto request : {std::vector<int32_t>{0, 0, 0}, {0, 0, 256}, {0, 63, 1}, {1024, 0, 1}}) {
    SetRequest(volume, request[0], 0, request[1], request[2], written.data());
    volume->partitionStart = 0;
    EXPECT_EQ(0, FloppyTransferVwin32(volume, 0)) << request[0] << " " << request[1] << " " << request[2];
    EXPECT_EQ(0, volume->sectorCount);
  }
  EXPECT_EQ(Calls{}, TakeCalls());
  CloseVolume(volume);
}

TEST_F(FloppyBackendTest, BiosCallsAreTriedThreeTimes) {
  REQUIRE_32BIT_INTERFACE(kBiosDiskService);
  Bytes data(512);
  Volume* volume = Floppy(0, false, 0, 0, 3, 1, data.data());
  drive_.failingCalls = 2;
  EXPECT_NE(0, FloppyTransferVwin32(volume, 0));
  EXPECT_EQ(3u, SectorNumberAt(data.data()));
  const Calls attempt = {"open \\\\.\\VWIN32", "bios", "close"};
  Calls three;
  for (int i = 0; i < 3; ++i) three.insert(three.end(), attempt.begin(), attempt.end());
  EXPECT_EQ(three, TakeCalls());

  // Three failures, by a failing call or by AL 0, give up.
  SetRequest(volume, 0, 0, 3, 1, data.data());
  drive_.failingCalls = 3;
  EXPECT_EQ(0, FloppyTransferVwin32(volume, 0));
  EXPECT_EQ(0, volume->sectorCount);
  EXPECT_EQ(three, TakeCalls());
  SetRequest(volume, 0, 0, 3, 1, data.data());
  drive_.biosMovesNothing = true;
  EXPECT_EQ(0, FloppyTransferVwin32(volume, 0));
  EXPECT_EQ(three, TakeCalls());

  // A BIOS that stops at the fifth of nine sectors moves four and sets
  // carry: no attempt succeeds, though each moved something.
  drive_.biosMovesNothing = false;
  Bytes nine(9 * 512, 0xEE);
  SetRequest(volume, 0, 0, 0, 9, nine.data());
  drive_.biosStopsAfter = 4;
  EXPECT_EQ(0, FloppyTransferVwin32(volume, 0));
  EXPECT_EQ(0, volume->sectorCount);
  EXPECT_EQ(three, TakeCalls());
  EXPECT_EQ(3u, SectorNumberAt(nine.data() + 3 * 512));
  EXPECT_EQ(0xEEu, nine[4 * 512]);
  // Through the track loop, the copy's nine-sector chunk of a 720 KB disk fails as a whole.
  volume->sizeKB = 720;
  drive_.sectorsPerTrack = 9;
  EXPECT_EQ(0, ReadSectors(volume, 9, 9, nine.data()));
  drive_.biosStopsAfter = -1;

  // A device that does not open counts as a failed attempt.
  drive_.openFails = true;
  SetRequest(volume, 0, 0, 3, 1, data.data());
  EXPECT_EQ(0, FloppyTransferVwin32(volume, 0));
  EXPECT_EQ((Calls(3, "open \\\\.\\VWIN32")), TakeCalls());
  CloseVolume(volume);
}

TEST_F(FloppyBackendTest, BiosPathCutsRequestsAtTrackEndsAndLearnsMfsSizes) {
  REQUIRE_32BIT_INTERFACE(kBiosDiskService);
  Bytes data(20 * 512);
  Volume* volume = Floppy(0, false, 0, 0, 0, 0, nullptr);
  ASSERT_EQ(1440, volume->sizeKB);
  EXPECT_NE(0, ReadSectors(volume, 10, 20, data.data()));
  EXPECT_EQ((std::vector<Registers>{{Address(data.data()), 0x0000, 0x000B, 0x0208},
                                    {Address(data.data() + 8 * 512), 0x0100, 0x0001, 0x020C}}),
            drive_.bios);
  for (uint32_t i = 0; i < 20; ++i) EXPECT_EQ(10 + i, SectorNumberAt(data.data() + i * 512));

  // An 800 KB Macintosh disk (10 sectors a track) in a drive taken for 1440 KB:
  // reading sector 2 finds the MFS block, and later reads use its geometry.
  drive_.sectorsPerTrack = 10;
  drive_.medium = MakeMfsVolume(800, 782, 1024);
  Bytes numbered = MakeNumberedSectors(1600);
  std::copy(numbered.begin() + 3 * 512, numbered.end(), drive_.medium.begin() + 3 * 512);
  drive_.bios.clear();
  EXPECT_NE(0, ReadSectors(volume, 2, 1, data.data()));
  EXPECT_EQ(800, volume->sizeKB);
  EXPECT_NE(0, ReadSectors(volume, 18, 4, data.data()));
  EXPECT_EQ((std::vector<Registers>{{Address(data.data()), 0x0000, 0x0003, 0x0201},
                                    {Address(data.data()), 0x0100, 0x0009, 0x0202},
                                    {Address(data.data() + 1024), 0x0000, 0x0101, 0x0202}}),
            drive_.bios);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(18 + i, SectorNumberAt(data.data() + i * 512));
  CloseVolume(volume);
}

// 64-bit Windows is always NT and has no BIOS disk service: a floppy of any
// other system is refused there before a device is opened, never sent to the
// service with its buffer address cut to 32 bits; an NT floppy takes the raw
// drive on every build.
TEST_F(FloppyBackendTest, OnlyThe32BitBuildCallsTheBiosService) {
  Bytes data(512);
  Volume* volume = Floppy(0, false, 0, 0, 3, 1, data.data());
  const int moved = FloppyTransferVwin32(volume, 0);
  if (kBuildHas32BitInterfaces) {
    EXPECT_NE(0, moved);
    EXPECT_EQ((Calls{"open \\\\.\\VWIN32", "bios", "close"}), TakeCalls());
  } else {
    EXPECT_EQ(0, moved);
    EXPECT_EQ(0, volume->sectorCount);
    EXPECT_EQ(Calls{}, TakeCalls());
  }
  SetRequest(volume, 0, 0, 3, 1, data.data());
  volume->isNT = 1;
  EXPECT_NE(0, FloppyTransferVwin32(volume, 0));
  EXPECT_EQ(3u, SectorNumberAt(data.data()));
  const Calls nt = TakeCalls();
  EXPECT_NE(nt.end(), std::find(nt.begin(), nt.end(), "open \\\\.\\A:")) << nt.size() << " calls";
  CloseVolume(volume);
}

TEST_F(FloppyBackendTest, NtDriveIsOpenedAndLockedOnceAndMeasuredAgainAfterEveryDismount) {
  Bytes data(2 * 512);
  Volume* volume = Floppy(0, true, 0, 0, 5, 2, data.data());
  volume->partitionStart = 3;
  ASSERT_NE(0, FloppyTransferNT(volume, 0));
  EXPECT_EQ(0, volume->sectorCount);
  EXPECT_EQ(1440, volume->sizeKB);
  EXPECT_EQ(8u, SectorNumberAt(data.data()));
  EXPECT_EQ(9u, SectorNumberAt(data.data() + 512));
  EXPECT_EQ((Calls{"error mode 1", "open \\\\.\\A:", "lock", "geometry 24", "error mode 8000", "seek 4096",
                   "error mode 1", "read 1024", "error mode 8000", "dismount", "unlock"}),
            TakeCalls());

  // Later transfers keep the handle: no open or lock. The geometry is asked
  // for again, since the disk may have been changed since the dismount.
  Bytes written(512, 0x4E);
  SetRequest(volume, 0, 0, 100, 1, written.data());
  ASSERT_NE(0, FloppyTransferNT(volume, 1));
  EXPECT_EQ(written, Bytes(drive_.medium.begin() + 103 * 512, drive_.medium.begin() + 104 * 512));
  EXPECT_EQ((Calls{"error mode 1", "geometry 24", "error mode 8000", "seek 52736", "error mode 1", "write 512",
                   "error mode 8000", "dismount", "unlock"}),
            TakeCalls());

  // A 720 KB disk put into drive A: after that, then a 1.44 MB one again:
  // each is measured at the next transfer, on the same volume as on a new one.
  drive_.mediaType = F3_720_512;
  SetRequest(volume, 0, 0, 0, 1, data.data());
  ASSERT_NE(0, FloppyTransferNT(volume, 0));
  EXPECT_EQ(720, volume->sizeKB);
  drive_.mediaType = F3_1Pt44_512;
  Volume* fresh = Floppy(0, true, 0, 0, 0, 1, data.data());
  volume->sizeKB = 720;
  ASSERT_NE(0, FloppyTransferNT(fresh, 0));
  EXPECT_EQ(1440, fresh->sizeKB);
  CloseVolume(fresh);
  TakeCalls();

  // Drive B: has its own device, and a 720 KB disk sets sizeKB 720 at its first transfer.
  drive_.mediaType = F3_720_512;
  Volume* second = Floppy(1, true, 0, 0, 0, 1, data.data());
  ASSERT_EQ(1440, second->sizeKB);
  ASSERT_NE(0, FloppyTransferNT(second, 0));
  EXPECT_EQ(720, second->sizeKB);
  EXPECT_EQ((Calls{"error mode 1", "open \\\\.\\B:", "lock", "geometry 24", "error mode 8000", "seek 0",
                   "error mode 1", "read 512", "error mode 8000", "dismount", "unlock"}),
            TakeCalls());
  CloseVolume(second);

  // Through TransferSectors a track and head fold in with the volume's size.
  volume->sizeKB = 720;
  volume->partitionStart = 0;
  SetRequest(volume, 2, 1, 4, 1, data.data());
  ASSERT_NE(0, TransferSectors(volume, 0));
  EXPECT_EQ(5u * 9 + 4, SectorNumberAt(data.data()));
  CloseVolume(volume);
}

TEST_F(FloppyBackendTest, NtLockFailureEndsOneTransferAndGeometryIsAskedForUntilItComes) {
  Bytes data(512);
  Volume* volume = Floppy(0, true, 0, 0, 1, 1, data.data());
  drive_.lockFails = true;
  EXPECT_EQ(0, FloppyTransferNT(volume, 0));
  EXPECT_EQ(0, volume->sectorCount);
  EXPECT_EQ((Calls{"error mode 1", "open \\\\.\\A:", "lock", "error mode 8000"}), TakeCalls());

  // The handle stays open and the lock is not asked for again; the geometry
  // is (no disk yet).
  drive_.geometryFails = true;
  SetRequest(volume, 0, 0, 1, 1, data.data());
  EXPECT_EQ(0, FloppyTransferNT(volume, 0));
  EXPECT_EQ((Calls{"error mode 1", "geometry 24", "error mode 8000"}), TakeCalls());

  // A 720 KB disk put in now is measured at the next transfer.
  drive_.geometryFails = false;
  drive_.mediaType = F3_720_512;
  SetRequest(volume, 0, 0, 1, 1, data.data());
  EXPECT_NE(0, FloppyTransferNT(volume, 0));
  EXPECT_EQ(720, volume->sizeKB);
  EXPECT_EQ((Calls{"error mode 1", "geometry 24", "error mode 8000", "seek 512", "error mode 1", "read 512",
                   "error mode 8000", "dismount", "unlock"}),
            TakeCalls());

  // No drive at all: the open fails, and nothing else is sent.
  drive_.openFails = true;
  Volume* second = Floppy(1, true, 0, 0, 1, 1, data.data());
  EXPECT_EQ(0, FloppyTransferNT(second, 0));
  EXPECT_EQ((Calls{"error mode 1", "open \\\\.\\B:", "error mode 8000"}), TakeCalls());
  CloseVolume(second);
  CloseVolume(volume);
}

TEST_F(FloppyBackendTest, NtTransfersAreTriedThreeTimesAndMustMoveEverySector) {
  Bytes data(2 * 512);
  Volume* volume = Floppy(0, true, 0, 0, 6, 2, data.data());
  drive_.failingCalls = 2;
  EXPECT_NE(0, FloppyTransferNT(volume, 0));
  EXPECT_EQ(6u, SectorNumberAt(data.data()));
  Calls calls = TakeCalls();
  const Calls attempt = {"seek 3072", "error mode 1", "read 1024", "error mode 8000", "dismount", "unlock"};
  // Each attempt after a dismount measures the disk again.
  const Calls measure = {"error mode 1", "geometry 24", "error mode 8000"};
  Calls expected(calls.begin(), calls.begin() + 5);  // open, lock and geometry first
  for (int i = 0; i < 3; ++i) {
    if (i > 0) expected.insert(expected.end(), measure.begin(), measure.end());
    expected.insert(expected.end(), attempt.begin(), attempt.end());
  }
  EXPECT_EQ(expected, calls);

  SetRequest(volume, 0, 0, 6, 2, data.data());
  drive_.failingCalls = 3;
  EXPECT_EQ(0, FloppyTransferNT(volume, 0));
  EXPECT_EQ(0, volume->sectorCount);
  EXPECT_EQ(27u, TakeCalls().size());

  // The last sector and one past the end: the drive moves 512 of 1,024 bytes.
  SetRequest(volume, 0, 0, 2879, 2, data.data());
  EXPECT_EQ(0, FloppyTransferNT(volume, 0));
  EXPECT_EQ(2879u, SectorNumberAt(data.data()));
  EXPECT_EQ(27u, TakeCalls().size());

  // A device that cannot be positioned is neither read nor written.
  drive_.seekFails = true;
  SetRequest(volume, 0, 0, 6, 1, data.data());
  EXPECT_EQ(0, FloppyTransferNT(volume, 1));
  Calls unplaced;
  for (int i = 0; i < 3; ++i) {
    unplaced.insert(unplaced.end(), measure.begin(), measure.end());
    unplaced.insert(unplaced.end(), {"seek 3072", "dismount", "unlock"});
  }
  EXPECT_EQ(unplaced, TakeCalls());
  drive_.seekFails = false;

  // Nothing to move: no call at all.
  SetRequest(volume, 0, 0, 0, 0, data.data());
  EXPECT_EQ(0, FloppyTransferNT(volume, 0));
  EXPECT_EQ(Calls{}, TakeCalls());
  CloseVolume(volume);
}

}  // namespace
