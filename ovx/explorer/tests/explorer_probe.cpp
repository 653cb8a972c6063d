// Prints what a person would see of a running Orvanta Explorer, for the
// scripts that drive it with real keys:
//   explorer_probe box CAPTION  the text of each control of the box titled
//                               CAPTION, one a line; exits 1 when none is open
//   explorer_probe state        one line: where the keyboard focus is (tree,
//                               list or other), whether a menu is being
//                               tracked, the list's rows, selected rows and view
//   explorer_probe clipboard    the clipboard's text, with CR and LF shown
//                               as \r and \n
// Exits 1 when what it reads is not there.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

namespace {

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  char text[1024] = {};
  GetWindowTextA(control, text, sizeof text);
  if (text[0]) printf("%s\n", text);
  return TRUE;
}

int PrintBox(const char* caption) {
  HWND box = FindWindowA("#32770", caption);
  if (!box) return 1;
  EnumChildWindows(box, PrintControl, 0);
  return 0;
}

const char* ControlName(HWND window, HWND tree, HWND list) {
  if (!window) return "none";
  if (window == tree) return "tree";
  if (window == list) return "list";
  return "other";
}

const char* ViewName(LONG style) {
  switch (style & LVS_TYPEMASK) {
    case LVS_ICON: return "icons";
    case LVS_REPORT: return "details";
    case LVS_SMALLICON: return "small";
    default: return "list";
  }
}

int PrintState() {
  HWND main = FindWindowA("ovxwindowclass", nullptr);
  if (!main) return 1;
  HWND tree = FindWindowExA(main, nullptr, WC_TREEVIEWA, nullptr);
  HWND list = FindWindowExA(main, nullptr, WC_LISTVIEWA, nullptr);
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  if (!tree || !list || !GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &thread)) return 1;
  // Messages without pointers, so they can be asked across processes.
  const LRESULT rows = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
  const LRESULT selected = SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0);
  printf("focus %s, menu %s, rows %ld, selected %ld, view %s\n", ControlName(thread.hwndFocus, tree, list),
         thread.flags & GUI_INMENUMODE ? "open" : "closed", static_cast<long>(rows), static_cast<long>(selected),
         ViewName(GetWindowLongA(list, GWL_STYLE)));
  return 0;
}

int PrintClipboard() {
  if (!OpenClipboard(nullptr)) return 1;
  HGLOBAL block = GetClipboardData(CF_TEXT);
  const char* text = block ? static_cast<const char*>(GlobalLock(block)) : nullptr;
  if (text) {
    for (const char* c = text; c < text + strnlen(text, GlobalSize(block)); ++c) {
      if (*c == '\r' || *c == '\n') {
        printf("\\%c", *c == '\r' ? 'r' : 'n');
      } else {
        putchar(*c);
      }
    }
    GlobalUnlock(block);
  }
  CloseClipboard();
  return text ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "box") == 0) return PrintBox(argv[2]);
  if (argc == 2 && strcmp(argv[1], "state") == 0) return PrintState();
  if (argc == 2 && strcmp(argv[1], "clipboard") == 0) return PrintClipboard();
  fprintf(stderr, "usage: explorer_probe box CAPTION | state | clipboard\n");
  return 2;
}
