#include "source_table.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device_backends.h"

namespace {

const char kScsiPrefix[] = "SCSI ctl:";
const char kFloppyA[] = "Non-DOS floppy on A:";
const char kFloppyB[] = "Non-DOS floppy on B:";
const uintptr_t kFirstPathValue = 65536;
const int kImageSourceBytes = MAX_PATH;

HANDLE Heap() { return GetProcessHeap(); }

void FreeSources() {
  SourceTable& table = explorer.sourceTable;
  for (int i = 0; i < table.sourceCount; ++i) HeapFree(Heap(), 0, table.sources[i]);
  if (table.sources) HeapFree(Heap(), 0, table.sources);
  table = SourceTable{};
}

// A new zeroed string buffer of bytes in a new last slot of the table; the
// slot is not counted until the caller says so. Null when memory runs out.
char* NewSourceSlot(int bytes) {
  SourceTable& table = explorer.sourceTable;
  const SIZE_T slots = (table.sourceCount + 1) * sizeof(char*);
  char** grown = static_cast<char**>(table.sources ? HeapReAlloc(Heap(), HEAP_ZERO_MEMORY, table.sources, slots)
                                                   : HeapAlloc(Heap(), HEAP_ZERO_MEMORY, slots));
  if (!grown) return nullptr;
  table.sources = grown;
  char* text = static_cast<char*>(HeapAlloc(Heap(), HEAP_ZERO_MEMORY, bytes));
  table.sources[table.sourceCount] = text;
  return text;
}

void AppendSource(const char* text) {
  char* slot = NewSourceSlot(static_cast<int>(strlen(text)) + 1);
  if (!slot) return;
  strcpy(slot, text);
  ++explorer.sourceTable.sourceCount;
}

void DropSourceSlot() {
  SourceTable& table = explorer.sourceTable;
  HeapFree(Heap(), 0, table.sources[table.sourceCount]);
  table.sources[table.sourceCount] = nullptr;
}

void AddLogicalDrives() {
  const DWORD length = GetLogicalDriveStringsA(0, nullptr);
  if (length == 0) return;
  char* roots = static_cast<char*>(HeapAlloc(Heap(), HEAP_ZERO_MEMORY, length + 1));
  if (!roots) return;
  const DWORD filled = GetLogicalDriveStringsA(length, roots);
  for (DWORD at = 0; at < filled && at < length && roots[at]; at += static_cast<DWORD>(strlen(roots + at)) + 1) {
    AppendSource(roots + at);
  }
  HeapFree(Heap(), 0, roots);
}

// Whichever layer serves, a unit is listed when it answers INQUIRY.
void AddScsiDevices() {
  ScsiAddress unit;
  for (int i = 0; ScsiProbeAddress(i, &unit); ++i) {
    Volume* volume = OpenVolume(KindScsi, ScsiSource(unit), OpenNoDetect);
    if (!volume) continue;
    char text[kTextChars];
    FormatScsiSource(text, sizeof text, unit, volume->deviceName);
    AppendSource(text);
    CloseVolume(volume);
  }
}

void AddFloppyDrive(int drive, const char* root, const char* text) {
  if ((GetLogicalDrives() >> drive & 1) && GetDriveTypeA(root) == DRIVE_REMOVABLE) AppendSource(text);
}

}  // namespace

int EnumerateSources() {
  FreeSources();
  LoadScsiLayer();
  SourceTable& table = explorer.sourceTable;
  AddLogicalDrives();
  table.logicalDriveEnd = table.sourceCount;
  AddScsiDevices();
  table.scsiEnd = table.sourceCount;
  AddFloppyDrive(0, "A:\\", kFloppyA);
  AddFloppyDrive(1, "B:\\", kFloppyB);
  table.floppyEnd = table.sourceCount;
  return table.sourceCount;
}

SourceClass GetSourceClass(int index) {
  const SourceTable& table = explorer.sourceTable;
  if (index < 0 || index >= table.sourceCount) return SourceNone;
  if (index < table.logicalDriveEnd) return SourceLogicalDrive;
  if (index < table.scsiEnd) return SourceScsi;
  if (index < table.floppyEnd) return SourceFloppy;
  return SourceImage;
}

int GetSourceCaption(int index, char* buffer, int size) {
  const SourceClass sourceClass = GetSourceClass(index);
  if (sourceClass == SourceNone) return 0;
  // A text longer than the buffer is shortened like every other caption, so
  // that the node is still made and the nodes after it too.
  const char* text = explorer.sourceTable.sources[index];
  const char* prefix = "";
  if (sourceClass == SourceLogicalDrive) prefix = "MSDOS files on ";
  if (sourceClass == SourceImage) prefix = "Disk image ";
  FitText(buffer, size, prefix, text, "");
  return 1;
}

SourceArguments SourceOpenArguments(int index) {
  const char* text = GetSourceClass(index) != SourceNone ? explorer.sourceTable.sources[index] : nullptr;
  switch (GetSourceClass(index)) {
    case SourceLogicalDrive:
      return {KindLogicalDrive, reinterpret_cast<uintptr_t>(text)};
    case SourceScsi: {
      ScsiAddress unit;
      if (!ParseScsiSource(text, &unit)) break;
      return {KindScsi, ScsiSource(unit)};
    }
    case SourceFloppy:
      return {KindFloppy, strcmp(text, kFloppyB) == 0 ? 1u : 0u};
    case SourceImage:
      return {KindImageFile, reinterpret_cast<uintptr_t>(text)};
    case SourceNone:
      break;
  }
  return {static_cast<VolumeKind>(0), 0};
}

void FormatScsiSource(char* buffer, int size, const ScsiAddress& unit, const char* deviceName) {
  char lun[16] = "";
  if (unit.lun) snprintf(lun, sizeof lun, " lun:%d", unit.lun);
  if (deviceName && deviceName[0]) {
    snprintf(buffer, size, "%s%d dev:%d%s (%s)", kScsiPrefix, unit.hostAdapter, unit.target, lun, deviceName);
  } else {
    snprintf(buffer, size, "%s%d dev:%d%s", kScsiPrefix, unit.hostAdapter, unit.target, lun);
  }
}

int ParseScsiSource(const char* text, ScsiAddress* unit) {
  const size_t prefixLength = sizeof kScsiPrefix - 1;
  if (strncmp(text, kScsiPrefix, prefixLength) != 0) return 0;
  char* end = nullptr;
  const long h = strtol(text + prefixLength, &end, 10);
  if (end == text + prefixLength || strncmp(end, " dev:", 5) != 0) return 0;
  const char* targetText = end + 5;
  const long t = strtol(targetText, &end, 10);
  if (end == targetText) return 0;
  long lun = 0;
  if (strncmp(end, " lun:", 5) == 0) {
    const char* lunText = end + 5;
    lun = strtol(lunText, &end, 10);
    if (end == lunText) return 0;
  }
  if (h < 0 || h > 255 || t < 0 || t > kMaxScsiTarget || lun < 0 || lun > kMaxScsiLun) return 0;
  *unit = {static_cast<int32_t>(h), static_cast<int32_t>(t), static_cast<int32_t>(lun)};
  return 1;
}

int AddImageSource(uintptr_t entryIndexOrPath) {
  SourceTable& table = explorer.sourceTable;
  char* path = NewSourceSlot(kImageSourceBytes);
  if (!path) return table.sourceCount;
  const Volume* browsed = explorer.currentVolume;
  int fits = 0;
  if (entryIndexOrPath >= kFirstPathValue) {
    const char* given = reinterpret_cast<const char*>(entryIndexOrPath);
    fits = strlen(given) < kImageSourceBytes;
    if (fits) strcpy(path, given);
  } else if (browsed && static_cast<int>(entryIndexOrPath) < explorer.entryCount) {
    // The listed Windows folder ends in a backslash.
    const char* name = explorer.entries[entryIndexOrPath].name;
    fits = strlen(browsed->currentPath) + strlen(name) < kImageSourceBytes;
    if (fits) snprintf(path, kImageSourceBytes, "%s%s", browsed->currentPath, name);
  }
  if (!fits || !browsed || browsed->kind != KindLogicalDrive) {
    DropSourceSlot();
    return table.sourceCount;
  }
  VolumeFormat format = FormatNone;
  if (Volume* image = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path), OpenReadOnly)) {
    format = image->format;
    CloseVolume(image);
  }
  if (format != FormatNone) {
    ++table.sourceCount;
  } else {
    DropSourceSlot();
  }
  return table.sourceCount;
}
