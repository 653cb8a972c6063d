#include <windows.h>

#include "command_line.h"
#include "game_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
  ParseCommandLine(commandLine);
  if (!InitGame(instance, showCommand)) return 0;
  return RunMessageLoop();
}
