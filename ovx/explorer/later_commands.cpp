#include "later_commands.h"

void RunImagingCommand(HWND, bool, bool) {}
void ShowRowProperties(int) {}
int CopyRowAsText(int) { return 0; }
void ShowAbout() {}
HGLOBAL BuildGroupDescriptor() { return nullptr; }
HGLOBAL ReadFileContents(LPARAM) { return nullptr; }
DropTarget* RegisterDropTarget(HWND, HWND) { return nullptr; }
void RevokeDropTarget(DropTarget*) {}
int StartFileDrag(HWND) { return 0; }
