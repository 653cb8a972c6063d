#include "folder_path.h"

#include <cstring>

#include "image_open.h"
#include "list_directory.h"

char FolderSeparator(VolumeFormat format) {
  return format == FormatHfs || format == FormatMfs ? ':' : '\\';
}

int FolderPathFromArgument(VolumeFormat format, const char* argument, char* path) {
  const char separator = FolderSeparator(format);
  size_t length = strlen(argument);
  const bool addSeparator = length > 0 && argument[length - 1] != separator && argument[length - 1] != '/';
  if (length + (addSeparator ? 1 : 0) >= MAX_PATH) return 0;
  for (size_t i = 0; i < length; ++i) path[i] = argument[i] == '/' ? separator : argument[i];
  if (addSeparator) path[length++] = separator;
  path[length] = '\0';
  return 1;
}

int ListExistingFolder(Volume* volume, const char* path, DirEntry** array) {
  // A listing does not tell an empty folder from a path it could not follow,
  // so each name is looked up in the listing of the folder above it.
  const char separator = FolderSeparator(volume->format);
  char walked[MAX_PATH] = "";
  size_t walkedLength = 0;
  int count = ListDirectory(volume, "", array);
  while (path[walkedLength] != '\0') {
    const char* name = path + walkedLength;
    const char* end = strchr(name, separator);
    if (!end) return -1;
    const size_t nameLength = static_cast<size_t>(end - name);
    bool found = false;
    for (int i = 0; i < count && !found; ++i) {
      const DirEntry& entry = (*array)[i];
      found = (entry.attributes & kDirEntryFolder) && strlen(entry.name) == nameLength &&
              memcmp(entry.name, name, nameLength) == 0 && strcmp(entry.name, ".") != 0 &&
              strcmp(entry.name, "..") != 0;
    }
    if (!found) return -1;
    memcpy(walked + walkedLength, name, nameLength + 1);
    walkedLength += nameLength + 1;
    walked[walkedLength] = '\0';
    count = ListDirectory(volume, walked, array);
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
    if (FolderPathFromArgument(opened->volume->format, folder, opened->path)) {
      opened->count = ListExistingFolder(opened->volume, opened->path, &opened->listing);
    }
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
