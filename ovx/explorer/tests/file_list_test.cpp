// The file list on Windows folders and on sample images: rows, order,
// details, navigation and the keys of the list.
#include <chrono>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "explorer_fixture.h"
#include "file_list.h"
#include "main_window.h"
#include "resource_ids.h"
#include "source_tree.h"

namespace {

using Rows = std::vector<std::string>;

// A folder holding b.txt (10 bytes, 2010), A.TXT (1024 bytes, 2020) and the
// folder Zeta (2030), listed.
struct SortFolder {
  ScratchDir dir;
  SortFolder() {
    MakeDir(dir.File("Zeta"));
    WriteFileBytes(dir.File("b.txt"), Bytes(10, 'b'));
    WriteFileBytes(dir.File("A.TXT"), Bytes(1024, 'a'));
    SetYear(dir.File("b.txt"), 2010);
    SetYear(dir.File("A.TXT"), 2020);
    SetYear(dir.File("Zeta"), 2030);
    BrowseWindowsFolder(dir.path());
  }
};

void ClickColumn(int column) {
  NMLISTVIEW click = {};
  click.hdr.hwndFrom = explorer.listWindow;
  click.hdr.idFrom = kListControlId;
  click.hdr.code = LVN_COLUMNCLICK;
  click.iItem = -1;
  click.iSubItem = column;
  SendMessageA(explorer.mainWindow, WM_NOTIFY, kListControlId, reinterpret_cast<LPARAM>(&click));
}

void HoldKey(int key, bool down) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[key] = down ? 0x80 : 0;
  SetKeyboardState(keys);
}

int SelectedCount() { return static_cast<int>(SendMessageA(explorer.listWindow, LVM_GETSELECTEDCOUNT, 0, 0)); }

// Alt, then key, pressed and let go on the list, as the keyboard delivers
// them: with Alt down every key comes as a system key, and Alt itself comes
// up as a plain key once another was pressed. Runs the messages through.
void PressWithAlt(WORD key, UINT scanCode) {
  const LPARAM alt = 1 | KF_ALTDOWN << 16;
  PostMessageA(explorer.listWindow, WM_SYSKEYDOWN, VK_MENU, alt | 0x38 << 16);
  PostMessageA(explorer.listWindow, WM_SYSKEYDOWN, key, alt | scanCode << 16);
  PostMessageA(explorer.listWindow, WM_SYSKEYUP, key, alt | scanCode << 16 | (KF_REPEAT | KF_UP) << 16);
  PostMessageA(explorer.listWindow, WM_KEYUP, VK_MENU, 1 | (0x38 | KF_REPEAT | KF_UP) << 16);
  PumpMessages();
}

// The characters for which the menu bar was asked to open from the
// keyboard (0 for Alt alone). Each request is refused, so no menu loop runs.
std::string* menuRequests;
LRESULT CALLBACK RefuseKeyMenu(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU) {
    menuRequests->push_back(lParam ? static_cast<char>(lParam) : '0');
    return 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Records, in order, the redraw switches and row insertions the list receives.
std::vector<std::string>* listEvents;
WNDPROC originalListProc;
LRESULT CALLBACK RecordingListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETREDRAW) listEvents->push_back(wParam ? "redraw on" : "redraw off");
  if (message == LVM_INSERTITEMA && (listEvents->empty() || listEvents->back() != "insert")) {
    listEvents->push_back("insert");
  }
  return CallWindowProcA(originalListProc, window, message, wParam, lParam);
}

}  // namespace

TEST_F(ExplorerWindow, RowsCarryImagesAndParametersAndSortAsTheUserAsks) {
  SortFolder folder;
  EXPECT_EQ((Rows{"..", "Zeta", "A.TXT", "b.txt"}), RowTexts());
  EXPECT_EQ(3, RowImage(0));
  EXPECT_EQ(0, RowImage(1));
  EXPECT_EQ(1, RowImage(2));
  EXPECT_EQ('\\', RowParameter(1) >> 24 & 0xFF);
  EXPECT_EQ(0, RowParameter(2) >> 24 & 0xFF);
  EXPECT_STREQ("A.TXT", explorer.entries[RowParameter(2) & 0xFFFFFF].name);
  // Row 0 has the focus mark; nothing is selected.
  EXPECT_EQ(LVIS_FOCUSED, SendMessageA(explorer.listWindow, LVM_GETITEMSTATE, 0, LVIS_FOCUSED));
  EXPECT_EQ(0, SelectedCount());

  ClickColumn(0);  // by name, descending: the whole order reversed
  EXPECT_EQ((Rows{"b.txt", "A.TXT", "Zeta", ".."}), RowTexts());
  ClickColumn(0);
  EXPECT_EQ((Rows{"..", "Zeta", "A.TXT", "b.txt"}), RowTexts());

  ClickColumn(1);  // by size: smallest file first, folders together by name
  EXPECT_EQ((Rows{"..", "Zeta", "b.txt", "A.TXT"}), RowTexts());

  ClickColumn(2);  // by date: newest first among folders and among files
  EXPECT_EQ((Rows{"Zeta", "..", "A.TXT", "b.txt"}), RowTexts());
  ClickColumn(2);
  EXPECT_EQ((Rows{"b.txt", "A.TXT", "..", "Zeta"}), RowTexts());
  EXPECT_EQ(2u | 1u << 16, explorer.sortState);

  // Refresh keeps the order in force.
  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_VIEW_REFRESH, 0);
  EXPECT_EQ((Rows{"b.txt", "A.TXT", "..", "Zeta"}), RowTexts());
}

TEST_F(ExplorerWindow, SizesCompareAsNumbersBeyondTwoGigabytes) {
  SortFolder folder;
  ClickColumn(1);
  // Sizes are compared, not subtracted, so 3 GB sorts after 10 bytes.
  explorer.entries[RowParameter(3) & 0xFFFFFF].size = 3000000000u;
  ClickColumn(0);
  ClickColumn(1);
  EXPECT_EQ((Rows{"..", "Zeta", "b.txt", "A.TXT"}), RowTexts());
}

TEST_F(ExplorerWindow, DetailsShowSizesAndDatesAndAnEmptyCellForABadDate) {
  SortFolder folder;
  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_VIEW_DETAILS, 0);
  const int zeta = RowOf("Zeta");
  const int a = RowOf("A.TXT");
  EXPECT_EQ("", Cell(zeta, 1));
  EXPECT_EQ("1024 bytes", Cell(a, 1));
  EXPECT_EQ("10 bytes", Cell(RowOf("b.txt"), 1));
  EXPECT_NE(std::string::npos, Cell(a, 2).find("2020")) << Cell(a, 2);
  EXPECT_NE(std::string::npos, Cell(zeta, 2).find("2030")) << Cell(zeta, 2);

  // A time beyond what the calendar form holds gives an empty Date cell.
  explorer.entries[RowParameter(a) & 0xFFFFFF].modified = FILETIME{0xFFFFFFFF, 0xFFFFFFFF};
  EXPECT_EQ(1, FillDetails());
  EXPECT_EQ("", Cell(a, 2));
  EXPECT_EQ("1024 bytes", Cell(a, 1));
  EXPECT_NE("", Cell(zeta, 2));

  // A new listing in the details view fills the columns at once.
  FillList();
  EXPECT_EQ("1024 bytes", Cell(RowOf("A.TXT"), 1));
}

TEST_F(ExplorerWindow, EnteringAndLeavingWindowsFolders) {
  ScratchDir dir;
  MakeDir(dir.File("GAMES"));
  MakeDir(dir.File("GAMES\\ARCADE"));
  WriteFileBytes(dir.File("GAMES\\ARCADE\\PONG.EXE"), Bytes(300, 'p'));
  BrowseWindowsFolder(dir.path());
  const std::string top = explorer.folderPath;
  const std::string topName = top.substr(0, top.size() - 1);

  OpenListItem(RowOf("GAMES"));
  EXPECT_EQ(top + "GAMES\\", explorer.folderPath);
  EXPECT_EQ(topName + "\\GAMES - Orvanta Explorer", Title());
  OpenListItem(RowOf("ARCADE"));
  EXPECT_EQ((Rows{"..", "PONG.EXE"}), RowTexts());
  EXPECT_EQ(topName + "\\GAMES\\ARCADE - Orvanta Explorer", Title());

  ListKey(VK_BACK);  // Backspace in GAMES\ARCADE\ lists GAMES\.
  EXPECT_EQ(top + "GAMES\\", explorer.folderPath);
  EXPECT_EQ((Rows{"..", "ARCADE"}), RowTexts());
  OpenListItem(RowOf(".."));  // ".." goes up one level
  EXPECT_EQ(top, explorer.folderPath);
  EXPECT_NE(-1, RowOf("GAMES"));

  // Backspace at the drive's top does nothing.
  SelectSourceNamed(RootOf(dir.path()));
  const Rows rootRows = RowTexts();
  ListKey(VK_BACK);
  EXPECT_EQ("", std::string(explorer.folderPath));
  EXPECT_EQ(rootRows, RowTexts());
  EXPECT_EQ("Directory of MSDOS files on " + RootOf(dir.path()) + " - Orvanta Explorer", Title());
}

TEST_F(ExplorerWindow, AFolderWhosePathWouldNotFitIsNotEntered) {
  SortFolder folder;
  const std::string inside = explorer.folderPath;
  // Windows will not make such a deep folder, so a row is given the long name
  // a foreign volume could list.
  const std::string name(255 - inside.size(), 'L');
  const int row = RowOf("Zeta");
  LVITEMA rename = {};
  rename.pszText = const_cast<char*>(name.c_str());
  SendMessageA(explorer.listWindow, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&rename));
  const Rows rows = RowTexts();
  const std::string title = Title();
  OpenListItem(row);  // inside + name + "\\" is 256 characters
  EXPECT_EQ(inside, explorer.folderPath);
  EXPECT_EQ(rows, RowTexts());
  EXPECT_EQ(title, Title());

  // One character less fits, and is entered (the folder does not exist, so the list is empty).
  const std::string shorter(254 - inside.size(), 'S');
  rename.pszText = const_cast<char*>(shorter.c_str());
  SendMessageA(explorer.listWindow, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&rename));
  OpenListItem(row);
  EXPECT_EQ(inside + shorter + "\\", explorer.folderPath);
  EXPECT_EQ(255u, strlen(explorer.folderPath));
  EXPECT_EQ(Rows{}, RowTexts());
}

TEST_F(ExplorerWindow, KeysOfTheListSelectAllRefreshAndMoveTheFocus) {
  SortFolder folder;
  HoldKey(VK_CONTROL, true);
  ListKey('A');
  HoldKey(VK_CONTROL, false);
  EXPECT_EQ(4, SelectedCount());  // ".." included
  EXPECT_EQ(explorer.listWindow, GetFocus());
  EXPECT_EQ(3, CountSelectedExceptParent());
  EXPECT_EQ(2, CountSelectedFiles());

  ListKey('A');  // without Ctrl: left to the control
  ListKey(VK_TAB);
  EXPECT_EQ(explorer.treeWindow, GetFocus());

  WriteFileBytes(folder.dir.File("new.txt"), Bytes(1, 'n'));
  ListKey(VK_F5);
  EXPECT_EQ(5u, RowTexts().size());
  EXPECT_EQ(0, SelectedCount());

  // Enter with two rows selected does nothing; with one folder it opens it.
  const std::string before = explorer.folderPath;
  SelectRows({RowOf("Zeta"), RowOf("b.txt")});
  NMHDR enter = {explorer.listWindow, kListControlId, static_cast<UINT>(NM_RETURN)};
  SendMessageA(explorer.mainWindow, WM_NOTIFY, kListControlId, reinterpret_cast<LPARAM>(&enter));
  EXPECT_EQ(before, explorer.folderPath);
  SelectRows({RowOf("Zeta")});
  SendMessageA(explorer.mainWindow, WM_NOTIFY, kListControlId, reinterpret_cast<LPARAM>(&enter));
  EXPECT_EQ(before + "Zeta\\", explorer.folderPath);
}

TEST_F(ExplorerWindow, AltEnterShowsTheSelectedRowsPropertiesWithoutOpeningTheMenu) {
  SortFolder folder;
  std::string requests;
  menuRequests = &requests;
  HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseKeyMenu, nullptr, GetCurrentThreadId());
  ASSERT_NE(nullptr, hook);

  SelectRows({RowOf("b.txt")});
  BoxSeen box = WhileBoxUp("File Properties", [] { PressWithAlt(VK_RETURN, 0x1C); });
  EXPECT_TRUE(box.shown);
  EXPECT_EQ(0u, box.text.find("File: b.txt\n\nSize: 10 bytes\n")) << box.text;
  EXPECT_EQ("", requests);
  // A folder's properties too; it is not entered.
  const std::string path = explorer.folderPath;
  SelectRows({RowOf("Zeta")});
  EXPECT_TRUE(WhileBoxUp("File Properties", [] { PressWithAlt(VK_RETURN, 0x1C); }).shown);
  EXPECT_EQ(path, explorer.folderPath);

  // Two rows selected: no box. Alt with a letter still reaches the menu bar.
  SelectRows({RowOf("Zeta"), RowOf("b.txt")});
  EXPECT_FALSE(WhileBoxUp("File Properties", [] { PressWithAlt(VK_RETURN, 0x1C); }).shown);
  EXPECT_EQ("", requests);
  PressWithAlt('F', 0x21);
  EXPECT_EQ("f", requests);
  UnhookWindowsHookEx(hook);
}

TEST_F(ExplorerWindow, TenThousandEntriesListWithRedrawOffAndInOrder) {
  ScratchDir dir;
  const int count = 10000;
  for (int i = 0; i < count; ++i) {
    char name[32];
    snprintf(name, sizeof name, "f%05d.dat", (i * 7919) % count);  // made out of order
    HANDLE file = CreateFileA(dir.File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << name;
    CloseHandle(file);
  }
  std::vector<std::string> events;
  listEvents = &events;
  originalListProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(explorer.listWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingListProc)));
  const auto start = std::chrono::steady_clock::now();
  BrowseWindowsFolder(dir.path());
  const auto elapsed = std::chrono::steady_clock::now() - start;
  SetWindowLongPtrA(explorer.listWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalListProc));
  printf("listing %d entries took %lld ms\n", count + 1,
         static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));

  // The last listing (the folder itself) inserted all its rows between one
  // redraw off and one redraw on.
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ((std::vector<std::string>{"redraw off", "insert", "redraw on"}),
            std::vector<std::string>(events.end() - 3, events.end()));
  const Rows rows = RowTexts();
  ASSERT_EQ(static_cast<size_t>(count + 1), rows.size());
  EXPECT_EQ("..", rows[0]);
  EXPECT_EQ("f00000.dat", rows[1]);
  EXPECT_EQ("f09999.dat", rows[count]);
  for (int i = 1; i < count; ++i) ASSERT_LT(rows[i], rows[i + 1]);
}
