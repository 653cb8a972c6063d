#include "image_open.h"

#include <cstdint>

const char* OpenFailureReason(DWORD error, char* scratch, size_t scratchSize) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "no such file";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_SHARING_VIOLATION: return "in use by another program";
    case ERROR_FILENAME_EXCED_RANGE: return "path too long";
    case ERROR_NOT_ENOUGH_MEMORY: return "out of memory";
    default:
      snprintf(scratch, scratchSize, "error %lu", static_cast<unsigned long>(error));
      return scratch;
  }
}

Volume* OpenImageOrReport(const char* path, FILE* err) {
  // ovxcli reads only what listings return, never the volume's catalog, and writes names in UTF-8.
  Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path), OpenReadOnly | OpenCompactCatalog | OpenUtf8Names);
  if (!volume) {
    char scratch[32];
    fprintf(err, "ovxcli: cannot open %s: %s\n", path, OpenFailureReason(GetLastError(), scratch, sizeof scratch));
  }
  return volume;
}
