#include "info_command.h"

#include "image_open.h"
#include "ovxcli_run.h"
#include "volume_formats.h"

const char* FormatName(VolumeFormat format) { return FormatRow(format).name; }

int RunInfoCommand(int argc, const char* const* argv, FILE* out, FILE* err) {
  if (argc != 1) return kExitUsage;
  Volume* volume = OpenImageOrReport(argv[0], err);
  if (!volume) return kExitFailure;
  fprintf(out, "format=%s partitionStart=%ld headerLength=%ld sizeKB=%ld\n", FormatName(volume->format),
          static_cast<long>(volume->partitionStart), static_cast<long>(volume->headerLength),
          static_cast<long>(volume->sizeKB));
  CloseVolume(volume);
  return kExitOk;
}
