// Disk imaging: the three File commands that copy a whole floppy or SCSI
// disk to an image file and an image file back to a disk, 512-byte sectors
// in chunks through TransferSectors, with the progress dialog up meanwhile.
#pragma once
#include <windows.h>

#include <cstdint>

#include "volume.h"

enum {
  kFloppyChunkSectors = 9,
  kChunkSectors = 64,  // 32,768 bytes, the size of the one copy buffer
  kFloppySectorsWhenUnknown = 2880,
};

// Commands 40000 (toDisk false, physical false), 40001 (false, true) and
// 40002 (true, true): asks for the image file, opens it, copies, and posts
// the Refresh command once the image had been opened; after a copy onto the
// disk the view goes back to the disk's top. Does nothing while a copy runs.
void RunImagingCommand(HWND mainWindow, bool toDisk, bool physical);

// The common Open dialog for the image file; its full path goes into path
// (MAX_PATH bytes). Returns true when the user chose a file.
bool ChooseImageFile(HWND owner, char* path, bool toDisk);

// The sectors a copy moves: the device's size (a whole SCSI device's with
// its last block, which its sizeKB leaves out), else for image to disk the
// whole sectors of the image file, for disk to image 2880 on a floppy drive
// and as many as a sector number reaches on anything else.
int32_t CopySectorCount(const Volume* device, const Volume* image, bool toDisk);

// The copy between the image and the device of the current listing. Returns
// 1 when a copy was run, whatever its outcome; 0 when it cannot start (no
// floppy or SCSI volume listed, or its device cannot be opened).
int CopyDiskSectors(HWND mainWindow, bool toDisk, Volume* image, bool physical);

// "Disk sector %d of %d\n%dK copied (%d%%)" for a copy at sector of count;
// returns the percentage, computed so that it cannot overflow.
int FormatCopyStatus(char* text, int size, int32_t sector, int32_t count);
