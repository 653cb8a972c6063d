// The drop target of the source tree: disk image files dragged from the shell
// onto the tree arrive as a "Shell IDList Array", become a PathList of file
// paths, and go to the main window with UM_DROP_QUERY and UM_DROP_PATHS.
#pragma once
#include <windows.h>
#include <objidl.h>

#include <cstddef>
#include <cstdint>

#include "path_list.h"

struct IDropTargetVtbl;

struct DropTarget {
  const IDropTargetVtbl* functions;  // IDropTarget
  ULONG refCount;
  HWND notifyWindow;  // receives UM_DROP_QUERY and UM_DROP_PATHS
  HWND targetWindow;  // the window the target is registered on
  LONG accepted;      // the last answer to UM_DROP_QUERY
};

// Makes a drop target that reports to notifyWindow and registers it on
// targetWindow, holding it with an external lock. Returns the target (whose
// registration may still have failed), or null when memory runs out.
DropTarget* RegisterDropTarget(HWND notifyWindow, HWND targetWindow);
// Unregisters the target and lets it go; nothing for null.
void RevokeDropTarget(DropTarget* target);

// The file-system paths of the items in data's "Shell IDList Array", in its
// order; items without a path are left out. Null when data offers no such
// array or memory runs out. The array comes from another program: a list
// that runs past its block is skipped, and nothing outside it is read.
PathList* GetDroppedPaths(IDataObject* data);

// Copies the item identifier list at offset of block (blockBytes long) to
// destination, which has room for blockBytes + 2 bytes, and ends it with a
// 16-bit zero. An item of length 0 or 1 ends the list. Returns where the
// terminator was written, or null when the list runs past the block.
uint8_t* CopyItemIdList(uint8_t* destination, const uint8_t* block, size_t blockBytes, uint64_t offset);
