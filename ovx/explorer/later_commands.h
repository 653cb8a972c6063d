// The entry point of disk imaging, routed from the File menu. Until imaging
// lands it does nothing, so the menu items stay routed without pretending to act.
#pragma once
#include <windows.h>

// Copies between a disk and an image file. Does nothing yet.
void RunImagingCommand(HWND mainWindow, bool toDisk, bool physical);
