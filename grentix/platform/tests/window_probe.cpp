// Prints what a person would read in the message box of a running Grentix:
// its caption, then the text of each control, one a line; with "--where",
// only the screen point of the middle of its caption bar, as "X Y", for a
// script to click so that the box has the keyboard. Exits 1 when no such box
// is open. Used by the end-to-end scripts.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  char text[256] = {};
  GetWindowTextA(control, text, sizeof text);
  if (text[0]) printf("%s\n", text);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  HWND box = FindWindowA("#32770", "Grentix");
  if (!box) return 1;
  if (argc > 1 && strcmp(argv[1], "--where") == 0) {
    RECT frame = {};
    if (!GetWindowRect(box, &frame)) return 1;
    printf("%ld %ld\n", (frame.left + frame.right) / 2, frame.top + GetSystemMetrics(SM_CYCAPTION) / 2 + 2);
    return 0;
  }
  printf("Grentix\n");
  EnumChildWindows(box, PrintControl, 0);
  return 0;
}
