#include "main_window.h"

#include <windowsx.h>

#include "disk_imaging.h"
#include "drop_target.h"
#include "file_export.h"
#include "file_list.h"
#include "path_list.h"
#include "resource_ids.h"
#include "source_tree.h"

namespace {

const char kClassName[] = "ovxwindowclass";
const int kImageCount = 4;  // folder, document, drive, up arrow
const int kMinimumPaneWidth = 50;

int AddIcons(HIMAGELIST list, int pixels) {
  static const int ids[kImageCount] = {IDI_FOLDER, IDI_DOCUMENT, IDI_DRIVE, IDI_UP_ARROW};
  for (int id : ids) {
    HICON icon = static_cast<HICON>(
        LoadImageA(explorer.instance, MAKEINTRESOURCEA(id), IMAGE_ICON, pixels, pixels, LR_DEFAULTCOLOR));
    if (!icon) return 0;
    const int added = ImageList_ReplaceIcon(list, -1, icon);
    DestroyIcon(icon);  // the list keeps its own copy
    if (added < 0) return 0;
  }
  return ImageList_GetImageCount(list) == kImageCount;
}

int CreateImageLists() {
  explorer.smallImages = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, kImageCount, 0);
  explorer.largeImages = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, kImageCount, 0);
  if (!explorer.smallImages || !explorer.largeImages) return 0;
  return AddIcons(explorer.smallImages, 16) && AddIcons(explorer.largeImages, 32);
}

int CreateTree(HWND window, const RECT& client) {
  explorer.treeWindow = CreateWindowExA(
      WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
      WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
      0, 0, client.right / 3, client.bottom, window, reinterpret_cast<HMENU>(kTreeControlId),
      explorer.instance, nullptr);
  if (!explorer.treeWindow) return 0;
  SendMessageA(explorer.treeWindow, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(explorer.smallImages));
  return 1;
}

int CreateList(HWND window, const RECT& client) {
  explorer.viewMode = LVS_LIST;
  explorer.sortState = 0;
  explorer.listWindow = CreateWindowExA(
      WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
      WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE | explorer.viewMode, 0, 0,
      client.right, client.bottom, window, reinterpret_cast<HMENU>(kListControlId), explorer.instance, nullptr);
  if (!explorer.listWindow) return 0;
  CatchListKeys();
  SendMessageA(explorer.listWindow, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(explorer.smallImages));
  SendMessageA(explorer.listWindow, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(explorer.largeImages));
  return CreateListColumns(client.right);
}

Answer OnCreate(HWND window) {
  explorer.mainWindow = window;
  explorer.splitterWidth = GetSystemMetrics(SM_CXEDGE);
  if (explorer.splitterWidth == 0) explorer.splitterWidth = 2;
  RECT client;
  GetClientRect(window, &client);
  if (!CreateImageLists() || !CreateTree(window, client) || !CreateList(window, client)) return Handled(-1);
  PostMessageA(window, UM_AFTER_CREATE, 0, 0);
  return Handled(0);
}

Answer OnDestroy() {
  if (explorer.dropTarget) {
    RevokeDropTarget(explorer.dropTarget);
    explorer.dropTarget = nullptr;
  }
  PostQuitMessage(0);
  return Handled(0);
}

Answer OnAfterCreate() {
  FillTree();
  explorer.dropTarget = RegisterDropTarget(explorer.mainWindow, explorer.treeWindow);
  SetFocus(explorer.treeWindow);
  return Handled(0);
}

Answer OnSourcesAdded() {
  InsertMissingSourceNodes();
  return Handled(0);
}

Answer OnNotify(WPARAM controlId, NMHDR* notification) {
  if (controlId == kTreeControlId) return HandleTreeNotify(notification);
  if (controlId == kListControlId) return HandleListNotify(notification);
  return NotHandled();
}

void PlaceChildren(int treeWidth, int width, int height) {
  SetWindowPos(explorer.treeWindow, nullptr, 0, 0, treeWidth, height, SWP_NOZORDER);
  const int listX = treeWidth + explorer.splitterWidth;
  SetWindowPos(explorer.listWindow, nullptr, listX, 0, width - listX, height, SWP_NOZORDER);
}

// The bar is drawn by inverting, so drawing it twice at one place erases it.
void DrawBar() {
  PatBlt(explorer.dragDC, explorer.dragBarX, 0, explorer.splitterWidth, explorer.dragClientHeight, DSTINVERT);
}

// Where the bar goes for a mouse at x: at least 50 from the left, and at
// most 50 from the right, which wins in a window narrower than 100 pixels.
int BarPosition(int x) {
  int bar = x - explorer.splitterWidth / 2;
  if (bar < kMinimumPaneWidth) bar = kMinimumPaneWidth;
  if (bar >= explorer.dragClientWidth - kMinimumPaneWidth) bar = explorer.dragClientWidth - kMinimumPaneWidth;
  return bar;
}

// Cleared first: releasing the capture sends WM_CAPTURECHANGED, which must
// then find no drag to end.
void EndDrag() {
  explorer.dragging = 0;
  ReleaseDC(explorer.mainWindow, explorer.dragDC);
  explorer.dragDC = nullptr;
  if (GetCapture() == explorer.mainWindow) ReleaseCapture();
}

Answer OnButtonDown(int x) {
  if (explorer.dragging) return NotHandled();
  explorer.dragDC = GetDC(explorer.mainWindow);
  if (!explorer.dragDC) return NotHandled();
  explorer.dragging = 1;
  SetCapture(explorer.mainWindow);
  RECT client;
  GetClientRect(explorer.mainWindow, &client);
  explorer.dragClientWidth = client.right;
  explorer.dragClientHeight = client.bottom;
  explorer.dragBarX = BarPosition(x) + 1;
  DrawBar();
  return Handled(0);
}

Answer OnMouseMove(int x) {
  if (!explorer.dragging) return NotHandled();
  DrawBar();
  explorer.dragBarX = BarPosition(x) + 1;
  DrawBar();
  return Handled(0);
}

Answer OnButtonUp(int x) {
  if (!explorer.dragging) return NotHandled();
  DrawBar();
  explorer.dragBarX = BarPosition(x) + 1;
  EndDrag();
  PlaceChildren(explorer.dragBarX - explorer.splitterWidth / 2, explorer.dragClientWidth,
                explorer.dragClientHeight);
  return Handled(0);
}

Answer OnKeyDown(WPARAM key) {
  if (key != VK_ESCAPE || !explorer.dragging) return NotHandled();
  DrawBar();
  EndDrag();
  return Handled(0);
}

// A box or another program took the keyboard: the pane that had it gets it
// back when the window is active again, instead of the frame, where no key
// of the browser works.
Answer OnActivate(WPARAM state) {
  if (LOWORD(state) != WA_INACTIVE) return NotHandled();
  HWND focus = GetFocus();
  if (focus == explorer.treeWindow || focus == explorer.listWindow) explorer.focusedPane = focus;
  return NotHandled();
}

// Until a pane has had the keyboard the frame keeps it: the tree's first
// focus comes after the sources are filled in, and selects the first.
Answer OnSetFocus() {
  if (!explorer.focusedPane) return NotHandled();
  SetFocus(explorer.focusedPane);
  return Handled(0);
}

// Another window took the mouse: the drag ends as with Escape.
Answer OnCaptureChanged(HWND newOwner) {
  if (!explorer.dragging || newOwner == explorer.mainWindow) return NotHandled();
  DrawBar();
  EndDrag();
  return Handled(0);
}

void ShowFirstSelectedProperties() {
  const int row = FirstSelectedRow();
  if (row >= 0) ShowRowProperties(row);
}

Answer OnCommand(WORD id) {
  switch (id) {
    case ID_FILE_IMAGE_FROM_LOGICAL:  RunImagingCommand(explorer.mainWindow, false, false); break;
    case ID_FILE_IMAGE_FROM_PHYSICAL: RunImagingCommand(explorer.mainWindow, false, true); break;
    case ID_FILE_IMAGE_TO_PHYSICAL:   RunImagingCommand(explorer.mainWindow, true, true); break;
    case ID_FILE_PROPERTIES:          ShowFirstSelectedProperties(); break;
    case ID_FILE_ABOUT:               ShowAbout(explorer.mainWindow); break;
    case ID_FILE_CLOSE:               DestroyWindow(explorer.mainWindow); break;
    case ID_EDIT_COPY_AS_TEXT:        CopyRowAsText(explorer.mainWindow); break;
    case ID_VIEW_REFRESH:             FillList(); break;
    case ID_VIEW_SELECT_ALL:          SelectAllRows(); break;
    case ID_VIEW_LARGE_ICONS:         SetViewMode(LVS_ICON); break;
    case ID_VIEW_SMALL_ICONS:         SetViewMode(LVS_SMALLICON); break;
    case ID_VIEW_LIST:                SetViewMode(LVS_LIST); break;
    case ID_VIEW_DETAILS:             SetViewMode(LVS_REPORT); break;
    default:                          return NotHandled();
  }
  return Handled(0);
}

void EnableItem(HMENU popup, UINT id, bool enabled) {
  EnableMenuItem(popup, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

Answer OnInitMenuPopup(HMENU popup, bool windowMenu) {
  if (windowMenu) return NotHandled();
  const Volume* volume = explorer.currentVolume;
  // One copy at a time: the menu still opens while a copy serves its messages.
  const bool device = volume && (volume->kind == KindFloppy || volume->kind == KindScsi) && !explorer.copyRunning;
  EnableItem(popup, ID_FILE_IMAGE_FROM_LOGICAL, device);
  EnableItem(popup, ID_FILE_IMAGE_FROM_PHYSICAL, device);
  EnableItem(popup, ID_FILE_IMAGE_TO_PHYSICAL, device);
  const int row = SingleSelectedRow();
  EnableItem(popup, ID_FILE_PROPERTIES, row >= 0 && !IsParentRow(row));
  EnableItem(popup, ID_EDIT_COPY_AS_TEXT, row >= 0 && !IsFolderRow(row));
  UINT checked = ID_VIEW_DETAILS;
  if (explorer.viewMode == LVS_ICON) checked = ID_VIEW_LARGE_ICONS;
  if (explorer.viewMode == LVS_SMALLICON) checked = ID_VIEW_SMALL_ICONS;
  if (explorer.viewMode == LVS_LIST) checked = ID_VIEW_LIST;
  CheckMenuRadioItem(popup, ID_VIEW_LARGE_ICONS, ID_VIEW_DETAILS, checked, MF_BYCOMMAND);
  return Handled(0);
}

}  // namespace

Answer LayOutChildren(WPARAM sizeType, int width, int height) {
  if (!explorer.treeWindow || !explorer.listWindow) return NotHandled();
  if (sizeType == SIZE_MINIMIZED) return Handled(0);
  RECT tree;
  GetWindowRect(explorer.treeWindow, &tree);
  POINT rightEdge = {tree.right, tree.bottom};
  ScreenToClient(explorer.mainWindow, &rightEdge);
  int treeWidth = rightEdge.x;
  const int widest = width - kMinimumPaneWidth;
  if ((treeWidth < widest ? treeWidth : widest) < kMinimumPaneWidth) {
    treeWidth = kMinimumPaneWidth;
  } else if (treeWidth >= widest) {
    treeWidth = widest;
  }
  PlaceChildren(treeWidth, width, height);
  return Handled(0);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Answer answer = NotHandled();
  switch (message) {
    case WM_CREATE:               answer = OnCreate(window); break;
    case WM_DESTROY:              answer = OnDestroy(); break;
    case WM_SIZE:                 answer = LayOutChildren(wParam, LOWORD(lParam), HIWORD(lParam)); break;
    case WM_NOTIFY:               answer = OnNotify(wParam, reinterpret_cast<NMHDR*>(lParam)); break;
    case WM_KEYDOWN:              answer = OnKeyDown(wParam); break;
    case WM_ACTIVATE:             answer = OnActivate(wParam); break;
    case WM_SETFOCUS:             answer = OnSetFocus(); break;
    case WM_COMMAND:              answer = OnCommand(LOWORD(wParam)); break;
    case WM_INITMENUPOPUP:        answer = OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), HIWORD(lParam) != 0); break;
    case WM_LBUTTONDOWN:          answer = OnButtonDown(GET_X_LPARAM(lParam)); break;
    case WM_MOUSEMOVE:            answer = OnMouseMove(GET_X_LPARAM(lParam)); break;
    case WM_LBUTTONUP:            answer = OnButtonUp(GET_X_LPARAM(lParam)); break;
    case WM_CAPTURECHANGED:       answer = OnCaptureChanged(reinterpret_cast<HWND>(lParam)); break;
    case UM_AFTER_CREATE:         answer = OnAfterCreate(); break;
    case UM_SOURCES_ADDED:        answer = OnSourcesAdded(); break;
    case UM_DROP_QUERY:           answer = Handled(1); break;
    case UM_DROP_PATHS:           answer = HandleDropPaths(reinterpret_cast<PathList*>(lParam)); break;
    case UM_GET_GROUP_DESCRIPTOR: answer = Handled(reinterpret_cast<LRESULT>(BuildGroupDescriptor())); break;
    case UM_GET_FILE_CONTENTS:    answer = Handled(reinterpret_cast<LRESULT>(ReadFileContents(lParam))); break;
  }
  return answer.handled ? answer.result : DefWindowProcA(window, message, wParam, lParam);
}

int RegisterAndCreateMainWindow(int showCommand) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = explorer.instance;
  windowClass.hIcon = LoadIconA(explorer.instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON));
  windowClass.hCursor = LoadCursorA(explorer.instance, MAKEINTRESOURCEA(IDC_SPLITTER));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN_MENU);
  windowClass.lpszClassName = kClassName;
  windowClass.hIconSm = static_cast<HICON>(
      LoadImageA(explorer.instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  if (!RegisterClassExA(&windowClass)) return 0;

  char caption[kTextChars];
  LoadText(IDS_APPLICATION_NAME, caption, sizeof caption);
  explorer.mainWindow = CreateWindowExA(0, kClassName, caption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, explorer.instance, nullptr);
  if (!explorer.mainWindow) return 0;
  ShowWindow(explorer.mainWindow, showCommand);
  UpdateWindow(explorer.mainWindow);
  return 1;
}

void CenterWindow(HWND window, HWND reference) {
  RECT own;
  GetWindowRect(window, &own);
  const int w = own.right - own.left;
  const int h = own.bottom - own.top;
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (reference) GetWindowRect(reference, &area);
  HDC dc = GetDC(window);
  const int screenWidth = GetDeviceCaps(dc, HORZRES);
  const int screenHeight = GetDeviceCaps(dc, VERTRES);
  ReleaseDC(window, dc);
  int x = area.left + (area.right - area.left - w) / 2;
  if (x < 0) {
    x = 0;
  } else if (x + w > screenWidth) {
    x = screenWidth - w;
  }
  int y = area.top + (area.bottom - area.top - h) / 2;
  if (y < 0) {
    y = 0;
  } else if (y + h > screenHeight) {
    y = screenHeight - h;
  }
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
