#include "file_list.h"

#include <cstdio>
#include <cstring>

#include "heap_array.h"
#include "drag_source.h"
#include "file_export.h"
#include "resource_ids.h"
#include "list_directory.h"
#include "source_table.h"
#include "volume_formats.h"

namespace {

const int kParentImage = 3;
const int kFolderImage = 0;
const int kFileImage = 1;
const LPARAM kIndexMask = 0xFFFFFF;
const int kSeparatorShift = 24;

HANDLE Heap() { return GetProcessHeap(); }

// Grows the listing block to hold at least count records, with spare room,
// so that a folder of thousands of entries is not copied once per entry.
int ReserveEntries(int count) {
  void* block = explorer.entries;
  if (!ReserveHeapArray(&block, sizeof(DirEntry), static_cast<size_t>(count))) return 0;
  explorer.entries = static_cast<DirEntry*>(block);
  return 1;
}

int ListWindowsFolder(const char* root, const char* path) {
  Volume* volume = explorer.currentVolume;
  char folder[MAX_PATH];
  const size_t pathLength = strlen(path);
  const char* end = pathLength == 0 || path[pathLength - 1] != '\\' ? "\\" : "";
  if (strlen(root) + pathLength + strlen(end) + 3 >= sizeof folder) return 0;  // no room for "*.*"
  snprintf(folder, sizeof folder, "%s%s", root, path);
  // The root already ends in a backslash.
  if (folder[strlen(folder) - 1] != '\\') strcat(folder, "\\");
  strcpy(volume->currentPath, folder);
  char pattern[MAX_PATH];
  snprintf(pattern, sizeof pattern, "%s*.*", folder);

  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  HANDLE search = FindFirstFileA(pattern, reinterpret_cast<WIN32_FIND_DATAA*>(&explorer.entries[0]));
  SetErrorMode(oldMode);
  if (search == INVALID_HANDLE_VALUE) return 0;
  for (;;) {
    DirEntry& entry = explorer.entries[explorer.entryCount];
    if (strcmp(entry.name, ".") != 0) {
      FILETIME local;
      FileTimeToLocalFileTime(&entry.modified, &local);
      entry.modified = local;
      if (!ReserveEntries(explorer.entryCount + 2)) {
        ++explorer.entryCount;
        break;
      }
      ++explorer.entryCount;
    }
    if (!FindNextFileA(search, reinterpret_cast<WIN32_FIND_DATAA*>(&explorer.entries[explorer.entryCount]))) break;
  }
  FindClose(search);
  return explorer.entryCount;
}

int RowCount() { return static_cast<int>(SendMessageA(explorer.listWindow, LVM_GETITEMCOUNT, 0, 0)); }

bool IsSelected(int row) {
  return SendMessageA(explorer.listWindow, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED;
}

void SetRedraw(BOOL on) {
  SendMessageA(explorer.listWindow, WM_SETREDRAW, on, 0);
  if (on) InvalidateRect(explorer.listWindow, nullptr, TRUE);
}

int InsertRows(int count) {
  for (int i = 0; i < count; ++i) {
    char name[kTextChars];
    int isFolder = 0;
    if (!GetEntryDisplayName(i, name, sizeof name, &isFolder)) return 0;
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = i;
    item.lParam = i;
    item.iImage = isFolder ? kFolderImage : kFileImage;
    if (name[0] == '.' && name[1] == '.') item.iImage = kParentImage;
    if (isFolder) {
      const size_t last = strlen(name) - 1;
      item.lParam |= static_cast<LPARAM>(static_cast<unsigned char>(name[last])) << kSeparatorShift;
      name[last] = '\0';
    }
    item.pszText = name;
    if (SendMessageA(explorer.listWindow, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) < 0) return 0;
  }
  return 1;
}

void SortRows() {
  SendMessageA(explorer.listWindow, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareListItems));
}

void SetCell(int row, int column, char* text) {
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = text;
  SendMessageA(explorer.listWindow, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

// Letters A to Z folded to lower case, every other byte compared as it is.
int CompareNames(const char* a, const char* b) {
  for (;; ++a, ++b) {
    int x = static_cast<unsigned char>(*a);
    int y = static_cast<unsigned char>(*b);
    if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
    if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
    if (x != y || x == 0) return x - y;
  }
}

int RowUnderCursor() {
  LVHITTESTINFO hit = {};
  GetCursorPos(&hit.pt);
  ScreenToClient(explorer.listWindow, &hit.pt);
  const int row = static_cast<int>(SendMessageA(explorer.listWindow, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (row < 0 || !(hit.flags & (LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON))) return -1;
  return row;
}

void GoUpAndList() {
  if (!explorer.folderPath[0]) return;
  GoUp();
  FillList();
  UpdateTitle();
}

Answer OnListKey(WORD key) {
  if (key == VK_TAB) {
    SetFocus(explorer.treeWindow);
  } else if (key == VK_BACK) {
    GoUpAndList();
  } else if (key == 'A' && GetKeyState(VK_CONTROL) < 0) {
    SelectAllRows();
  } else if (key == VK_F5) {
    FillList();
  } else {
    return NotHandled();
  }
  return Handled(1);
}

Answer OnReturn(bool alt) {
  const int row = SingleSelectedRow();
  if (row < 0) return Handled(0);
  if (alt) {
    ShowRowProperties(row);
  } else {
    OpenListItem(row);
  }
  return Handled(0);
}

// With Alt held, Return reaches the list as a system key, for which the
// control reports no NM_RETURN.
LRESULT CALLBACK ListKeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SYSKEYDOWN && wParam == VK_RETURN) {
    // The default handling sees the key all the same, so that letting go of
    // Alt afterwards does not open the menu bar.
    DefWindowProcA(window, message, wParam, lParam);
    if (!(HIWORD(lParam) & KF_REPEAT)) OnReturn(true);
    return 0;
  }
  // Its character would ask the menu bar for an item with that mnemonic.
  if (message == WM_SYSCHAR && wParam == '\r') return 0;
  return CallWindowProcA(explorer.listProc, window, message, wParam, lParam);
}

}  // namespace

void CatchListKeys() {
  explorer.listProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(explorer.listWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListKeyProc)));
}

int ReadRow(int row, char* text, int size, LPARAM* parameter) {
  LVITEMA item = {};
  item.mask = LVIF_PARAM | (text ? LVIF_TEXT : 0);
  item.iItem = row;
  item.pszText = text;
  item.cchTextMax = size;
  if (!SendMessageA(explorer.listWindow, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  *parameter = item.lParam;
  return 1;
}

void FormatEntryTime(const FILETIME& time, char* text, int size) {
  text[0] = '\0';
  SYSTEMTIME calendar;
  if ((time.dwLowDateTime == 0 && time.dwHighDateTime == 0) || !FileTimeToSystemTime(&time, &calendar)) return;
  char date[kTextChars];
  char clock[kTextChars];
  if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &calendar, nullptr, date, sizeof date)) return;
  if (!GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &calendar, nullptr, clock, sizeof clock)) return;
  snprintf(text, size, "%s %s", date, clock);
}

int CreateListColumns(int clientWidth) {
  int b = clientWidth * 2 / 3 - 10;
  if (b < 100) b = 100;
  const struct {
    UINT title;
    int format;
    int width;
  } columns[] = {
      {IDS_COLUMN_NAME, LVCFMT_LEFT, b / 2},
      {IDS_COLUMN_SIZE, LVCFMT_RIGHT, b / 4 - 5},
      {IDS_COLUMN_DATE, LVCFMT_LEFT, b / 4 + 5},
  };
  for (int i = 0; i < 3; ++i) {
    char title[kTextChars];
    LoadText(columns[i].title, title, sizeof title);
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = columns[i].format;
    column.cx = columns[i].width;
    column.pszText = title;
    column.iSubItem = i;
    if (SendMessageA(explorer.listWindow, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)) < 0) return 0;
  }
  return 1;
}

int ListFolder(int sourceIndex, const char* path) {
  const SourceClass sourceClass = GetSourceClass(sourceIndex);
  if (sourceClass == SourceNone || explorer.copyRunning) return 0;
  if (!path[0]) {
    if (explorer.currentVolume) CloseVolume(explorer.currentVolume);
    explorer.currentVolume = nullptr;
  } else if (!explorer.currentVolume) {
    return 0;
  }
  if (explorer.entries) HeapFree(Heap(), 0, explorer.entries);
  explorer.entries = static_cast<DirEntry*>(HeapAlloc(Heap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  explorer.entryCount = 0;
  explorer.groupEntryCount = 0;  // the last descriptor named entries of the listing replaced
  explorer.listedSource = sourceIndex;
  if (!explorer.entries) return 0;

  if (!explorer.currentVolume) {
    const SourceArguments arguments = SourceOpenArguments(sourceIndex);
    explorer.currentVolume = OpenVolume(arguments.kind, arguments.source, OpenReadOnly);
    if (!explorer.currentVolume) return 0;
  }
  if (sourceClass == SourceLogicalDrive) return ListWindowsFolder(explorer.sourceTable.sources[sourceIndex], path);
  explorer.entryCount = ListDirectory(explorer.currentVolume, path, &explorer.entries);
  return explorer.entryCount;
}

int GetEntryDisplayName(int index, char* buffer, int size, int* isFolder) {
  if (index < 0 || index >= explorer.entryCount) return 0;
  const DirEntry& entry = explorer.entries[index];
  const int folder = (entry.attributes & kDirEntryFolder) != 0;
  const size_t length = strnlen(entry.name, sizeof entry.name);
  if (length + folder >= static_cast<size_t>(size) || length == sizeof entry.name) return 0;
  memcpy(buffer, entry.name, length);
  if (folder) {
    const VolumeFormat format = explorer.currentVolume ? explorer.currentVolume->format : FormatNone;
    buffer[length] = FormatRow(format).folderSeparator;
  }
  buffer[length + folder] = '\0';
  if (isFolder) *isFolder = folder;
  return 1;
}

int GetEntrySizeAndTime(int index, int64_t* size, FILETIME* time) {
  if (index < 0 || index >= explorer.entryCount) return 0;
  const DirEntry& entry = explorer.entries[index];
  uint64_t whole = entry.size, dataSize;
  // Only an HFS+ file past 4 GB holds less than its size.
  if (whole == UINT32_MAX) EntrySizes(explorer.currentVolume, &entry, &whole, &dataSize);
  *size = entry.attributes & kDirEntryFolder ? -1 : static_cast<int64_t>(whole);
  *time = entry.modified;
  return 1;
}

int GetRowEntryIndex(int row) {
  LPARAM parameter = 0;
  if (!ReadRow(row, nullptr, 0, &parameter)) return 0;
  return static_cast<int>(parameter & kIndexMask);
}

int FillList() {
  HCURSOR previous = BeginWait();
  SendMessageA(explorer.listWindow, LVM_DELETEALLITEMS, 0, 0);
  int count = ListFolder(explorer.currentSource, explorer.folderPath);
  if (count > kIndexMask + 1) count = kIndexMask + 1;  // what a row parameter can index
  // Thousands of rows go in without a repaint each; the control makes room once.
  SetRedraw(FALSE);
  SendMessageA(explorer.listWindow, LVM_SETITEMCOUNT, count, 0);
  if (!InsertRows(count)) {
    SendMessageA(explorer.listWindow, LVM_DELETEALLITEMS, 0, 0);
    SetRedraw(TRUE);
    EndWait(previous);
    return 0;
  }
  SortRows();
  SetRedraw(TRUE);
  EndWait(previous);
  LVITEMA focus = {};
  focus.stateMask = LVIS_FOCUSED;
  focus.state = LVIS_FOCUSED;
  SendMessageA(explorer.listWindow, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&focus));
  if (explorer.viewMode == LVS_REPORT) return FillDetails();
  return 1;
}

int FillDetails() {
  HCURSOR previous = BeginWait();
  SetRedraw(FALSE);
  int result = 1;
  const int rows = RowCount();
  for (int row = 0; row < rows; ++row) {
    int64_t size = 0;
    FILETIME time;
    if (!GetEntrySizeAndTime(GetRowEntryIndex(row), &size, &time)) {
      result = 0;
      break;
    }
    char sizeText[kTextChars] = "";
    if (size >= 0) snprintf(sizeText, sizeof sizeText, "%lld bytes", static_cast<long long>(size));
    char dateText[2 * kTextChars];
    FormatEntryTime(time, dateText, sizeof dateText);
    SetCell(row, 1, sizeText);
    SetCell(row, 2, dateText);
  }
  SetRedraw(TRUE);
  EndWait(previous);
  return result;
}

int CALLBACK CompareListItems(LPARAM parameter1, LPARAM parameter2, LPARAM) {
  const int folder1 = (parameter1 >> kSeparatorShift & 0xFF) != 0;
  const int folder2 = (parameter2 >> kSeparatorShift & 0xFF) != 0;
  const int index1 = static_cast<int>(parameter1 & kIndexMask);
  const int index2 = static_cast<int>(parameter2 & kIndexMask);
  int r = folder2 - folder1;
  const uint32_t column = explorer.sortState & 0xFFFF;
  int64_t size1, size2;
  FILETIME time1, time2;
  if (r == 0 && column != 0 && GetEntrySizeAndTime(index1, &size1, &time1) &&
      GetEntrySizeAndTime(index2, &size2, &time2)) {
    // Compared, not subtracted: a difference of sizes does not fit an int.
    r = column == 1 ? (size1 > size2) - (size1 < size2) : CompareFileTime(&time2, &time1);
  }
  char name1[kTextChars];
  char name2[kTextChars];
  if (r == 0 && GetEntryDisplayName(index1, name1, sizeof name1, nullptr) &&
      GetEntryDisplayName(index2, name2, sizeof name2, nullptr)) {
    r = CompareNames(name1, name2);
  }
  return explorer.sortState >> 16 ? -r : r;
}

void SortByColumn(int column) {
  const uint32_t current = explorer.sortState & 0xFFFF;
  if (static_cast<uint32_t>(column) == current) {
    explorer.sortState = current | (explorer.sortState >> 16 ? 0 : 1u << 16);
  } else {
    explorer.sortState = static_cast<uint32_t>(column) & 0xFFFF;
  }
  SortRows();
}

void OpenListItem(int row) {
  char text[kTextChars];
  LPARAM parameter = 0;
  if (!ReadRow(row, text, sizeof text, &parameter)) return;
  const char separator = static_cast<char>(parameter >> kSeparatorShift & 0xFF);
  if (!separator) {
    // The tree, which shows the sources, is told through the main window so
    // that the list never calls back into it.
    AddImageSource(static_cast<uintptr_t>(parameter & kIndexMask));
    SendMessageA(explorer.mainWindow, UM_SOURCES_ADDED, 0, 0);
    return;
  }
  if (strcmp(text, "..") == 0) {
    GoUp();
  } else {
    // A path that would not fit folderPath is not entered; the list stays.
    const size_t length = strlen(explorer.folderPath);
    if (length + strlen(text) + 1 >= sizeof explorer.folderPath) return;
    snprintf(explorer.folderPath + length, sizeof explorer.folderPath - length, "%s%c", text, separator);
    // The row's own folder, where the volume's names show alike.
    const int index = static_cast<int>(parameter & kIndexMask);
    if (index < explorer.entryCount) EnterListedFolder(explorer.currentVolume, explorer.folderPath, &explorer.entries[index]);
  }
  FillList();
  UpdateTitle();
}

void GoUp() {
  char* path = explorer.folderPath;
  const size_t length = strlen(path);
  if (length == 0) return;
  const char separator = path[length - 1];
  path[length - 1] = '\0';
  char* last = strrchr(path, separator);
  if (last) {
    last[1] = '\0';
  } else {
    path[0] = '\0';
  }
}

void SelectAllRows() {
  LVITEMA all = {};
  all.stateMask = LVIS_SELECTED;
  all.state = LVIS_SELECTED;
  SendMessageA(explorer.listWindow, LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&all));
  SetFocus(explorer.listWindow);
}

void SetViewMode(int mode) {
  explorer.viewMode = mode;
  const LONG style = GetWindowLongA(explorer.listWindow, GWL_STYLE);
  SetWindowLongA(explorer.listWindow, GWL_STYLE, (style & ~LVS_TYPEMASK) | mode);
  if (mode == LVS_REPORT) FillDetails();
}

int FirstSelectedRow() { return NextSelectedRow(-1); }

int NextSelectedRow(int row) {
  return static_cast<int>(SendMessageA(explorer.listWindow, LVM_GETNEXTITEM, row, LVNI_SELECTED));
}

int SingleSelectedRow() {
  if (SendMessageA(explorer.listWindow, LVM_GETSELECTEDCOUNT, 0, 0) != 1) return -1;
  return FirstSelectedRow();
}

bool IsFolderRow(int row) {
  LPARAM parameter = 0;
  return ReadRow(row, nullptr, 0, &parameter) && (parameter >> kSeparatorShift & 0xFF) != 0;
}

bool IsParentRow(int row) {
  char text[kTextChars];
  LPARAM parameter = 0;
  return ReadRow(row, text, sizeof text, &parameter) && (parameter >> kSeparatorShift & 0xFF) != 0 &&
         strcmp(text, "..") == 0;
}

int CountSelectedExceptParent() {
  int count = 0;
  for (int row = 0, rows = RowCount(); row < rows; ++row) count += IsSelected(row) && !IsParentRow(row);
  return count;
}

int CountSelectedFiles() {
  int count = 0;
  for (int row = 0, rows = RowCount(); row < rows; ++row) count += IsSelected(row) && !IsFolderRow(row);
  return count;
}

Answer HandleListNotify(NMHDR* notification) {
  switch (notification->code) {
    case NM_DBLCLK: {
      const int row = RowUnderCursor();
      if (row >= 0) OpenListItem(row);
      return Handled(0);
    }
    case NM_RCLICK: {
      const int row = RowUnderCursor();
      if (row >= 0) ShowRowProperties(row);
      return Handled(0);
    }
    case NM_RETURN:
      return OnReturn(GetKeyState(VK_MENU) < 0);
    case LVN_COLUMNCLICK:
      SortByColumn(reinterpret_cast<NMLISTVIEW*>(notification)->iSubItem);
      return Handled(0);
    case LVN_KEYDOWN:
      return OnListKey(reinterpret_cast<NMLVKEYDOWN*>(notification)->wVKey);
    case LVN_BEGINDRAG:
      if (CountSelectedExceptParent() > 0) StartFileDrag(explorer.mainWindow);
      return NotHandled();
  }
  return NotHandled();
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
