// The source tree: the SourceTable of everything the program can browse
// (logical drives, SCSI devices, floppy drives, added disk images), one root
// node per source, selecting a source, adding image sources, and the title
// of the main window.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "explorer_state.h"
#include "path_list.h"
#include "volume.h"

enum SourceClass {
  SourceNone,  // outside the table
  SourceLogicalDrive,
  SourceScsi,
  SourceFloppy,
  SourceImage,
};

// How a source opens as a Volume; kind 0 for an index outside the table.
struct SourceArguments {
  VolumeKind kind;
  uintptr_t source;  // for drives and images a pointer to the table's string
};

// Builds the SourceTable anew. Returns sourceCount.
int EnumerateSources();
SourceClass GetSourceClass(int index);
// The node caption of source index into buffer (size bytes). Returns 1, or 0
// when index is outside the table or its string is longer than size. A
// caption that would not fit is shortened in the middle of the path.
int GetSourceCaption(int index, char* buffer, int size);
SourceArguments SourceOpenArguments(int index);

// "SCSI ctl:%d dev:%d", with " (name)" when deviceName is not empty.
void FormatScsiSource(char* buffer, int size, int hostAdapter, int target, const char* deviceName);
// Reads host adapter and target back from such a string, whatever the width
// of the numbers. Returns 1, or 0 when text is not such a string.
int ParseScsiSource(const char* text, int* hostAdapter, int* target);

// Appends the node of source index at the end of the root. Returns 1 or 0.
int InsertSourceNode(int index);
void ClearTree();
// Enumerates the sources and inserts one node each. Returns 1, or 0 (and an
// empty tree) when a node cannot be inserted.
int FillTree();
// Makes node's source current and lists its top level. Returns 1, or 0 when
// the node cannot be read.
int SelectSource(HTREEITEM node);
// Offers a disk image as a new source: an entry index of the current listing
// of a Windows folder (below 65536) or a pointer to a full path. Only while a
// logical drive is browsed, and only an image whose file system is known,
// joins the table. Returns the new sourceCount.
int AddImageSource(uintptr_t entryIndexOrPath);
// Inserts the nodes of the sources the tree does not show yet. Returns 1, or
// 0 at the first node that cannot be inserted.
int InsertMissingSourceNodes();
// Sets the main window's title from the folder path or the source caption.
void UpdateTitle();
Answer HandleTreeNotify(NMHDR* notification);
// UM_DROP_PATHS: offers each dropped path as an image source, then moves the
// selection to the last node.
Answer HandleDropPaths(const PathList* paths);
