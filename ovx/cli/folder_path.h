// FOLDER arguments of ovxcli: written in the volume's own syntax (HFS
// Disk:Letters:, FAT GAMES\OLD\), with '/' accepted for the separator and
// the last separator added when missing; and finding named entries in the
// listings of a volume.
#pragma once
#include <cstdio>

#include "dir_entry.h"
#include "volume.h"

// The folder separator of the format: ':' for the Macintosh formats, '\' otherwise.
char FolderSeparator(VolumeFormat format);

// Writes the folder path for argument into path (MAX_PATH bytes). Returns 1;
// 0 when it does not fit.
int FolderPathFromArgument(VolumeFormat format, const char* argument, char* path);

// Lists the folder at path into *array when every name on the way is a
// folder of the listing above it. Returns the count, or -1 when the path
// names no folder.
int ListExistingFolder(Volume* volume, const char* path, DirEntry** array);

// An image opened for ls and cat with the listing of one of its folders.
struct OpenedFolder {
  Volume* volume;
  DirEntry* listing;  // process heap, grown by ListDirectory
  int count;
  char path[MAX_PATH];  // the folder in the volume's own syntax
};

// Opens image and lists folder (an argument as the user wrote it). Returns
// 1; 0 after printing why to err ("cannot open", "no file system
// recognised", "no such folder"), with nothing left open.
int OpenFolderOrReport(const char* image, const char* folder, OpenedFolder* opened, FILE* err);
void CloseFolder(OpenedFolder* opened);
