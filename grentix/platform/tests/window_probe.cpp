// Prints what a person would read in the message box of a running Grentix:
// its caption, then the text of each control, one a line. Exits 1 when no
// such box is open. Used by the end-to-end scripts.
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  char text[256] = {};
  GetWindowTextA(control, text, sizeof text);
  if (text[0]) printf("%s\n", text);
  return TRUE;
}

}  // namespace

int main() {
  HWND box = FindWindowA("#32770", "Grentix");
  if (!box) return 1;
  printf("Grentix\n");
  EnumChildWindows(box, PrintControl, 0);
  return 0;
}
