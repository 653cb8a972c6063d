#include "fuzz_image_file.h"

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace {

std::string scratch;
std::string image;

void RemoveScratch() {
  unlink(image.c_str());
  rmdir(scratch.c_str());
}

}  // namespace

const std::string& WriteFuzzImage(const uint8_t* data, size_t size) {
  if (scratch.empty()) {
    char pattern[] = "/tmp/ovx-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) abort();
    scratch = pattern;
    image = scratch + "/image";
    atexit(RemoveScratch);
  }
  FILE* file = fopen(image.c_str(), "wb");
  if (!file) abort();
  if (size && fwrite(data, 1, size, file) != size) abort();
  fclose(file);
  return image;
}
