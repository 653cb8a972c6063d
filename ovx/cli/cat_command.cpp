#include "cat_command.h"

#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "folder_path.h"
#include "list_directory.h"
#include "ovxcli_run.h"

namespace {

const DirEntry* FindFile(const DirEntry* entries, int count, const char* name) {
  for (int i = 0; i < count; ++i) {
    if (!(entries[i].attributes & kDirEntryFolder) && strcmp(entries[i].name, name) == 0) return &entries[i];
  }
  return nullptr;
}

int WriteFileData(Volume* volume, const DirEntry* entry, FILE* out, FILE* err) {
  const uint64_t room = EntryDataBufferBytes(volume, entry);
  if (room == 0) return kExitOk;
  if (room > SIZE_MAX) {
    fprintf(err, "ovxcli: out of memory\n");
    return kExitFailure;
  }
  uint8_t* data = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(room)));
  if (!data) {
    fprintf(err, "ovxcli: out of memory\n");
    return kExitFailure;
  }
  uint32_t length = ReadEntryData(volume, data, entry);
  const uint32_t wanted = entry->dataSize != 0 ? entry->dataSize : entry->size;
  if (length > wanted) length = wanted;
#ifdef _WIN32
  // The file's bytes, not text: no LF may become CR LF.
  fflush(out);
  _setmode(_fileno(out), _O_BINARY);
#endif
  const bool written = fwrite(data, 1, length, out) == length;
  HeapFree(GetProcessHeap(), 0, data);
  if (!written) {
    fprintf(err, "ovxcli: cannot write the data\n");
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int RunCatCommand(int argc, const char* const* argv, FILE* out, FILE* err) {
  if (argc != 3) return kExitUsage;
  const char* name = argv[2];
  OpenedFolder opened;
  if (!OpenFolderOrReport(argv[0], argv[1], &opened, err)) return kExitFailure;
  int status = kExitFailure;
  const DirEntry* entry = FindFile(opened.listing, opened.count, name);
  if (!entry) {
    fprintf(err, "ovxcli: no such file: %s\n", name);
  } else {
    status = WriteFileData(opened.volume, entry, out, err);
  }
  CloseFolder(&opened);
  return status;
}
