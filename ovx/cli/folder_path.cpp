#include "folder_path.h"

#include <cstring>

#include "byte_order.h"
#include "image_open.h"
#include "list_directory.h"
#include "volume_formats.h"

char FolderSeparator(VolumeFormat format) { return FormatRow(format).folderSeparator; }

uint32_t FolderKey(const Volume* volume, const DirEntry& entry) {
  return FormatRow(volume->format).macintosh ? entry.nodeId : ReadLE16(entry.location);
}

int ListArgumentFolder(Volume* volume, const char* argument, DirEntry** array, char* path, uint32_t* key) {
  // A listing does not tell an empty folder from a path it could not follow,
  // so each name is looked up in the listing of the folder above it.
  const char separator = FolderSeparator(volume->format);
  const bool slashSeparates = !strchr(argument, separator);
  size_t pathLength = 0;
  path[0] = '\0';
  *key = kTopFolderKey;
  int count = ListDirectory(volume, "", array);
  const char* rest = argument;
  while (*rest != '\0') {
    int found = -1;
    size_t foundLength = 0;
    for (int i = 0; i < count; ++i) {
      const DirEntry& entry = (*array)[i];
      const size_t length = strlen(entry.name);
      if (!(entry.attributes & kDirEntryFolder) || length <= foundLength || strcmp(entry.name, ".") == 0 ||
          strcmp(entry.name, "..") == 0 || strncmp(rest, entry.name, length) != 0) {
        continue;
      }
      const char after = rest[length];
      if (after == '\0' || after == separator || (slashSeparates && after == '/')) {
        found = i;
        foundLength = length;
      }
    }
    if (found < 0 || pathLength + foundLength + 1 >= MAX_PATH) return -1;
    memcpy(path + pathLength, rest, foundLength);
    pathLength += foundLength;
    path[pathLength++] = separator;
    path[pathLength] = '\0';
    *key = FolderKey(volume, (*array)[found]);
    rest += foundLength;
    if (*rest != '\0') ++rest;
    count = ListDirectory(volume, path, array);
  }
  return count;
}

int OpenFolderOrReport(const char* image, const char* folder, OpenedFolder* opened, FILE* err) {
  memset(opened, 0, sizeof *opened);
  opened->volume = OpenImageOrReport(image, err);
  if (!opened->volume) return 0;
  opened->listing = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  opened->count = -1;
  if (opened->volume->format == FormatNone) {
    fprintf(err, "ovxcli: no file system recognised in %s\n", image);
  } else if (!opened->listing) {
    fprintf(err, "ovxcli: out of memory\n");
  } else {
    opened->count = ListArgumentFolder(opened->volume, folder, &opened->listing, opened->path, &opened->key);
    if (opened->count >= 0) return 1;
    fprintf(err, "ovxcli: no such folder: %s\n", folder);
  }
  CloseFolder(opened);
  return 0;
}

void CloseFolder(OpenedFolder* opened) {
  if (opened->listing) HeapFree(GetProcessHeap(), 0, opened->listing);
  if (opened->volume) CloseVolume(opened->volume);
  memset(opened, 0, sizeof *opened);
}
