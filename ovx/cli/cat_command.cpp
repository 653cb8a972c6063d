#include "cat_command.h"

#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "folder_path.h"
#include "list_directory.h"
#include "mac_file.h"
#include "ovxcli_run.h"

namespace {

// Pieces of a fork streamed to the output, so that a file of any size passes
// without being held whole.
const uint32_t kPieceBytes = 1u << 20;

const DirEntry* FindFile(const DirEntry* entries, int count, const char* name) {
  for (int i = 0; i < count; ++i) {
    if (!(entries[i].attributes & kDirEntryFolder) && strcmp(entries[i].name, name) == 0) return &entries[i];
  }
  return nullptr;
}

void SetBinary(FILE* out) {
#ifdef _WIN32
  // The file's bytes, not text: no LF may become CR LF.
  fflush(out);
  _setmode(_fileno(out), _O_BINARY);
#else
  (void)out;
#endif
}

int OutOfMemory(FILE* err) {
  fprintf(err, "ovxcli: out of memory\n");
  return kExitFailure;
}

int CannotWrite(FILE* err) {
  fprintf(err, "ovxcli: cannot write the data\n");
  return kExitFailure;
}

int StreamFork(MacForkReader* reader, const DirEntry* entry, FILE* out, FILE* err) {
  uint8_t* piece = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, kPieceBytes));
  if (!piece) return OutOfMemory(err);
  SetBinary(out);
  int status = kExitOk;
  for (uint64_t offset = 0; offset < reader->length && status == kExitOk;) {
    const uint64_t left = reader->length - offset;
    const uint32_t wanted = left < kPieceBytes ? static_cast<uint32_t>(left) : kPieceBytes;
    const uint32_t read = ReadMacForkAt(reader, offset, piece, wanted);
    if (fwrite(piece, 1, read, out) != read) {
      status = CannotWrite(err);
    } else if (read < wanted) {
      fprintf(err, "ovxcli: cannot read %s whole: %llu of %llu bytes were read\n", entry->name,
              static_cast<unsigned long long>(offset + read), static_cast<unsigned long long>(reader->length));
      status = kExitFailure;
    }
    offset += read;
  }
  HeapFree(GetProcessHeap(), 0, piece);
  return status;
}

int WriteFileData(Volume* volume, const DirEntry* entry, FILE* out, FILE* err) {
  if (!EntryDataReadable(volume, entry)) {
    fprintf(err, "ovxcli: cannot read %s: Mac OS X stored it compressed\n", entry->name);
    return kExitFailure;
  }
  MacForkReader reader;
  if (OpenEntryForkReader(volume, entry, &reader)) {
    const int status = StreamFork(&reader, entry, out, err);
    CloseMacForkReader(&reader);
    return status;
  }
  CloseMacForkReader(&reader);
  const uint64_t room = EntryDataBufferBytes(volume, entry);
  if (room == 0) return kExitOk;
  if (room > SIZE_MAX) return OutOfMemory(err);
  uint8_t* data = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(room)));
  if (!data) return OutOfMemory(err);
  uint32_t length = ReadEntryData(volume, data, entry);
  const uint32_t wanted = entry->dataSize != 0 ? entry->dataSize : entry->size;
  if (length > wanted) length = wanted;
  SetBinary(out);
  const bool written = fwrite(data, 1, length, out) == length;
  HeapFree(GetProcessHeap(), 0, data);
  return written ? kExitOk : CannotWrite(err);
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
