// ExplorerState: everything the main window knows, in one process-wide record
// that starts zeroed and lives as long as the process. The tree, the list and
// the menu handlers read and change its fields directly.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "dir_entry.h"
#include "volume.h"

// The program's own window messages; the drag-and-drop objects send them.
enum {
  UM_AFTER_CREATE = WM_USER + 100,
  UM_SOURCES_ADDED = WM_USER + 101,  // the list added image sources; the tree shows them
  UM_DROP_QUERY = WM_USER + 201,
  UM_DROP_PATHS = WM_USER + 202,
  UM_GET_GROUP_DESCRIPTOR = WM_USER + 203,
  UM_GET_FILE_CONTENTS = WM_USER + 204,
};

enum {
  kTreeControlId = 1001,
  kListControlId = 1002,
  kTextChars = 256,  // names, captions, titles and relative folder paths
};

struct DropTarget;

// What a message handler did: whether it handled the message, and the answer.
struct Answer {
  int handled;
  LRESULT result;
};
inline Answer Handled(LRESULT result) { return Answer{1, result}; }
inline Answer NotHandled() { return Answer{0, 0}; }

// The ordered sources of the tree: logical drives, then SCSI devices, then
// floppy drives, then disk image files in the order they were added.
struct SourceTable {
  char** sources;  // process heap; each string owned by the table
  int32_t sourceCount;
  int32_t logicalDriveEnd;
  int32_t scsiEnd;
  int32_t floppyEnd;
};

struct ExplorerState {
  HINSTANCE instance;
  HWND mainWindow;
  HWND treeWindow;
  HWND listWindow;
  WNDPROC listProc;  // the list control's own procedure, behind CatchListKeys
  HWND focusedPane;  // the tree or the list, whichever had the keyboard when the window was last left
  HIMAGELIST smallImages;  // 16 x 16: folder, document, drive, up arrow
  HIMAGELIST largeImages;  // 32 x 32, the same four

  int32_t splitterWidth;
  int32_t dragging;
  HDC dragDC;
  int32_t dragBarX;
  int32_t dragClientWidth;
  int32_t dragClientHeight;

  int32_t viewMode;    // LVS_ICON 0, LVS_REPORT 1, LVS_SMALLICON 2, LVS_LIST 3
  uint32_t sortState;  // column in the low 16 bits, descending flag in the high 16
  DropTarget* dropTarget;
  int32_t treeClearing;  // selection changes are ignored while the tree is emptied

  SourceTable sourceTable;
  int32_t currentSource;  // the node last selected
  int32_t listedSource;   // the source the last listing ran for
  char sourceCaption[kTextChars];

  Volume* currentVolume;
  // A disk copy is reading or writing through currentVolume's device; the
  // messages it pumps meanwhile must not list again, which would close it.
  int32_t copyRunning;
  char folderPath[kTextChars];  // relative to the source's top; each name ends in its separator
  DirEntry* entries;            // the current listing, process heap
  int32_t entryCount;
  // Entry indexes by position in the last file group descriptor built (one
  // file at most); groupEntryCount positions are valid, until the next listing.
  int32_t groupEntryIndex[1];
  int32_t groupEntryCount;
};

extern ExplorerState explorer;

// Shows the wait cursor and captures the mouse to the main window. Returns the
// cursor to hand back to EndWait.
HCURSOR BeginWait();
// Restores the cursor and releases the capture.
void EndWait(HCURSOR previous);

// Writes prefix + text + suffix into buffer (size bytes with the terminator).
// When that does not fit, the middle of text gives way to "..." so that both
// ends stay readable. Returns 1 when the whole text fitted, 0 when shortened.
int FitText(char* buffer, int size, const char* prefix, const char* text, const char* suffix);

// Loads string resource id into buffer; an empty string when it is missing.
// Returns the length.
int LoadText(UINT id, char* buffer, int size);
