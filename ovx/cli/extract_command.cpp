#include "extract_command.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "apple_double.h"
#include "folder_path.h"
#include "folder_walk.h"
#include "host_files.h"
#include "host_names.h"
#include "list_directory.h"
#include "mac_file.h"
#include "ovxcli_run.h"
#include "volume_formats.h"

namespace {

// Progress is worth showing only where an extraction takes a while.
const uint64_t kLargeVolumeBytes = 32ull << 20;
const uint64_t kProgressStepBytes = 16ull << 20;

struct Extraction {
  Volume* volume;
  std::string dir;
  std::string topPath;  // FOLDER in the volume's syntax
  bool dataOnly;
  bool force;
  FILE* out;
  FILE* err;
  uint64_t folders = 0, files = 0, bytes = 0, failures = 0;
  uint64_t nextProgress = 0;             // 0: no progress shown
  std::set<std::string> blockedFolders;  // host paths (from DIR) of folders that could not be made
};

// A block of the process heap, released when it goes; null until allocated.
class HeapBlock {
 public:
  HeapBlock() = default;
  ~HeapBlock() {
    if (data_) HeapFree(GetProcessHeap(), 0, data_);
  }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  // Returns false when memory runs out or bytes is 0.
  bool Allocate(uint64_t bytes) {
    if (bytes != 0 && bytes <= SIZE_MAX) data_ = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(bytes)));
    return data_ != nullptr;
  }
  uint8_t* data() const { return data_; }

 private:
  uint8_t* data_ = nullptr;
};

HostFileTime TimeOf(const Extraction& x, const DirEntry& entry) {
  return HostFileTime{entry.modified, FormatRow(x.volume->format).utcDates};
}

std::string Joined(const std::string& folder, const std::string& name) { return folder.empty() ? name : folder + "/" + name; }

void Fail(Extraction* x, const std::string& what, const std::string& reason) {
  fprintf(x->err, "ovxcli: cannot write %s: %s\n", what.c_str(), reason.c_str());
  ++x->failures;
}

// The host's name for a volume's name, reported when it had to change.
std::string HostName(Extraction* x, const std::string& folder, const char* name) {
  bool changed = false;
  const std::string escaped = EscapeHostName(name, &changed);
  if (changed) fprintf(x->err, "ovxcli: name escaped: %s\n", Joined(folder, escaped).c_str());
  return escaped;
}

void ShowProgress(Extraction* x) {
  if (x->nextProgress == 0 || x->bytes < x->nextProgress) return;
  fprintf(x->err, "ovxcli: %llu files, %llu bytes so far\n", static_cast<unsigned long long>(x->files),
          static_cast<unsigned long long>(x->bytes));
  fflush(x->err);
  while (x->nextProgress <= x->bytes) x->nextProgress += kProgressStepBytes;
}

// Reads one fork of a Macintosh file; *length is set to what was read, cut
// to the fork. Returns false when that is less than the fork holds.
bool ReadFork(Volume* volume, const MacFileInfo& info, MacFork fork, HeapBlock* block, uint32_t* length) {
  *length = 0;
  const uint64_t wanted = info.forkLength[fork];
  if (wanted == 0) return true;
  if (wanted > UINT32_MAX || !block->Allocate(MacForkBufferBytes(volume, &info, fork))) return false;
  const uint32_t read = ReadMacFork(volume, &info, fork, block->data());
  *length = read < wanted ? read : static_cast<uint32_t>(wanted);
  return read >= wanted;
}

// Writes the data fork to the host file at path piece by piece, where the
// format reads forks so (HFS+, whose forks pass 4 GB): sets *reason to why
// the file could not be written ("" when it was), *length to the bytes
// written and *whole to whether that is the whole fork. Returns false,
// writing nothing, where the format reads forks only whole.
bool StreamDataFork(Extraction* x, const MacFileInfo& info, const std::string& path, const HostFileTime& modified,
                    std::string* reason, uint64_t* length, bool* whole) {
  MacForkReader reader;
  if (!OpenMacForkReader(x->volume, &info, MacDataFork, &reader)) {
    CloseMacForkReader(&reader);
    return false;
  }
  HeapBlock piece;
  *length = 0;
  *whole = false;
  if (!piece.Allocate(kHostFilePieceBytes)) {
    CloseMacForkReader(&reader);
    *reason = "out of memory";
    return true;
  }
  *reason = WriteHostFileFrom(
      path, reader.length,
      [&](uint64_t offset, size_t bytes, const uint8_t** data) {
        *data = piece.data();
        const uint32_t read = ReadMacForkAt(&reader, offset, piece.data(), static_cast<uint32_t>(bytes));
        *length = offset + read;
        return static_cast<size_t>(read);
      },
      x->force, modified);
  *whole = *length == reader.length;
  CloseMacForkReader(&reader);
  return true;
}

void WriteMacFile(Extraction* x, const std::string& folder, const std::string& name, const DirEntry& entry) {
  const std::string path = Joined(folder, name);
  MacFileInfo info;
  if (!ReadMacFileInfo(x->volume, &entry, &info)) return Fail(x, path, "its record cannot be found again");
  if (info.compressed) return Fail(x, path, "Mac OS X stored it compressed, which cannot be read");
  HeapBlock data, resource;
  uint64_t dataLength = 0;
  uint32_t resourceLength = 0;
  bool wholeData = true;
  std::string reason;
  if (!StreamDataFork(x, info, x->dir + "/" + path, TimeOf(*x, entry), &reason, &dataLength, &wholeData)) {
    uint32_t read = 0;
    wholeData = ReadFork(x->volume, info, MacDataFork, &data, &read);
    dataLength = read;
    reason = WriteHostFile(x->dir + "/" + path, data.data(), read, x->force, TimeOf(*x, entry));
  }
  const bool sidecar = !x->dataOnly && NeedsAppleDouble(info.finderInfo, info.forkLength[MacResourceFork]);
  const bool wholeResource = !sidecar || ReadFork(x->volume, info, MacResourceFork, &resource, &resourceLength);
  if (!reason.empty()) {
    Fail(x, path, reason);
  } else {
    ++x->files;
    x->bytes += dataLength;
    if (!wholeData) Fail(x, path, "the data fork could be read only in part");
  }
  if (reason.empty() && sidecar) {
    const std::vector<uint8_t> header =
        MakeAppleDouble(info.finderInfo, resource.data(), resourceLength);
    const std::string headerPath = Joined(folder, "._" + name);
    reason = WriteHostFile(x->dir + "/" + headerPath, header.data(), header.size(), x->force, TimeOf(*x, entry));
    if (!reason.empty()) {
      Fail(x, headerPath, reason);
    } else {
      x->bytes += resourceLength;
      if (!wholeResource) Fail(x, headerPath, "the resource fork could be read only in part");
    }
  }
}

void WriteOtherFile(Extraction* x, const std::string& folder, const std::string& name, const DirEntry& entry) {
  const std::string path = Joined(folder, name);
  const uint64_t room = EntryDataBufferBytes(x->volume, &entry);
  HeapBlock data;
  if (room != 0 && !data.Allocate(room)) return Fail(x, path, "out of memory");
  uint32_t length = room != 0 ? ReadEntryData(x->volume, data.data(), &entry) : 0;
  // Atari directories count whole sectors: what the chain holds is the file.
  const bool atari = FormatRow(x->volume->format).dataLength != nullptr;
  const bool whole = atari || length >= entry.size;
  if (!atari && length > entry.size) length = entry.size;
  const std::string reason = WriteHostFile(x->dir + "/" + path, data.data(), length, x->force, TimeOf(*x, entry));
  if (!reason.empty()) return Fail(x, path, reason);
  ++x->files;
  x->bytes += length;
  if (!whole) Fail(x, path, "the file could be read only in part");
}

// Writes the files of one folder's listing into the host folder at folder
// (from DIR) and makes its sub-folders there.
void ExtractListing(Extraction* x, const std::string& folder, const DirEntry* entries, int count) {
  const bool blocked = x->blockedFolders.count(folder) != 0;
  for (int i = 0; i < count; ++i) {
    const DirEntry& entry = entries[i];
    const bool isFolder = (entry.attributes & kDirEntryFolder) != 0;
    if (isFolder && !IsDescendable(x->volume, entry)) continue;
    const std::string name = HostName(x, folder, entry.name);
    const std::string path = Joined(folder, name);
    if (name.empty()) {
      Fail(x, Joined(folder, "\"\""), "the name is empty");
    } else if (blocked) {
      if (isFolder) x->blockedFolders.insert(path);
      if (!isFolder) Fail(x, path, "its folder could not be made");
    } else if (isFolder) {
      const std::string reason = MakeHostFolder(x->dir + "/" + path, false);
      if (reason.empty()) {
        ++x->folders;
      } else {
        Fail(x, path + "/", reason);
        x->blockedFolders.insert(path);
      }
    } else if (FormatRow(x->volume->format).macintosh) {
      WriteMacFile(x, folder, name, entry);
    } else {
      WriteOtherFile(x, folder, name, entry);
    }
    ShowProgress(x);
  }
}

// The host folder (from DIR) of a folder path of the volume below FOLDER:
// each of its names, escaped as its parent's listing escaped it.
std::string HostFolderOf(const Extraction& x, const std::string& path) {
  const char separator = FolderSeparator(x.volume->format);
  std::string host;
  size_t at = x.topPath.size();
  while (at < path.size()) {
    const size_t end = path.find(separator, at);
    bool changed = false;
    host = Joined(host, EscapeHostName(path.substr(at, end - at), &changed));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return host;
}

}  // namespace

int RunExtractCommand(int argc, const char* const* argv, FILE* out, FILE* err) {
  bool dataOnly = false, force = false;
  std::vector<const char*> operands;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "--data-only") == 0) {
      dataOnly = true;
    } else if (strcmp(argv[i], "--force") == 0) {
      force = true;
    } else if (strncmp(argv[i], "--", 2) == 0) {
      return kExitUsage;
    } else {
      operands.push_back(argv[i]);
    }
  }
  if (operands.size() < 2 || operands.size() > 3) return kExitUsage;
  const char* image = operands[0];
  const char* dir = operands[1];
  OpenedFolder opened;
  if (!OpenFolderOrReport(image, operands.size() == 3 ? operands[2] : "", &opened, err)) return kExitFailure;
  const std::string reason = MakeHostFolder(dir, true);
  if (!reason.empty()) {
    fprintf(err, "ovxcli: cannot write %s: %s\n", dir, reason.c_str());
    CloseFolder(&opened);
    return kExitFailure;
  }
  Extraction x;
  x.volume = opened.volume;
  x.dir = dir;
  x.topPath = opened.path;
  x.dataOnly = dataOnly;
  x.force = force;
  x.out = out;
  x.err = err;
  const uint64_t medium = MediumBytes(opened.volume);
  if (medium != UINT64_MAX && medium > kLargeVolumeBytes) x.nextProgress = kProgressStepBytes;
  ExtractListing(&x, "", opened.listing, opened.count);
  const bool whole = WalkSubFolders(opened, &opened.listing, [&x](const std::string& path, const DirEntry* entries, int count) {
    ExtractListing(&x, HostFolderOf(x, path), entries, count);
  });
  CloseFolder(&opened);
  if (!whole) {
    fprintf(err, "ovxcli: extraction stopped: the folders of %s hold more entries than it can\n", image);
    ++x.failures;
  }
  fprintf(out, "%llu folders, %llu files, %llu bytes\n", static_cast<unsigned long long>(x.folders),
          static_cast<unsigned long long>(x.files), static_cast<unsigned long long>(x.bytes));
  if (x.failures != 0) {
    fprintf(err, "ovxcli: %llu could not be written\n", static_cast<unsigned long long>(x.failures));
    return kExitFailure;
  }
  return kExitOk;
}
