// SCSI devices through the platform's SCSI pass-through, for Windows NT and
// later without an ASPI layer. The units come from two places: the adapters
// ("\\.\ScsiN:"), whose buses list every unit they see, and the class
// devices ("\\.\PhysicalDriveN", "\\.\CdRomN"), which also stand for units
// behind ports that have no adapter device, as USB mass storage has. A unit
// that a class driver claimed is reached through its class device, any
// other through its adapter. Host adapters are numbered as ASPI layers
// number them: each port and bus pair, in order.
#include "pass_through.h"

#include <cstdio>
#include <cstring>

#include "byte_order.h"
#include "device_backends.h"
#include "device_platform.h"
#include "volume.h"

namespace {

enum {
  kMaxPorts = 32,          // "\\.\Scsi0:" to "\\.\Scsi31:"
  kMaxDiskDevices = 64,    // "\\.\PhysicalDrive0" on
  kMaxCdromDevices = 32,   // "\\.\CdRom0" on
  kMaxAdapters = 256,      // a Volume's SCSI source keeps the host adapter in eight bits
  kMaxUnits = 128,
  kMaxOpenDevices = kMaxPorts + kMaxDiskDevices + kMaxCdromDevices,
  kInquiryAnswerBytes = 32768,
  kMaxExtents = 64,
  kDriveLetters = 26,
  kScsiStatusGood = 0,
};

// A unit as the platform addresses it.
struct PlatformAddress {
  uint8_t port, pathId, targetId, lun;
};

struct PassThroughUnit {
  ScsiAddress address;       // as OVX numbers it
  PlatformAddress platform;
  HANDLE device;             // its class device, or its adapter
  bool classDevice;
};

// Everything LoadPassThrough found, kept until the next load: the devices it
// holds open and the units, ordered by host adapter, target and logical unit.
struct PassThroughState {
  HANDLE opened[kMaxOpenDevices];
  int openedCount;
  PassThroughUnit units[kMaxUnits];
  int unitCount;
};

PassThroughState state;

// The port and bus pairs seen during one load, in order; a host adapter's number is its place here.
struct BusList {
  uint16_t keys[kMaxAdapters];
  int count;
};

uint16_t BusKey(uint8_t port, uint8_t pathId) { return static_cast<uint16_t>(port << 8 | pathId); }

int BusIndex(const BusList& buses, uint16_t key) {
  for (int i = 0; i < buses.count; ++i) {
    if (buses.keys[i] == key) return i;
  }
  return -1;
}

void AddBus(BusList* buses, uint16_t key) {
  if (BusIndex(*buses, key) >= 0 || buses->count == kMaxAdapters) return;
  int at = buses->count++;
  for (; at > 0 && buses->keys[at - 1] > key; --at) buses->keys[at] = buses->keys[at - 1];
  buses->keys[at] = key;
}

bool PlatformIsNT() {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  return devicePlatform.GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool Control(HANDLE device, DWORD code, void* out, DWORD outBytes, DWORD* returned) {
  *returned = 0;
  return devicePlatform.DeviceIoControl(device, code, nullptr, 0, out, outBytes, returned, nullptr) != 0;
}

HANDLE OpenDevice(const char* path, DWORD access) {
  HANDLE device = devicePlatform.CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr);
  return device == INVALID_HANDLE_VALUE ? nullptr : device;
}

// Keeps the device open until the next load; there is room for every path a load opens.
void KeepOpen(HANDLE device) { state.opened[state.openedCount++] = device; }

bool SameAddress(const PlatformAddress& a, const PlatformAddress& b) {
  return a.port == b.port && a.pathId == b.pathId && a.targetId == b.targetId && a.lun == b.lun;
}

// Takes a unit unless one with its address is known already. True when taken.
bool AddUnit(const PlatformAddress& platform, HANDLE device, bool classDevice) {
  for (int i = 0; i < state.unitCount; ++i) {
    if (SameAddress(state.units[i].platform, platform)) return false;
  }
  if (state.unitCount == kMaxUnits) return false;
  PassThroughUnit& unit = state.units[state.unitCount++];
  unit.platform = platform;
  unit.device = device;
  unit.classDevice = classDevice;
  return true;
}

// Class devices that tell their SCSI address; kept open for their commands.
void AddClassDevices(const char* pathFormat, int devices, BusList* buses) {
  for (int n = 0; n < devices; ++n) {
    char path[32];
    snprintf(path, sizeof path, pathFormat, n);
    HANDLE device = OpenDevice(path, GENERIC_READ | GENERIC_WRITE);
    if (!device) continue;
    SCSI_ADDRESS address;
    memset(&address, 0, sizeof address);
    DWORD returned;
    if (!Control(device, IOCTL_SCSI_GET_ADDRESS, &address, sizeof address, &returned) || returned < sizeof address) {
      devicePlatform.CloseHandle(device);
      continue;
    }
    KeepOpen(device);
    const PlatformAddress platform = {address.PortNumber, address.PathId, address.TargetId, address.Lun};
    AddBus(buses, BusKey(platform.port, platform.pathId));
    AddUnit(platform, device, true);
  }
}

// The buses of one adapter and the units on them that no class device stands
// for. Every offset in the answer is checked against its length; each bus's
// chain is walked at most as many steps as the bus counts units. True when
// one of the units was taken, so that the adapter stays open for them.
bool AddAdapterUnits(HANDLE adapter, uint8_t port, BusList* buses) {
  uint8_t* answer = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kInquiryAnswerBytes));
  if (!answer) return false;
  DWORD returned;
  bool taken = false;
  if (Control(adapter, IOCTL_SCSI_GET_INQUIRY_DATA, answer, kInquiryAnswerBytes, &returned) &&
      returned > kBusInfoBusesOffset && returned <= kInquiryAnswerBytes) {
    const int busCount = answer[0];
    for (int bus = 0; bus < busCount; ++bus) {
      const DWORD at = kBusInfoBusesOffset + static_cast<DWORD>(bus) * kBusDataBytes;
      if (at + kBusDataBytes > returned) break;
      AddBus(buses, BusKey(port, static_cast<uint8_t>(bus)));
      const int units = answer[at + kBusDataUnitCountOffset];
      DWORD record = ReadLE32(answer + at + kBusDataInquiryOffset);
      for (int n = 0; n < units && record != 0; ++n) {
        if (record > returned || returned - record < kInquiryRecordDataOffset) break;
        const PlatformAddress platform = {port, answer[record + kInquiryRecordPathOffset],
                                          answer[record + kInquiryRecordTargetOffset],
                                          answer[record + kInquiryRecordLunOffset]};
        if (AddUnit(platform, adapter, false)) taken = true;
        record = ReadLE32(answer + record + kInquiryRecordNextOffset);
      }
    }
  }
  HeapFree(GetProcessHeap(), 0, answer);
  return taken;
}

void AddAdapters(BusList* buses) {
  for (int port = 0; port < kMaxPorts; ++port) {
    char path[16];
    snprintf(path, sizeof path, "\\\\.\\Scsi%d:", port);
    HANDLE adapter = OpenDevice(path, GENERIC_READ | GENERIC_WRITE);
    if (!adapter) continue;
    if (AddAdapterUnits(adapter, static_cast<uint8_t>(port), buses)) {
      KeepOpen(adapter);
    } else {
      devicePlatform.CloseHandle(adapter);
    }
  }
}

bool UnitBefore(const ScsiAddress& a, const ScsiAddress& b) {
  if (a.hostAdapter != b.hostAdapter) return a.hostAdapter < b.hostAdapter;
  if (a.target != b.target) return a.target < b.target;
  return a.lun < b.lun;
}

// Gives each unit its host adapter number and drops those a Volume's source
// cannot name; then orders them.
void NumberUnits(const BusList& buses) {
  int kept = 0;
  for (int i = 0; i < state.unitCount; ++i) {
    PassThroughUnit unit = state.units[i];
    const int adapter = BusIndex(buses, BusKey(unit.platform.port, unit.platform.pathId));
    if (adapter < 0 || unit.platform.targetId > kMaxScsiTarget || unit.platform.lun > kMaxScsiLun) continue;
    unit.address = {adapter, unit.platform.targetId, unit.platform.lun};
    int at = kept++;
    for (; at > 0 && UnitBefore(unit.address, state.units[at - 1].address); --at) state.units[at] = state.units[at - 1];
    state.units[at] = unit;
  }
  state.unitCount = kept;
}

const PassThroughUnit* FindUnit(const ScsiAddress& address) {
  for (int i = 0; i < state.unitCount; ++i) {
    const ScsiAddress& found = state.units[i].address;
    if (found.hostAdapter == address.hostAdapter && found.target == address.target && found.lun == address.lun) {
      return &state.units[i];
    }
  }
  return nullptr;
}

// The platform gives a command up after TimeOutValue seconds and fails it with one of these.
bool IsTimeOut(DWORD error) { return error == ERROR_SEM_TIMEOUT || error == ERROR_TIMEOUT; }

ULONG TimeOutSeconds() {
  const uint64_t seconds = (static_cast<uint64_t>(scsiWaitLimitMs) + 999) / 1000;
  return static_cast<ULONG>(seconds == 0 ? 1 : seconds);
}

// One command through IOCTL_SCSI_PASS_THROUGH_DIRECT. The data goes through
// page-aligned room of its own, which suits any adapter's alignment; the
// call returns only when the platform has finished with it, so the room is
// released at once.
int SendPassThrough(const ScsiAddress& address, const ScsiCommand& command) {
  const PassThroughUnit* unit = FindUnit(address);
  if (!unit || command.cdbLength > sizeof command.cdb) return 0;
  uint8_t* data = nullptr;
  uint8_t* block = AllocateCommandBlock(sizeof(PassThroughRequest), command.dataLength, &data);
  if (!block) return 0;
  PassThroughRequest* request = reinterpret_cast<PassThroughRequest*>(block);
  memset(request, 0, sizeof *request);
  SCSI_PASS_THROUGH_DIRECT& record = request->record;
  const bool dataIn = command.direction == ScsiDataIn;
  record.Length = sizeof record;
  record.PathId = unit->platform.pathId;
  record.TargetId = unit->platform.targetId;
  record.Lun = unit->platform.lun;
  record.CdbLength = command.cdbLength;
  record.SenseInfoLength = sizeof request->sense;
  record.DataIn = command.dataLength == 0 ? SCSI_IOCTL_DATA_UNSPECIFIED : dataIn ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_OUT;
  record.DataTransferLength = command.dataLength;
  record.TimeOutValue = TimeOutSeconds();
  record.DataBuffer = command.dataLength ? data : nullptr;
  record.SenseInfoOffset = offsetof(PassThroughRequest, sense);
  memcpy(record.Cdb, command.cdb, command.cdbLength);
  if (!dataIn && command.dataLength) memcpy(data, command.data, command.dataLength);
  DWORD returned = 0;
  const BOOL sent = devicePlatform.DeviceIoControl(unit->device, IOCTL_SCSI_PASS_THROUGH_DIRECT, request,
                                                   sizeof *request, request, sizeof *request, &returned, nullptr);
  if (!sent && IsTimeOut(GetLastError())) deviceTimedOut = 1;
  // Good status, and all the data moved: a read that came short is no
  // success with zeros. Only an INQUIRY may answer less than it was asked.
  const uint32_t moved = record.DataTransferLength;
  const int completed = sent && record.ScsiStatus == kScsiStatusGood &&
                        (moved == command.dataLength || (command.shortAnswerAllowed && moved < command.dataLength));
  if (completed && dataIn && moved) memcpy(command.data, data, moved);
  ReleaseCommandBlock(block);
  return completed;
}

// Whether the volume of drive letter holds an extent on disk number disk.
bool VolumeReachesDisk(char letter, DWORD disk) {
  char path[] = "\\\\.\\A:";
  path[4] = letter;
  HANDLE volume = OpenDevice(path, 0);
  if (!volume) return false;
  uint8_t answer[kExtentsFirstOffset + kMaxExtents * kExtentBytes];
  DWORD returned;
  const bool answered = Control(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, answer, sizeof answer, &returned);
  const DWORD error = answered ? NO_ERROR : GetLastError();
  devicePlatform.CloseHandle(volume);
  // A volume spread over more disks than the answer holds may reach this one too.
  if (!answered) return error == ERROR_MORE_DATA;
  if (returned < kExtentsFirstOffset || returned > sizeof answer) return false;
  const uint32_t extents = ReadLE32(answer);
  for (uint32_t i = 0; i < extents && kExtentsFirstOffset + (i + 1) * kExtentBytes <= returned; ++i) {
    if (ReadLE32(answer + kExtentsFirstOffset + i * kExtentBytes + kExtentDiskNumberOffset) == disk) return true;
  }
  return false;
}

}  // namespace

void ClosePassThroughDevices() {
  for (int i = 0; i < state.openedCount; ++i) devicePlatform.CloseHandle(state.opened[i]);
  memset(&state, 0, sizeof state);
}

int LoadPassThrough() {
  ClosePassThroughDevices();
  if (!PlatformIsNT()) return 0;
  BusList buses;
  memset(&buses, 0, sizeof buses);
  // No box about a drive without its medium while the devices are looked for.
  const UINT previousMode = devicePlatform.SetErrorMode(SEM_FAILCRITICALERRORS);
  // Class devices first: a unit a class driver claimed is reached through it.
  AddClassDevices("\\\\.\\PhysicalDrive%d", kMaxDiskDevices, &buses);
  AddClassDevices("\\\\.\\CdRom%d", kMaxCdromDevices, &buses);
  AddAdapters(&buses);
  devicePlatform.SetErrorMode(previousMode);
  NumberUnits(buses);
  return buses.count;
}

int PassThroughUnitAddress(int index, ScsiAddress* unit) {
  if (index < 0 || index >= state.unitCount) return 0;
  *unit = state.units[index].address;
  return 1;
}

int PassThroughInquiry(const ScsiAddress& unit, uint8_t* buffer, uint32_t length) {
  return SendScsiInquiry(SendPassThrough, unit, buffer, length);
}

int PassThroughReadCapacity(const ScsiAddress& unit, uint8_t* buffer, uint32_t length) {
  return SendScsiReadCapacity(SendPassThrough, unit, buffer, length);
}

int PassThroughRead(const ScsiAddress& unit, uint32_t firstBlock, uint32_t blockCount, uint8_t* buffer,
                    uint32_t blockLength) {
  return SendScsiBlocks(SendPassThrough, unit, false, firstBlock, blockCount, buffer, blockLength);
}

int PassThroughWrite(const ScsiAddress& unit, uint32_t firstBlock, uint32_t blockCount, const uint8_t* buffer,
                     uint32_t blockLength) {
  // The platform only reads from the buffer of a command with data out.
  return SendScsiBlocks(SendPassThrough, unit, true, firstBlock, blockCount, const_cast<uint8_t*>(buffer),
                        blockLength);
}

int PassThroughHoldsMountedVolume(const ScsiAddress& address) {
  const PassThroughUnit* unit = FindUnit(address);
  if (!unit || !unit->classDevice) return 0;
  STORAGE_DEVICE_NUMBER number;
  DWORD returned;
  if (!Control(unit->device, IOCTL_STORAGE_GET_DEVICE_NUMBER, &number, sizeof number, &returned) ||
      returned < sizeof number || number.DeviceType != FILE_DEVICE_DISK) {
    return 0;
  }
  const UINT previousMode = devicePlatform.SetErrorMode(SEM_FAILCRITICALERRORS);
  const DWORD letters = devicePlatform.GetLogicalDrives();
  int mounted = 0;
  for (int i = 0; i < kDriveLetters && !mounted; ++i) {
    mounted = (letters >> i & 1) && VolumeReachesDisk(static_cast<char>('A' + i), number.DeviceNumber);
  }
  devicePlatform.SetErrorMode(previousMode);
  return mounted;
}
