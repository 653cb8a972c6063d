#include "ls_command.h"

#include <cstring>
#include <string>
#include <vector>

#include "folder_path.h"
#include "image_open.h"
#include "list_directory.h"
#include "ovxcli_run.h"

namespace {

// Type and creator: printable ASCII as it is, any other byte as '?'; "-" when all four are zero.
void PrintFourChars(const uint8_t* bytes, FILE* out) {
  if (bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0) {
    fputc('-', out);
    return;
  }
  for (int i = 0; i < 4; ++i) fputc(bytes[i] >= 0x20 && bytes[i] <= 0x7E ? bytes[i] : '?', out);
}

// Straight from the FILETIME, which already holds local time.
void PrintModified(const FILETIME& modified, FILE* out) {
  SYSTEMTIME t;
  if ((modified.dwLowDateTime == 0 && modified.dwHighDateTime == 0) || !FileTimeToSystemTime(&modified, &t)) {
    fputc('-', out);
    return;
  }
  fprintf(out, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

bool IsDescendable(const DirEntry& entry) {
  return (entry.attributes & kDirEntryFolder) && strcmp(entry.name, ".") != 0 && strcmp(entry.name, "..") != 0;
}

void PrintListing(const DirEntry* entries, int count, FILE* out) {
  for (int i = 0; i < count; ++i) PrintEntryLine(&entries[i], out);
}

// Lists every sub-folder of the folder just listed, depth first, each
// headed by its path and ':'.
void ListSubFolders(Volume* volume, const std::string& path, const DirEntry* entries, int count, DirEntry** listing,
                    FILE* out) {
  const char separator = FolderSeparator(volume->format);
  std::vector<std::string> children;
  for (int i = 0; i < count; ++i) {
    if (IsDescendable(entries[i])) children.push_back(path + entries[i].name + separator);
  }
  for (const std::string& child : children) {
    if (child.size() >= MAX_PATH) continue;
    fprintf(out, "%s:\n", child.c_str());
    const int childCount = ListDirectory(volume, child.c_str(), listing);
    PrintListing(*listing, childCount, out);
    // The listing block is reused below; keep this folder's entries.
    std::vector<DirEntry> kept(*listing, *listing + childCount);
    ListSubFolders(volume, child, kept.data(), childCount, listing, out);
  }
}

}  // namespace

void PrintEntryLine(const DirEntry* entry, FILE* out) {
  fprintf(out, "%s\t%c\t%lu\t%lu\t", entry->name, (entry->attributes & kDirEntryFolder) ? 'd' : '-',
          static_cast<unsigned long>(entry->size), static_cast<unsigned long>(entry->dataSize));
  PrintFourChars(entry->macType, out);
  fputc('\t', out);
  PrintFourChars(entry->macCreator, out);
  fputc('\t', out);
  PrintModified(entry->modified, out);
  fputc('\n', out);
}

int RunLsCommand(int argc, const char* const* argv, FILE* out, FILE* err) {
  bool recursive = false;
  if (argc > 0 && strcmp(argv[0], "-R") == 0) {
    recursive = true;
    --argc;
    ++argv;
  }
  if (argc < 1 || argc > 2) return kExitUsage;
  const char* image = argv[0];
  const char* folder = argc == 2 ? argv[1] : "";
  Volume* volume = OpenImageOrReport(image, err);
  if (!volume) return kExitFailure;
  int status = kExitOk;
  char path[MAX_PATH];
  DirEntry* listing = NewListing();
  if (volume->format == FormatNone) {
    fprintf(err, "ovxcli: no file system recognised in %s\n", image);
    status = kExitFailure;
  } else if (!listing) {
    fprintf(err, "ovxcli: out of memory\n");
    status = kExitFailure;
  } else {
    const int count = FolderPathFromArgument(volume->format, folder, path) ? ListExistingFolder(volume, path, &listing) : -1;
    if (count < 0) {
      fprintf(err, "ovxcli: no such folder: %s\n", folder);
      status = kExitFailure;
    } else {
      PrintListing(listing, count, out);
      if (recursive) {
        std::vector<DirEntry> top(listing, listing + count);
        ListSubFolders(volume, path, top.data(), count, &listing, out);
      }
    }
  }
  FreeListing(listing);
  CloseVolume(volume);
  return status;
}
