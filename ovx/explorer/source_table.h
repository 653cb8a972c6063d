// The SourceTable: everything the program can browse (logical drives, SCSI
// devices, floppy drives, added disk images), how each is captioned and how
// it opens as a Volume. The tree shows it; the list and the imaging commands
// open its sources.
#pragma once
#include <windows.h>

#include <cstdint>

#include "explorer_state.h"
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

// "SCSI ctl:%d dev:%d" with host adapter and target, then " lun:%d" for a
// logical unit other than 0, then " (name)" when deviceName is not empty.
void FormatScsiSource(char* buffer, int size, const ScsiAddress& unit, const char* deviceName);
// Reads the unit back from such a string, whatever the width of the
// numbers. Returns 1, or 0 when text is not such a string or names a unit
// that no SCSI source can.
int ParseScsiSource(const char* text, ScsiAddress* unit);

// Offers a disk image as a new source: an entry index of the current listing
// of a Windows folder (below 65536) or a pointer to a full path. Only while a
// logical drive is browsed, and only an image whose file system is known,
// joins the table. Returns the new sourceCount.
int AddImageSource(uintptr_t entryIndexOrPath);
