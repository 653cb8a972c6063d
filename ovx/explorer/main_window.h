// The main window of Orvanta Explorer: its class and creation, the layout of
// the source tree and the file list with the splitter between them, the
// routing of every message and menu command, and the menu states.
#pragma once
#include <windows.h>

#include "explorer_state.h"

// Registers "ovxwindowclass" and creates and shows the main window with
// explorer.instance. Returns 1, or 0 when registration or creation failed.
int RegisterAndCreateMainWindow(int showCommand);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Moves window, keeping its size, so that it is centred over reference (the
// screen when null) and stays on the screen.
void CenterWindow(HWND window, HWND reference);

// Lays tree and list out side by side for a client area of width x height.
// Not handled until both children exist; nothing moves while minimised.
Answer LayOutChildren(WPARAM sizeType, int width, int height);
