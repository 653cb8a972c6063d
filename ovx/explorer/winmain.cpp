// Start-up of Orvanta Explorer: one instance at a time, the main window, OLE,
// and the message loop.
#include <windows.h>
#include <ole2.h>

#include "explorer_state.h"
#include "main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  explorer.instance = instance;
  // Never closed: the name stays taken for as long as this process runs.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "Orvanta_Exchange");
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) return 1;
  if (!RegisterAndCreateMainWindow(showCommand)) return 1;
  // The drop target needs OLE; it is registered only once the loop runs.
  if (FAILED(OleInitialize(nullptr))) return 1;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  OleUninitialize();
  return static_cast<int>(message.wParam);
}
