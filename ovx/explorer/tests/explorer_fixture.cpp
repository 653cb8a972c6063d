#include "explorer_fixture.h"

#include <ole2.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "file_list.h"
#include "main_window.h"
#include "source_tree.h"

void ExplorerWindow::SetUp() {
  // As the program does; the window registers its drop target only once OLE is up.
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  explorer = ExplorerState{};
  explorer.instance = GetModuleHandleA(nullptr);
  ASSERT_EQ(1, RegisterAndCreateMainWindow(SW_SHOWNORMAL));
  SetWindowPos(explorer.mainWindow, nullptr, 0, 0, 900, 600, SWP_NOZORDER);
  PumpMessages();
}

void ExplorerWindow::TearDown() {
  if (IsWindow(explorer.mainWindow)) DestroyWindow(explorer.mainWindow);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  UnregisterClassA("ovxwindowclass", explorer.instance);
  if (explorer.currentVolume) CloseVolume(explorer.currentVolume);
  if (explorer.smallImages) ImageList_Destroy(explorer.smallImages);
  if (explorer.largeImages) ImageList_Destroy(explorer.largeImages);
  explorer = ExplorerState{};
  OleUninitialize();
}

BoxSeen WhileBoxUp(const char* caption, const std::function<void()>& action) {
  BoxSeen seen;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done) {
      HWND box = FindWindowA("#32770", caption);
      if (box) {
        char text[2048] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        seen = BoxSeen{true, text, GetWindow(box, GW_OWNER)};
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(10);
    }
  });
  action();
  done = true;
  reader.join();
  return seen;
}

void PumpMessages() {
  MSG message;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  }
}

std::string Title() {
  char text[1024] = "";
  GetWindowTextA(explorer.mainWindow, text, sizeof text);
  return text;
}

std::vector<std::string> NodeTexts() {
  std::vector<std::string> texts;
  HTREEITEM node = reinterpret_cast<HTREEITEM>(SendMessageA(explorer.treeWindow, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  while (node) {
    char text[1024] = "";
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = node;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(explorer.treeWindow, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    texts.push_back(text);
    node = reinterpret_cast<HTREEITEM>(
        SendMessageA(explorer.treeWindow, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(node)));
  }
  return texts;
}

HTREEITEM NodeAt(int position) {
  HTREEITEM node = reinterpret_cast<HTREEITEM>(SendMessageA(explorer.treeWindow, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  for (int i = 0; i < position && node; ++i) {
    node = reinterpret_cast<HTREEITEM>(
        SendMessageA(explorer.treeWindow, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(node)));
  }
  return node;
}

void SelectSourceNamed(const std::string& text) {
  for (int i = 0; i < explorer.sourceTable.sourceCount; ++i) {
    if (_stricmp(explorer.sourceTable.sources[i], text.c_str()) == 0) {
      ASSERT_EQ(1, SelectSource(NodeAt(i)));
      return;
    }
  }
  FAIL() << "no source " << text;
}

std::vector<std::string> RowTexts() {
  std::vector<std::string> texts;
  const int rows = static_cast<int>(SendMessageA(explorer.listWindow, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) texts.push_back(Cell(row, 0));
  return texts;
}

std::string Cell(int row, int column) {
  char text[1024] = "";
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(explorer.listWindow, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

static LVITEMA ReadItem(int row) {
  LVITEMA item = {};
  item.mask = LVIF_PARAM | LVIF_IMAGE;
  item.iItem = row;
  SendMessageA(explorer.listWindow, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item;
}

LPARAM RowParameter(int row) { return ReadItem(row).lParam; }
int RowImage(int row) { return ReadItem(row).iImage; }

int RowOf(const std::string& text) {
  const std::vector<std::string> rows = RowTexts();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i] == text) return static_cast<int>(i);
  }
  return -1;
}

void SelectRows(const std::vector<int>& rows) {
  LVITEMA none = {};
  none.stateMask = LVIS_SELECTED;
  SendMessageA(explorer.listWindow, LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&none));
  for (int row : rows) {
    LVITEMA selected = {};
    selected.stateMask = LVIS_SELECTED;
    selected.state = LVIS_SELECTED;
    SendMessageA(explorer.listWindow, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&selected));
  }
}

void ListKey(WORD key) {
  NMLVKEYDOWN down = {};
  down.hdr.hwndFrom = explorer.listWindow;
  down.hdr.idFrom = kListControlId;
  down.hdr.code = LVN_KEYDOWN;
  down.wVKey = key;
  SendMessageA(explorer.mainWindow, WM_NOTIFY, kListControlId, reinterpret_cast<LPARAM>(&down));
}

std::string RootOf(const std::string& path) { return path.substr(0, 3); }

std::string RelativeToRoot(const std::string& path) {
  std::string relative = path.substr(3);
  if (!relative.empty() && relative.back() != '\\') relative += '\\';
  return relative;
}

void BrowseWindowsFolder(const std::string& path) {
  SelectSourceNamed(RootOf(path));
  lstrcpynA(explorer.folderPath, RelativeToRoot(path).c_str(), sizeof explorer.folderPath);
  FillList();
  UpdateTitle();
}

void OpenImageIn(const std::string& folder, const std::string& name) {
  BrowseWindowsFolder(folder);
  const int row = RowOf(name);
  ASSERT_NE(-1, row) << name;
  OpenListItem(row);
  ASSERT_EQ("Disk image " + folder + "\\" + name, NodeTexts().back());
  ASSERT_EQ(1, SelectSource(NodeAt(static_cast<int>(NodeTexts().size()) - 1)));
}

std::string SamplesDir() {
  char full[MAX_PATH];
  GetFullPathNameA((ExecutableDir() + "\\..\\..\\samples").c_str(), sizeof full, full, nullptr);
  return full;
}

void SetYear(const std::string& path, int year) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
  SYSTEMTIME calendar = {};
  calendar.wYear = static_cast<WORD>(year);
  calendar.wMonth = 1;
  calendar.wDay = 1;
  calendar.wHour = 12;
  FILETIME time;
  SystemTimeToFileTime(&calendar, &time);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}
