// libFuzzer target: the first input byte picks the menu item number (0 to
// 11, so invalid choices are tried too), the rest is the image. Runs the
// whole program in a scratch folder and removes what it wrote.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <dirent.h>
#include <unistd.h>

#include "kelvo2dos_run.h"

namespace {

std::string scratch;

void ClearScratch() {
  if (DIR* dir = opendir(".")) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") unlink(name.c_str());
    }
    closedir(dir);
  }
}

void RemoveScratch() {
  ClearScratch();
  if (chdir("/") == 0) rmdir(scratch.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (scratch.empty()) {
    char pattern[] = "/tmp/kelvo2dos-fuzz-XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0) abort();
    scratch = pattern;
    atexit(RemoveScratch);
  }
  if (size == 0) return 0;
  FILE* image = fopen("image.atr", "wb");
  fwrite(data + 1, 1, size - 1, image);
  fclose(image);
  FILE* out = fopen("/dev/null", "w");
  std::string item = std::to_string(data[0] % 12);
  const char* argv[] = {"KELVO2DOS", "image.atr", item.c_str()};
  RunKelvo2Dos(data[0] & 0x80 ? 2 : 3, argv, out);
  fclose(out);
  ClearScratch();
  return 0;
}
