#include "fake_scsi_bus.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "device_backends.h"
#include "device_platform.h"
#include "pass_through.h"

FakeScsiBus fakeScsiBus;

namespace {

// Handles of the stand-ins: a value no platform handle takes, carrying what
// was opened (the kind of device) and its number.
const uintptr_t kHandleBase = 0x5C500000;
enum HandleKind { kAdapter = 1, kDiskClass = 2, kCdromClass = 3, kVolume = 4 };

const uint8_t kCheckCondition = 0x02;
const ULONG kMaxTimeOutSeconds = 108000;  // the platform takes up to 30 hours

// While installed, the platform's calls that the stand-ins replace; else the stand-ins.
DevicePlatform platform;
bool installed;

HANDLE MakeHandle(HandleKind kind, int number) {
  ++fakeScsiBus.openHandles;
  return reinterpret_cast<HANDLE>(kHandleBase | static_cast<uintptr_t>(kind) << 8 | static_cast<uintptr_t>(number));
}

bool IsStandIn(HANDLE handle, HandleKind* kind, int* number) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  if ((value & ~static_cast<uintptr_t>(0xFFF)) != kHandleBase) return false;
  *kind = static_cast<HandleKind>((value >> 8) & 0xF);
  *number = static_cast<int>(value & 0xFF);
  return true;
}

bool IsCdrom(const FakeScsiUnit& unit) { return unit.emulated.kind == FakeScsiCdrom; }

int ClassUnit(HandleKind kind, int number) {
  for (size_t i = 0; i < fakeScsiBus.units.size(); ++i) {
    const FakeScsiUnit& unit = fakeScsiBus.units[i];
    if (unit.classNumber == number && IsCdrom(unit) == (kind == kCdromClass)) return static_cast<int>(i);
  }
  return -1;
}

int UnitAt(int port, int bus, int target, int lun) {
  for (size_t i = 0; i < fakeScsiBus.units.size(); ++i) {
    const FakeScsiUnit& unit = fakeScsiBus.units[i];
    if (unit.port == port && unit.bus == bus && unit.target == target && unit.lun == lun) return static_cast<int>(i);
  }
  return -1;
}

// The number in path between prefix and suffix; -1 when path is not of that form.
int NumberIn(const char* path, const char* prefix, const char* suffix) {
  const size_t length = strlen(prefix);
  if (_strnicmp(path, prefix, length) != 0) return -1;
  char* end = nullptr;
  const long number = strtol(path + length, &end, 10);
  if (end == path + length || _stricmp(end, suffix) != 0 || number < 0 || number > 255) return -1;
  return static_cast<int>(number);
}

std::string PathOf(HandleKind kind, int number) {
  char path[32];
  switch (kind) {
    case kAdapter: snprintf(path, sizeof path, "\\\\.\\Scsi%d:", number); break;
    case kDiskClass: snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%d", number); break;
    case kCdromClass: snprintf(path, sizeof path, "\\\\.\\CdRom%d", number); break;
    case kVolume: snprintf(path, sizeof path, "\\\\.\\%c:", 'A' + number); break;
  }
  return path;
}

HANDLE NotFound() {
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}

HANDLE WINAPI OpenStandIn(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD attributes, HANDLE templateFile) {
  const int port = NumberIn(path, "\\\\.\\Scsi", ":");
  const int disk = NumberIn(path, "\\\\.\\PhysicalDrive", "");
  const int cdrom = NumberIn(path, "\\\\.\\CdRom", "");
  const bool volumePath = strlen(path) == 6 && !strncmp(path, "\\\\.\\", 4) && path[5] == ':' &&
                          ((path[4] | 0x20) >= 'a' && (path[4] | 0x20) <= 'z');
  const int letter = volumePath ? (path[4] | 0x20) - 'a' : -1;
  if (port < 0 && disk < 0 && cdrom < 0 && !(letter >= 0 && (fakeScsiBus.mountedLetters >> letter & 1))) {
    return platform.CreateFileA(path, access, share, security, disposition, attributes, templateFile);
  }
  fakeScsiBus.opened.push_back(path);
  if (disposition != OPEN_EXISTING) return NotFound();
  if (port >= 0) {
    const bool present = port < static_cast<int>(fakeScsiBus.busesOfPort.size()) && fakeScsiBus.busesOfPort[port] > 0;
    return present ? MakeHandle(kAdapter, port) : NotFound();
  }
  if (disk >= 0) return ClassUnit(kDiskClass, disk) >= 0 ? MakeHandle(kDiskClass, disk) : NotFound();
  if (cdrom >= 0) return ClassUnit(kCdromClass, cdrom) >= 0 ? MakeHandle(kCdromClass, cdrom) : NotFound();
  return MakeHandle(kVolume, letter);
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// IOCTL_SCSI_GET_INQUIRY_DATA of an adapter: its buses, and on each a chain
// of the units there with their INQUIRY data.
BOOL AnswerBusInfo(int port, void* out, DWORD outBytes, DWORD* returned) {
  const int buses = fakeScsiBus.busesOfPort[port];
  std::vector<uint8_t> answer(offsetof(SCSI_ADAPTER_BUS_INFO, BusData) + buses * sizeof(SCSI_BUS_DATA));
  answer[0] = static_cast<uint8_t>(buses);
  for (int bus = 0; bus < buses; ++bus) {
    SCSI_BUS_DATA data = {};
    size_t link = 0;  // where the offset of the next record goes; 0: in the bus's data
    for (FakeScsiUnit& unit : fakeScsiBus.units) {
      if (unit.port != port || unit.bus != bus) continue;
      const uint8_t inquiry[6] = {0x12, 0, 0, 0, 36, 0};
      uint8_t inquiryData[36];
      uint32_t moved = 0;
      ExecuteFakeScsiCommand(unit.emulated, inquiry, 6, FakeScsiDataIn, inquiryData, sizeof inquiryData, &moved);
      SCSI_INQUIRY_DATA record = {};
      record.PathId = static_cast<UCHAR>(bus);
      record.TargetId = static_cast<UCHAR>(unit.target);
      record.Lun = static_cast<UCHAR>(unit.lun);
      record.DeviceClaimed = unit.classNumber >= 0;
      record.InquiryDataLength = moved;
      const ULONG at = static_cast<ULONG>((answer.size() + 7) / 8 * 8);
      answer.resize(at + offsetof(SCSI_INQUIRY_DATA, InquiryData) + moved);
      memcpy(answer.data() + at, &record, offsetof(SCSI_INQUIRY_DATA, InquiryData));
      memcpy(answer.data() + at + offsetof(SCSI_INQUIRY_DATA, InquiryData), inquiryData, moved);
      if (link) {
        memcpy(answer.data() + link, &at, sizeof at);
      } else {
        data.InquiryDataOffset = at;
      }
      link = at + offsetof(SCSI_INQUIRY_DATA, NextInquiryDataOffset);
      ++data.NumberOfLogicalUnits;
    }
    memcpy(answer.data() + offsetof(SCSI_ADAPTER_BUS_INFO, BusData) + bus * sizeof(SCSI_BUS_DATA), &data, sizeof data);
  }
  if (answer.size() > outBytes) return Fail(ERROR_INSUFFICIENT_BUFFER);
  memcpy(out, answer.data(), answer.size());
  *returned = static_cast<DWORD>(answer.size());
  return TRUE;
}

// IOCTL_SCSI_PASS_THROUGH_DIRECT, checked as the platform checks it.
BOOL AnswerPassThrough(HandleKind kind, int number, void* in, DWORD inBytes, void* out, DWORD outBytes,
                       DWORD* returned) {
  if (!in || inBytes < sizeof(SCSI_PASS_THROUGH_DIRECT)) return Fail(ERROR_INVALID_PARAMETER);
  SCSI_PASS_THROUGH_DIRECT* record = static_cast<SCSI_PASS_THROUGH_DIRECT*>(in);
  FakePassThroughCommand logged;
  logged.path = PathOf(kind, number);
  logged.pathId = record->PathId;
  logged.targetId = record->TargetId;
  logged.lun = record->Lun;
  logged.cdb.assign(record->Cdb, record->Cdb + (record->CdbLength <= 16 ? record->CdbLength : 16));
  logged.dataIn = record->DataIn;
  logged.dataLength = record->DataTransferLength;
  logged.timeOutValue = record->TimeOutValue;
  logged.senseLength = record->SenseInfoLength;
  logged.dataAddress = reinterpret_cast<uintptr_t>(record->DataBuffer);
  logged.unit = kind == kAdapter ? UnitAt(number, record->PathId, record->TargetId, record->Lun) : ClassUnit(kind, number);
  const DWORD room = inBytes < outBytes ? inBytes : outBytes;
  logged.valid = record->Length == sizeof *record && out == in && record->CdbLength >= 6 && record->CdbLength <= 16 &&
                 record->DataIn <= SCSI_IOCTL_DATA_UNSPECIFIED &&
                 (record->DataTransferLength == 0 || record->DataBuffer) &&
                 (record->SenseInfoLength == 0 ||
                  static_cast<uint64_t>(record->SenseInfoOffset) + record->SenseInfoLength <= room) &&
                 record->TimeOutValue >= 1 && record->TimeOutValue <= kMaxTimeOutSeconds;
  fakeScsiBus.commands.push_back(logged);
  if (!logged.valid) return Fail(ERROR_INVALID_PARAMETER);
  if (logged.unit < 0) return Fail(ERROR_DEV_NOT_EXIST);
  FakeScsiUnit& unit = fakeScsiBus.units[logged.unit];
  // A unit a class driver claimed takes commands only through its class device.
  if (kind == kAdapter && unit.classNumber >= 0) return Fail(ERROR_INVALID_FUNCTION);
  if (fakeScsiBus.delayMs) Sleep(fakeScsiBus.delayMs);
  // The platform gave the command up after TimeOutValue seconds.
  if (unit.emulated.kind == FakeScsiStalled) return Fail(ERROR_SEM_TIMEOUT);
  const FakeScsiDirection direction = record->DataIn == SCSI_IOCTL_DATA_IN    ? FakeScsiDataIn
                                      : record->DataIn == SCSI_IOCTL_DATA_OUT ? FakeScsiDataOut
                                                                              : FakeScsiNoData;
  uint32_t moved = 0;
  const FakeScsiOutcome outcome =
      ExecuteFakeScsiCommand(unit.emulated, record->Cdb, record->CdbLength, direction,
                             static_cast<uint8_t*>(record->DataBuffer), record->DataTransferLength, &moved);
  record->ScsiStatus = outcome == FakeScsiGood ? 0 : kCheckCondition;
  record->DataTransferLength = unit.answersShort ? moved / 2 : moved;
  if (outcome != FakeScsiGood && record->SenseInfoLength >= 3) {
    uint8_t* sense = static_cast<uint8_t*>(in) + record->SenseInfoOffset;
    memset(sense, 0, record->SenseInfoLength);
    sense[0] = 0x70;
    sense[2] = outcome == FakeScsiRefused ? 0x05 : 0x03;  // illegal request; medium error
  }
  *returned = inBytes;
  return TRUE;
}

BOOL AnswerClassDevice(HandleKind kind, int number, DWORD code, void* out, DWORD outBytes, DWORD* returned) {
  const FakeScsiUnit& unit = fakeScsiBus.units[ClassUnit(kind, number)];
  if (code == IOCTL_SCSI_GET_ADDRESS) {
    if (outBytes < sizeof(SCSI_ADDRESS)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    SCSI_ADDRESS address = {sizeof address, static_cast<UCHAR>(unit.port), static_cast<UCHAR>(unit.bus),
                            static_cast<UCHAR>(unit.target), static_cast<UCHAR>(unit.lun)};
    memcpy(out, &address, sizeof address);
    *returned = sizeof address;
    return TRUE;
  }
  if (code == IOCTL_STORAGE_GET_DEVICE_NUMBER) {
    if (outBytes < sizeof(STORAGE_DEVICE_NUMBER)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    STORAGE_DEVICE_NUMBER device = {static_cast<DEVICE_TYPE>(IsCdrom(unit) ? FILE_DEVICE_CD_ROM : FILE_DEVICE_DISK),
                                    static_cast<ULONG>(number), 0};
    memcpy(out, &device, sizeof device);
    *returned = sizeof device;
    return TRUE;
  }
  return Fail(ERROR_INVALID_FUNCTION);
}

BOOL AnswerVolume(DWORD code, void* out, DWORD outBytes, DWORD* returned) {
  if (code != IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS) return Fail(ERROR_INVALID_FUNCTION);
  if (outBytes < sizeof(VOLUME_DISK_EXTENTS)) return Fail(ERROR_MORE_DATA);
  VOLUME_DISK_EXTENTS extents = {};
  extents.NumberOfDiskExtents = 1;
  extents.Extents[0].DiskNumber = static_cast<DWORD>(fakeScsiBus.mountedDisk);
  extents.Extents[0].StartingOffset.QuadPart = 1 << 20;
  extents.Extents[0].ExtentLength.QuadPart = 100 << 20;
  memcpy(out, &extents, sizeof extents);
  *returned = sizeof extents;
  return TRUE;
}

BOOL WINAPI ControlStandIn(HANDLE handle, DWORD code, LPVOID in, DWORD inBytes, LPVOID out, DWORD outBytes,
                           LPDWORD returned, LPOVERLAPPED overlapped) {
  HandleKind kind;
  int number;
  if (!IsStandIn(handle, &kind, &number)) {
    return platform.DeviceIoControl(handle, code, in, inBytes, out, outBytes, returned, overlapped);
  }
  *returned = 0;
  if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT && kind != kVolume) {
    return AnswerPassThrough(kind, number, in, inBytes, out, outBytes, returned);
  }
  switch (kind) {
    case kAdapter:
      if (code == IOCTL_SCSI_GET_INQUIRY_DATA) return AnswerBusInfo(number, out, outBytes, returned);
      return Fail(ERROR_INVALID_FUNCTION);
    case kDiskClass:
    case kCdromClass:
      return AnswerClassDevice(kind, number, code, out, outBytes, returned);
    case kVolume:
      return AnswerVolume(code, out, outBytes, returned);
  }
  return Fail(ERROR_INVALID_FUNCTION);
}

BOOL WINAPI CloseStandIn(HANDLE handle) {
  HandleKind kind;
  int number;
  if (!IsStandIn(handle, &kind, &number)) return platform.CloseHandle(handle);
  --fakeScsiBus.openHandles;
  return TRUE;
}

HMODULE WINAPI LoadLibraryStandIn(LPCSTR name) {
  if (!fakeScsiBus.aspiInstalled && _stricmp(name, "WNASPI32.DLL") == 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return platform.LoadLibraryA(name);
}

BOOL WINAPI GetVersionStandIn(LPOSVERSIONINFOA version) {
  if (!fakeScsiBus.windows9x) return platform.GetVersionExA(version);
  version->dwMajorVersion = 4;
  version->dwMinorVersion = 10;
  version->dwBuildNumber = 2222;
  version->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  return TRUE;
}

DWORD WINAPI LogicalDrivesStandIn() { return fakeScsiBus.mountedLetters; }

// In the table's order; the slots' types keep a stand-in out of another's slot.
DevicePlatform StandIns() {
  return {OpenStandIn,        ControlStandIn, nullptr, nullptr, nullptr, CloseStandIn, nullptr,
          LoadLibraryStandIn, nullptr,        nullptr, LogicalDrivesStandIn, GetVersionStandIn, nullptr, nullptr};
}

// Puts the stand-ins in place and keeps the platform's calls, or back.
void SwapCalls() {
  std::swap(devicePlatform.CreateFileA, platform.CreateFileA);
  std::swap(devicePlatform.DeviceIoControl, platform.DeviceIoControl);
  std::swap(devicePlatform.CloseHandle, platform.CloseHandle);
  std::swap(devicePlatform.LoadLibraryA, platform.LoadLibraryA);
  std::swap(devicePlatform.GetVersionExA, platform.GetVersionExA);
  std::swap(devicePlatform.GetLogicalDrives, platform.GetLogicalDrives);
}

void ForgetUnits() {
  for (FakeScsiUnit& unit : fakeScsiBus.units) CloseFakeScsiTarget(&unit.emulated);
  fakeScsiBus = FakeScsiBus{};
}

}  // namespace

void InstallFakeScsiBus(int ports) {
  RemoveFakeScsiBus();
  platform = StandIns();
  SwapCalls();
  installed = true;
  // What the back-end holds of the platform's devices goes back to the platform.
  ClosePassThroughDevices();
  ForgetUnits();
  fakeScsiBus.busesOfPort.assign(ports, 1);
}

void RemoveFakeScsiBus() {
  if (!installed) return;
  ClosePassThroughDevices();
  if (scsiLayer == ScsiLayerPassThrough) {
    scsiLayer = ScsiLayerNone;
    scsiAdapterCount = 0;
  }
  SwapCalls();
  ForgetUnits();
  installed = false;
}

int AddFakeScsiUnit(int port, int target, int lun, int kind, const char* imagePath, int classNumber) {
  FakeScsiUnit unit = {port, 0, target, lun, classNumber, false, {}};
  if (!SetUpFakeScsiTarget(&unit.emulated, kind, imagePath)) return -1;
  fakeScsiBus.units.push_back(unit);
  return static_cast<int>(fakeScsiBus.units.size()) - 1;
}
