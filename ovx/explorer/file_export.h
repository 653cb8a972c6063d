// Everything that takes one listed file out of the browser: the properties
// box, the file's data as clipboard text with Windows line ends, and the file
// group descriptor and contents that a drag out hands to the shell. All of it
// reads the current listing and currentVolume; the About box lives here too.
#pragma once
#include <windows.h>

#include <cstdint>

#include "explorer_state.h"

// The properties box of a list row, found by the row's text (on HFS+, whose
// names may show alike, by the row's entry). Nothing when the row cannot be read.
void ShowRowProperties(int row);
// The properties box of the first entry whose name is exactly name; nothing
// when there is none. The box has no owner, so the browser stays usable.
void ShowProperties(const char* name);
// The properties box of entry index; nothing for an index outside the listing.
void ShowEntryProperties(int entryIndex);
// The text of that box for entry index into text (size bytes): name, size and
// date, and on HFS and HFS+ volumes the type and creator. Returns 1, or 0 for
// an index outside the listing.
int FormatProperties(int entryIndex, char* text, int size);

// Puts the first selected row's file on the clipboard as text. Returns 1, or 0
// when no row is selected, the text cannot be made or the clipboard refuses it.
int CopyRowAsText(HWND window);
// The entry's data fork as a zero-terminated text in movable global memory,
// with Macintosh CR and Atari 0x9B line ends made CR LF. Null for an index
// outside the listing, a file whose data cannot be read (compressed by Mac
// OS X) or held (4 GB and more), or when memory runs out.
HGLOBAL ReadFileAsText(int entryIndex);

// The bytes of a block that takes length bytes of entry's data (no more of
// them than the medium holds), everything the current volume's read of entry
// may write, and a closing zero; 0 when no block of a 32-bit process could
// be that large.
uint64_t ExportBlockBytes(const DirEntry* entry, uint64_t length);

// The line ends of a text from a volume of format: CR on Macintosh volumes,
// 0x9B on Atari DOS ones, none elsewhere.
uint64_t CountLineEnds(const uint8_t* text, uint64_t length, VolumeFormat format);
// Makes each of the lineEnds line ends of text[0..length) CR LF in place, in
// one pass; text has room for length + lineEnds bytes.
void ExpandLineEnds(uint8_t* text, uint64_t length, VolumeFormat format, uint64_t lineEnds);

// A movable global FILEGROUPDESCRIPTORA naming the first selected row other
// than "..", with the length ReadFileContents hands over; 0 when there is
// none, its size is beyond any block, or memory runs out.
HGLOBAL BuildGroupDescriptor();
// The bytes of the file at position descriptorIndex of the last descriptor,
// exactly as many as it announces: from a Windows drive the file's own
// bytes; from other volumes the data fork (the resource fork when the data
// fork is empty; on Atari volumes the bytes the sectors hold), '-' where the
// volume delivers nothing. 0 for a position the last descriptor does not
// have, a Windows file that cannot be read in full, or when memory runs out.
HGLOBAL ReadFileContents(LPARAM descriptorIndex);

// The About box, owned by window.
void ShowAbout(HWND window);
