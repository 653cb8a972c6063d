// Entry points that the main window routes to but whose work belongs to the
// properties box, the shell transfer objects and disk imaging. Until those
// land, each one does nothing and reports that nothing was done, so menu
// items stay routed and enabled as they will be without pretending to act.
#pragma once
#include <windows.h>

struct DropTarget;

// Copies between a disk and an image file. Does nothing yet.
void RunImagingCommand(HWND mainWindow, bool toDisk, bool physical);
// The properties box of a list row. Does nothing yet.
void ShowRowProperties(int row);
// Puts a list row's file on the clipboard as text. Returns 0: nothing copied yet.
int CopyRowAsText(int row);
// The About box. Does nothing yet.
void ShowAbout();
// Global-memory file group descriptor for a drag out; 0 until drag-out exists.
HGLOBAL BuildGroupDescriptor();
// Global-memory contents of a dragged file; 0 until drag-out exists.
HGLOBAL ReadFileContents(LPARAM index);
// Registers the drop target on the tree. Returns null: none registered yet.
DropTarget* RegisterDropTarget(HWND mainWindow, HWND treeWindow);
// Revokes what RegisterDropTarget registered.
void RevokeDropTarget(DropTarget* target);
// Starts dragging the selected rows out to the shell. Returns 0: no drag yet.
int StartFileDrag(HWND mainWindow);
