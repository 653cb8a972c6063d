// libFuzzer target: runs `ovxcli ls -R` on the input as a disk image, the
// whole recursive walk as the program makes it (FAT chains and folders
// entered down each path, the HFS catalog walked name by name), its output
// thrown away.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_image_file.h"
#include "ovxcli_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* sink = fopen("/dev/null", "w");
  if (!sink) abort();
  const std::string& path = WriteFuzzImage(data, size);
  const char* const argv[] = {"ovxcli", "ls", "-R", path.c_str()};
  const int status = RunOvxcli(4, argv, sink, sink);
  if (status != kExitOk && status != kExitFailure) abort();
  return 0;
}
