#include "ls_command.h"

#include <cstring>
#include <string>
#include <vector>

#include "folder_path.h"
#include "list_directory.h"
#include "ovxcli_run.h"

namespace {

// Type and creator: printable ASCII as it is, any other byte as '?'; "-" when all four are zero.
char* PutFourChars(char* at, const uint8_t* bytes) {
  if (bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0) {
    *at++ = '-';
    return at;
  }
  for (int i = 0; i < 4; ++i) *at++ = bytes[i] >= 0x20 && bytes[i] <= 0x7E ? static_cast<char>(bytes[i]) : '?';
  return at;
}

char* PutDigits(char* at, unsigned value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
  return at + width;
}

char* PutNumber(char* at, uint32_t value) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value);
  while (n) *at++ = digits[--n];
  return at;
}

// Straight from the FILETIME, which already holds local time.
char* PutModified(char* at, const FILETIME& modified) {
  SYSTEMTIME t;
  if ((modified.dwLowDateTime == 0 && modified.dwHighDateTime == 0) || !FileTimeToSystemTime(&modified, &t)) {
    *at++ = '-';
    return at;
  }
  at = PutDigits(at, t.wYear, 4);
  *at++ = '-';
  at = PutDigits(at, t.wMonth, 2);
  *at++ = '-';
  at = PutDigits(at, t.wDay, 2);
  *at++ = ' ';
  at = PutDigits(at, t.wHour, 2);
  *at++ = ':';
  at = PutDigits(at, t.wMinute, 2);
  *at++ = ':';
  return PutDigits(at, t.wSecond, 2);
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
  // Formatted by hand: a recursive listing of a large volume prints tens of thousands of lines.
  char line[MAX_PATH + 96];
  const size_t nameLength = strnlen(entry->name, sizeof entry->name);
  memcpy(line, entry->name, nameLength);
  char* at = line + nameLength;
  *at++ = '\t';
  *at++ = (entry->attributes & kDirEntryFolder) ? 'd' : '-';
  *at++ = '\t';
  at = PutNumber(at, entry->size);
  *at++ = '\t';
  at = PutNumber(at, entry->dataSize);
  *at++ = '\t';
  at = PutFourChars(at, entry->macType);
  *at++ = '\t';
  at = PutFourChars(at, entry->macCreator);
  *at++ = '\t';
  at = PutModified(at, entry->modified);
  *at++ = '\n';
  fwrite(line, 1, static_cast<size_t>(at - line), out);
}

int RunLsCommand(int argc, const char* const* argv, FILE* out, FILE* err) {
  bool recursive = false;
  if (argc > 0 && strcmp(argv[0], "-R") == 0) {
    recursive = true;
    --argc;
    ++argv;
  }
  if (argc < 1 || argc > 2) return kExitUsage;
  OpenedFolder opened;
  if (!OpenFolderOrReport(argv[0], argc == 2 ? argv[1] : "", &opened, err)) return kExitFailure;
  PrintListing(opened.listing, opened.count, out);
  if (recursive) {
    std::vector<DirEntry> top(opened.listing, opened.listing + opened.count);
    ListSubFolders(opened.volume, opened.path, top.data(), opened.count, &opened.listing, out);
  }
  CloseFolder(&opened);
  return kExitOk;
}
