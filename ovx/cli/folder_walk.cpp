#include "folder_walk.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>
#include <vector>

#include "list_directory.h"
#include "volume_formats.h"

namespace {

struct Walk {
  Volume* volume;
  char separator;
  std::unordered_set<uint32_t> listed;  // FolderKey of every folder listed or waiting
  std::vector<std::string> stack;       // paths waiting, the next on top
  uint64_t entries;
  uint64_t entryBound;
};

// Puts the paths of the sub-folders among entries on the stack, last first,
// so that they come off it in listing order; a folder met before is left out.
void PushSubFolders(Walk* walk, const std::string& path, const DirEntry* entries, int count) {
  const size_t waiting = walk->stack.size();
  for (int i = 0; i < count; ++i) {
    if (IsDescendable(walk->volume, entries[i]) && walk->listed.insert(FolderKey(walk->volume, entries[i])).second) {
      walk->stack.push_back(path + entries[i].name + walk->separator);
    }
  }
  std::reverse(walk->stack.begin() + static_cast<std::ptrdiff_t>(waiting), walk->stack.end());
}

}  // namespace

bool IsDescendable(const Volume* volume, const DirEntry& entry) {
  if (!(entry.attributes & kDirEntryFolder)) return false;
  // A Macintosh folder of that name is a folder like any other.
  if (FormatRow(volume->format).macintosh) return true;
  return strcmp(entry.name, ".") != 0 && strcmp(entry.name, "..") != 0;
}

bool WalkSubFolders(const OpenedFolder& opened, DirEntry** listing, const FolderVisitor& visit) {
  Walk walk = {opened.volume, FolderSeparator(opened.volume->format), {}, {}, 0, 0};
  walk.entryBound = MediumBytes(opened.volume) / 16;
  walk.listed.insert(opened.key);
  walk.entries = static_cast<uint64_t>(opened.count);
  PushSubFolders(&walk, opened.path, opened.listing, opened.count);
  while (!walk.stack.empty()) {
    const std::string folder = std::move(walk.stack.back());
    walk.stack.pop_back();
    if (folder.size() >= MAX_PATH) continue;
    const int folderCount = ListDirectory(walk.volume, folder.c_str(), listing);
    walk.entries += static_cast<uint64_t>(folderCount);
    if (walk.entries > walk.entryBound) return false;
    visit(folder, *listing, folderCount);
    PushSubFolders(&walk, folder, *listing, folderCount);
  }
  return true;
}
