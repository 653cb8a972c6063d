// The main window: creation, layout and splitter, menu states, CenterWindow
// and the single-instance rule.
#include <string>

#include "explorer_fixture.h"
#include "file_list.h"
#include "main_window.h"
#include "resource_ids.h"
#include "source_tree.h"

namespace {

RECT ChildRect(HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, explorer.mainWindow, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int TreeWidth() {
  const RECT rect = ChildRect(explorer.treeWindow);
  return rect.right - rect.left;
}

LPARAM AtX(int x) { return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), 10); }

// Sizes the main window so that its client area is width x height.
void SetClientSize(int width, int height) {
  RECT frame = {0, 0, width, height};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, TRUE);
  SetWindowPos(explorer.mainWindow, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOZORDER | SWP_NOMOVE);
}

int ColumnWidth(int column) {
  LVCOLUMNA read = {};
  read.mask = LVCF_WIDTH;
  SendMessageA(explorer.listWindow, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&read));
  return read.cx;
}

// Lets the test size the main window below the system's smallest tracking size.
WNDPROC mainProc;
LRESULT CALLBACK AnySizeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETMINMAXINFO) {
    reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{1, 1};
    return 0;
  }
  return CallWindowProcA(mainProc, window, message, wParam, lParam);
}

HMENU Popup(int position) { return GetSubMenu(GetMenu(explorer.mainWindow), position); }

bool Enabled(HMENU popup, UINT id) {
  SendMessageA(explorer.mainWindow, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
  return !(GetMenuState(popup, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

}  // namespace

TEST_F(ExplorerWindow, CreationBuildsImageListsControlsAndMenu) {
  EXPECT_EQ(4, ImageList_GetImageCount(explorer.smallImages));
  EXPECT_EQ(4, ImageList_GetImageCount(explorer.largeImages));
  int width = 0, height = 0;
  ImageList_GetIconSize(explorer.largeImages, &width, &height);
  EXPECT_EQ(32, width);
  EXPECT_EQ(kTreeControlId, GetDlgCtrlID(explorer.treeWindow));
  EXPECT_EQ(kListControlId, GetDlgCtrlID(explorer.listWindow));
  EXPECT_EQ(LVS_LIST, GetWindowLongA(explorer.listWindow, GWL_STYLE) & LVS_TYPEMASK);
  EXPECT_EQ(0u, explorer.sortState);

  char text[64];
  GetMenuStringA(GetMenu(explorer.mainWindow), 0, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ("&File", text);
  GetMenuStringA(Popup(0), ID_FILE_IMAGE_FROM_PHYSICAL, text, sizeof text, MF_BYCOMMAND);
  EXPECT_STREQ("C&reate Image File From Physical Disk", text);
  GetMenuStringA(Popup(2), ID_VIEW_SELECT_ALL, text, sizeof text, MF_BYCOMMAND);
  EXPECT_STREQ("Select &All\tCtrl+A", text);
  EXPECT_EQ(8, GetMenuItemCount(Popup(0)));

  // The three columns of the details view share the list's width, the name
  // taking the most.
  const int name = ColumnWidth(0);
  const int size = ColumnWidth(1);
  const int date = ColumnWidth(2);
  RECT client;
  GetClientRect(explorer.mainWindow, &client);
  EXPECT_GT(size, 0);
  EXPECT_GT(date, 0);
  EXPECT_GE(name, date);
  EXPECT_LE(name + size + date, client.right);
}

TEST_F(ExplorerWindow, LayoutKeepsBothPanesAtLeastFiftyWide) {
  explorer.splitterWidth = 2;
  SendMessageA(explorer.mainWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(80, 300));
  EXPECT_EQ(50, TreeWidth());
  RECT list = ChildRect(explorer.listWindow);
  EXPECT_EQ(52, list.left);
  EXPECT_EQ(28, list.right - list.left);

  SendMessageA(explorer.mainWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(600, 300));
  EXPECT_EQ(50, TreeWidth());  // the width the tree has is kept when it fits
  SendMessageA(explorer.mainWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(60, 300));
  EXPECT_EQ(50, TreeWidth());
}

TEST_F(ExplorerWindow, SplitterDragCommitsOnReleaseAndCancelsOnEscape) {
  explorer.splitterWidth = 2;
  SetClientSize(600, 400);
  RECT client;
  GetClientRect(explorer.mainWindow, &client);
  SendMessageA(explorer.mainWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  const int before = TreeWidth();

  SendMessageA(explorer.mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, AtX(before + 1));
  EXPECT_EQ(explorer.mainWindow, GetCapture());
  SendMessageA(explorer.mainWindow, WM_MOUSEMOVE, MK_LBUTTON, AtX(300));
  EXPECT_EQ(300, explorer.dragBarX);  // bar(300) = 299, plus one
  SendMessageA(explorer.mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(0, explorer.dragging);
  EXPECT_EQ(nullptr, GetCapture());
  EXPECT_EQ(before, TreeWidth());

  // Another window taking the mouse mid-drag ends it as Escape does; the
  // release that follows changes nothing.
  HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, explorer.instance, nullptr);
  ASSERT_NE(nullptr, other);
  SendMessageA(explorer.mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, AtX(before + 1));
  SendMessageA(explorer.mainWindow, WM_MOUSEMOVE, MK_LBUTTON, AtX(300));
  SetCapture(other);
  EXPECT_EQ(0, explorer.dragging);
  EXPECT_EQ(nullptr, explorer.dragDC);
  EXPECT_EQ(other, GetCapture());
  SendMessageA(explorer.mainWindow, WM_LBUTTONUP, 0, AtX(300));
  EXPECT_EQ(before, TreeWidth());
  ReleaseCapture();
  DestroyWindow(other);

  SendMessageA(explorer.mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, AtX(before + 1));
  SendMessageA(explorer.mainWindow, WM_LBUTTONUP, 0, AtX(300));
  EXPECT_EQ(299, TreeWidth());
  EXPECT_EQ(301, ChildRect(explorer.listWindow).left);

  // A release left of the window gives the left limit.
  SendMessageA(explorer.mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, AtX(300));
  SendMessageA(explorer.mainWindow, WM_LBUTTONUP, 0, AtX(-40));
  EXPECT_EQ(50, TreeWidth());
  // And past the right edge, 50 from it.
  SendMessageA(explorer.mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, AtX(300));
  SendMessageA(explorer.mainWindow, WM_LBUTTONUP, 0, AtX(client.right + 40));
  EXPECT_EQ(client.right - 50, TreeWidth());

  // Minimising and restoring keeps the width the user set.
  SendMessageA(explorer.mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, AtX(200));
  SendMessageA(explorer.mainWindow, WM_LBUTTONUP, 0, AtX(200));
  EXPECT_EQ(199, TreeWidth());
  SendMessageA(explorer.mainWindow, WM_SIZE, SIZE_MINIMIZED, 0);
  SendMessageA(explorer.mainWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  EXPECT_EQ(199, TreeWidth());

  // Without a drag, moves and releases change nothing.
  SendMessageA(explorer.mainWindow, WM_MOUSEMOVE, 0, AtX(400));
  SendMessageA(explorer.mainWindow, WM_LBUTTONUP, 0, AtX(400));
  EXPECT_EQ(199, TreeWidth());
}

TEST_F(ExplorerWindow, ReleaseInAnEightyPixelClientGivesTheTreeThirtyPixels) {
  explorer.splitterWidth = 2;
  mainProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(explorer.mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AnySizeProc)));
  SetClientSize(80, 200);
  RECT client;
  GetClientRect(explorer.mainWindow, &client);
  ASSERT_EQ(80, client.right);
  EXPECT_EQ(50, TreeWidth());  // the layout's left limit
  SendMessageA(explorer.mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, AtX(40));
  SendMessageA(explorer.mainWindow, WM_LBUTTONUP, 0, AtX(40));
  EXPECT_EQ(30, TreeWidth());
}

TEST_F(ExplorerWindow, MenuStatesFollowTheVolumeAndTheSelection) {
  HMENU file = Popup(0);
  HMENU edit = Popup(1);
  HMENU view = Popup(2);
  ScratchDir dir;
  MakeDir(dir.File("Zeta"));
  WriteFileBytes(dir.File("a.txt"), Bytes(10, 'a'));
  BrowseWindowsFolder(dir.path());
  ASSERT_EQ(KindLogicalDrive, explorer.currentVolume->kind);
  EXPECT_FALSE(Enabled(file, ID_FILE_IMAGE_FROM_LOGICAL));
  EXPECT_FALSE(Enabled(file, ID_FILE_IMAGE_FROM_PHYSICAL));
  EXPECT_FALSE(Enabled(file, ID_FILE_IMAGE_TO_PHYSICAL));
  EXPECT_TRUE(Enabled(file, ID_FILE_ABOUT));

  SelectRows({RowOf("..")});
  EXPECT_FALSE(Enabled(file, ID_FILE_PROPERTIES));
  SelectRows({RowOf("Zeta")});
  EXPECT_TRUE(Enabled(file, ID_FILE_PROPERTIES));
  EXPECT_FALSE(Enabled(edit, ID_EDIT_COPY_AS_TEXT));
  SelectRows({RowOf("a.txt")});
  EXPECT_TRUE(Enabled(file, ID_FILE_PROPERTIES));
  EXPECT_TRUE(Enabled(edit, ID_EDIT_COPY_AS_TEXT));
  SelectRows({RowOf("a.txt"), RowOf("Zeta")});
  EXPECT_FALSE(Enabled(file, ID_FILE_PROPERTIES));
  EXPECT_FALSE(Enabled(edit, ID_EDIT_COPY_AS_TEXT));
  SelectRows({});
  EXPECT_FALSE(Enabled(file, ID_FILE_PROPERTIES));

  // A floppy volume enables imaging; a SCSI one would too.
  Volume* floppy = OpenVolume(KindFloppy, 0, OpenNoDetect | OpenReadOnly);
  ASSERT_NE(nullptr, floppy);
  Volume* drive = explorer.currentVolume;
  explorer.currentVolume = floppy;
  EXPECT_TRUE(Enabled(file, ID_FILE_IMAGE_FROM_LOGICAL));
  EXPECT_TRUE(Enabled(file, ID_FILE_IMAGE_FROM_PHYSICAL));
  EXPECT_TRUE(Enabled(file, ID_FILE_IMAGE_TO_PHYSICAL));
  explorer.currentVolume = drive;
  CloseVolume(floppy);

  // The window menu's popup is left alone.
  EnableMenuItem(file, ID_FILE_IMAGE_FROM_LOGICAL, MF_BYCOMMAND | MF_GRAYED);
  SendMessageA(explorer.mainWindow, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), MAKELPARAM(0, 1));
  EXPECT_TRUE(GetMenuState(file, ID_FILE_IMAGE_FROM_LOGICAL, MF_BYCOMMAND) & MF_GRAYED);

  // The view items carry the radio mark of the view in force.
  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_VIEW_DETAILS, 0);
  SendMessageA(explorer.mainWindow, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), 0);
  EXPECT_TRUE(GetMenuState(view, ID_VIEW_DETAILS, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_FALSE(GetMenuState(view, ID_VIEW_LIST, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_EQ(LVS_REPORT, GetWindowLongA(explorer.listWindow, GWL_STYLE) & LVS_TYPEMASK);
  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_VIEW_SMALL_ICONS, 0);
  SendMessageA(explorer.mainWindow, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), 0);
  EXPECT_TRUE(GetMenuState(view, ID_VIEW_SMALL_ICONS, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_EQ(LVS_SMALLICON, GetWindowLongA(explorer.listWindow, GWL_STYLE) & LVS_TYPEMASK);
  EXPECT_EQ(LVS_SMALLICON, explorer.viewMode);
}

TEST_F(ExplorerWindow, CommandsAreRoutedAndCloseDestroysTheWindow) {
  BoxSeen about = WhileBoxUp("Orvanta Explorer", [] { SendMessageA(explorer.mainWindow, WM_COMMAND, ID_FILE_ABOUT, 0); });
  EXPECT_TRUE(about.shown);
  EXPECT_EQ(explorer.mainWindow, about.owner);
  EXPECT_NE(std::string::npos, about.text.find("Macintosh floppies"));
  // No row selected: no properties box.
  EXPECT_FALSE(WhileBoxUp("File Properties", [] {
                 SendMessageA(explorer.mainWindow, WM_COMMAND, ID_FILE_PROPERTIES, 0);
               }).shown);
  EXPECT_EQ(1, SendMessageA(explorer.mainWindow, UM_DROP_QUERY, 0, 0));
  EXPECT_EQ(0, SendMessageA(explorer.mainWindow, UM_GET_GROUP_DESCRIPTOR, 0, 0));
  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_FILE_CLOSE, 0);
  EXPECT_FALSE(IsWindow(explorer.mainWindow));
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(0u, message.wParam);
}

// After a box, the keys work where they worked before it: the pane that had
// the keyboard has it again, not the frame.
TEST_F(ExplorerWindow, APaneKeepsTheKeyboardAcrossABox) {
  for (HWND pane : {explorer.listWindow, explorer.treeWindow}) {
    SetFocus(pane);
    ASSERT_EQ(pane, GetFocus());
    EXPECT_TRUE(WhileBoxUp("Orvanta Explorer", [] { SendMessageA(explorer.mainWindow, WM_COMMAND, ID_FILE_ABOUT, 0); })
                    .shown);
    EXPECT_EQ(pane, GetFocus()) << (pane == explorer.listWindow ? "list" : "tree");
  }
}

TEST_F(ExplorerWindow, CenterWindowCentresAndKeepsOnTheScreen) {
  HWND box = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 100, explorer.mainWindow, nullptr,
                             explorer.instance, nullptr);
  ASSERT_NE(nullptr, box);
  SetWindowPos(explorer.mainWindow, nullptr, 100, 50, 600, 400, SWP_NOZORDER);
  CenterWindow(box, explorer.mainWindow);
  RECT rect;
  GetWindowRect(box, &rect);
  EXPECT_EQ(100 + (600 - 200) / 2, rect.left);
  EXPECT_EQ(50 + (400 - 100) / 2, rect.top);
  EXPECT_EQ(200, rect.right - rect.left);

  CenterWindow(box, nullptr);
  GetWindowRect(box, &rect);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 200) / 2, rect.left);

  SetWindowPos(explorer.mainWindow, nullptr, -500, GetSystemMetrics(SM_CYSCREEN) - 20, 300, 300, SWP_NOZORDER);
  CenterWindow(box, explorer.mainWindow);
  GetWindowRect(box, &rect);
  EXPECT_EQ(0, rect.left);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) - 100, rect.top);
  DestroyWindow(box);
}

TEST(ExplorerStartUp, SecondInstanceExitsWithCodeOne) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "Orvanta_Exchange");
  ASSERT_NE(nullptr, mutex);
  ScratchDir dir;
  const int status = RunProgram(dir.path(), "\"" + ProgramBeside("OVX") + "\"", dir.File("out.txt"));
  CloseHandle(mutex);
  EXPECT_EQ(1, status);
  EXPECT_EQ(nullptr, FindWindowA("ovxwindowclass", nullptr));
}

TEST(ExplorerText, FitTextShortensTheMiddleOfLongText) {
  char buffer[32];
  EXPECT_EQ(1, FitText(buffer, sizeof buffer, "Disk ", "C:\\a.img", "!"));
  EXPECT_STREQ("Disk C:\\a.img!", buffer);
  const std::string path = "C:\\" + std::string(100, 'x') + "\\last.img";
  EXPECT_EQ(0, FitText(buffer, sizeof buffer, "Disk ", path.c_str(), "!"));
  EXPECT_EQ(31u, strlen(buffer));
  EXPECT_EQ(0, strncmp(buffer, "Disk C:\\", 8));
  EXPECT_NE(nullptr, strstr(buffer, "..."));
  EXPECT_EQ("last.img!", std::string(buffer).substr(31 - 9));
}
