// FOLDER arguments of ovxcli: written in the volume's own syntax (HFS
// Disk:Letters:, FAT GAMES\OLD\), with '/' accepted for the separator and
// the last separator left out, resolved against the folders the volume
// really holds, so that a name with '/' in it stays whole.
#pragma once
#include <cstdio>

#include "dir_entry.h"
#include "volume.h"

// The folder separator of the format: ':' for the Macintosh formats, '\' otherwise.
char FolderSeparator(VolumeFormat format);

// What tells folders apart within one walk: the HFS folder id, the FAT first
// cluster. kTopFolderKey stands for the top (HFS: the parent of the root
// folder; FAT: the root directory).
enum { kTopFolderKey = 0xFFFFFFFFu };
uint32_t FolderKey(const Volume* volume, const DirEntry& entry);

// Resolves argument name by name against the listing of each folder on the
// way and lists the folder it names into *array. At each step the longest
// folder name that the rest of argument begins with, followed by the
// separator, '/' or the end, is taken; '/' separates only when argument does
// not hold the volume's own separator. Writes the folder's path in the
// volume's syntax to path (MAX_PATH bytes) and its key to *key. Returns the
// count, or -1 when argument names no folder.
int ListArgumentFolder(Volume* volume, const char* argument, DirEntry** array, char* path, uint32_t* key);

// An image opened for ls and cat with the listing of one of its folders.
struct OpenedFolder {
  Volume* volume;
  DirEntry* listing;  // process heap, grown by ListDirectory
  int count;
  char path[MAX_PATH];  // the folder in the volume's own syntax
  uint32_t key;         // FolderKey of the folder
};

// Opens image and lists folder (an argument as the user wrote it). Returns
// 1; 0 after printing why to err ("cannot open", "no file system
// recognised", "no such folder"), with nothing left open.
int OpenFolderOrReport(const char* image, const char* folder, OpenedFolder* opened, FILE* err);
void CloseFolder(OpenedFolder* opened);
