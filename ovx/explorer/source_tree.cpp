#include "source_tree.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device_backends.h"
#include "file_list.h"
#include "resource_ids.h"

namespace {

const char kScsiPrefix[] = "SCSI ctl:";
const char kFloppyA[] = "Non-DOS floppy on A:";
const char kFloppyB[] = "Non-DOS floppy on B:";
const int kScsiTargets = 7;  // target ids 0 to 6; 7 is the host adapter itself
// The SCSI source of a Volume keeps the host adapter in eight bits.
const int kOpenableAdapters = 256;
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

void AddScsiDevices() {
  const int adapters = aspiAdapterCount < kOpenableAdapters ? aspiAdapterCount : kOpenableAdapters;
  for (int h = 0; h < adapters; ++h) {
    for (int t = 0; t < kScsiTargets; ++t) {
      Volume* volume = OpenVolume(KindScsi, static_cast<uintptr_t>(h << 4 | t), OpenNoDetect);
      if (!volume) continue;
      char text[kTextChars];
      FormatScsiSource(text, sizeof text, h, t, volume->deviceName);
      AppendSource(text);
      CloseVolume(volume);
    }
  }
}

void AddFloppyDrive(int drive, const char* root, const char* text) {
  if ((GetLogicalDrives() >> drive & 1) && GetDriveTypeA(root) == DRIVE_REMOVABLE) AppendSource(text);
}

int TreeNodeCount() { return static_cast<int>(SendMessageA(explorer.treeWindow, TVM_GETCOUNT, 0, 0)); }

}  // namespace

int EnumerateSources() {
  FreeSources();
  LoadAspi();
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
      int hostAdapter = 0;
      int target = 0;
      if (!ParseScsiSource(text, &hostAdapter, &target)) break;
      return {KindScsi, static_cast<uintptr_t>(hostAdapter) << 4 | static_cast<uintptr_t>(target)};
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

void FormatScsiSource(char* buffer, int size, int hostAdapter, int target, const char* deviceName) {
  if (deviceName && deviceName[0]) {
    snprintf(buffer, size, "%s%d dev:%d (%s)", kScsiPrefix, hostAdapter, target, deviceName);
  } else {
    snprintf(buffer, size, "%s%d dev:%d", kScsiPrefix, hostAdapter, target);
  }
}

int ParseScsiSource(const char* text, int* hostAdapter, int* target) {
  const size_t prefixLength = sizeof kScsiPrefix - 1;
  if (strncmp(text, kScsiPrefix, prefixLength) != 0) return 0;
  char* end = nullptr;
  const long h = strtol(text + prefixLength, &end, 10);
  if (end == text + prefixLength || strncmp(end, " dev:", 5) != 0) return 0;
  const char* targetText = end + 5;
  const long t = strtol(targetText, &end, 10);
  if (end == targetText || h < 0 || h > 255 || t < 0 || t > 7) return 0;
  *hostAdapter = static_cast<int>(h);
  *target = static_cast<int>(t);
  return 1;
}

int InsertSourceNode(int index) {
  char caption[kTextChars];
  if (!GetSourceCaption(index, caption, sizeof caption)) return 0;
  TVINSERTSTRUCTA insert = {};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
  insert.item.pszText = caption;
  insert.item.iImage = 2;
  insert.item.iSelectedImage = 2;
  insert.item.cChildren = 0;
  insert.item.lParam = index;
  return SendMessageA(explorer.treeWindow, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)) != 0;
}

void ClearTree() {
  explorer.treeClearing = 1;
  SendMessageA(explorer.treeWindow, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  explorer.treeClearing = 0;
}

int FillTree() {
  HCURSOR previous = BeginWait();
  ClearTree();
  const int count = EnumerateSources();
  for (int i = 0; i < count; ++i) {
    if (!InsertSourceNode(i)) {
      ClearTree();
      EndWait(previous);
      return 0;
    }
  }
  EndWait(previous);
  return 1;
}

int SelectSource(HTREEITEM node) {
  char text[kTextChars];
  TVITEMA item = {};
  item.mask = TVIF_TEXT | TVIF_PARAM;
  item.hItem = node;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  if (!node || !SendMessageA(explorer.treeWindow, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  explorer.currentSource = static_cast<int32_t>(item.lParam);
  explorer.folderPath[0] = '\0';
  FillList();
  lstrcpynA(explorer.sourceCaption, text, sizeof explorer.sourceCaption);
  UpdateTitle();
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

int InsertMissingSourceNodes() {
  for (int i = TreeNodeCount(); i < explorer.sourceTable.sourceCount; ++i) {
    if (!InsertSourceNode(i)) return 0;
  }
  return 1;
}

void UpdateTitle() {
  char suffix[kTextChars];
  LoadText(IDS_TITLE_SUFFIX, suffix, sizeof suffix);
  char title[kTextChars];
  const size_t pathLength = strlen(explorer.folderPath);
  if (pathLength > 0) {
    char folder[kTextChars];
    lstrcpynA(folder, explorer.folderPath, static_cast<int>(pathLength));  // without the last separator
    FitText(title, sizeof title, "", folder, suffix);
  } else {
    char format[kTextChars];
    LoadText(IDS_DIRECTORY_OF, format, sizeof format);
    char* hole = strstr(format, "%s");
    char after[2 * kTextChars] = "";
    if (hole) {
      snprintf(after, sizeof after, "%s%s", hole + 2, suffix);
      *hole = '\0';
    } else {
      snprintf(after, sizeof after, "%s", suffix);
    }
    FitText(title, sizeof title, format, hole ? explorer.sourceCaption : "", after);
  }
  SetWindowTextA(explorer.mainWindow, title);
}

Answer HandleTreeNotify(NMHDR* notification) {
  switch (notification->code) {
    case NM_CLICK: {
      TVHITTESTINFO hit = {};
      GetCursorPos(&hit.pt);
      ScreenToClient(explorer.treeWindow, &hit.pt);
      SendMessageA(explorer.treeWindow, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
      if (hit.hItem && (hit.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON))) {
        SelectSource(hit.hItem);
      }
      return Handled(0);
    }
    case TVN_SELCHANGEDA: {
      const NMTREEVIEWA* change = reinterpret_cast<NMTREEVIEWA*>(notification);
      // A mouse click has already opened the source through NM_CLICK.
      if (!explorer.treeClearing && change->action != TVC_BYMOUSE) SelectSource(change->itemNew.hItem);
      return Handled(0);
    }
    case TVN_KEYDOWN: {
      const WORD key = reinterpret_cast<NMTVKEYDOWN*>(notification)->wVKey;
      if (key == VK_TAB) {
        SetFocus(explorer.listWindow);
        return Handled(1);
      }
      if (key == VK_F5) {
        FillList();
        return Handled(1);
      }
      return NotHandled();
    }
  }
  return NotHandled();
}

Answer HandleDropPaths(const PathList* paths) {
  const int count = paths ? PathListCount(paths) : 0;
  for (int i = 0; i < count; ++i) AddImageSource(reinterpret_cast<uintptr_t>(PathListItem(paths, i)));
  if (!InsertMissingSourceNodes()) return NotHandled();
  PostMessageA(explorer.treeWindow, WM_KEYDOWN, VK_END, 0);
  return Handled(0);
}
