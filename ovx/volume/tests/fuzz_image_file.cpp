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
    // In memory where the machine has it: every input is written whole, and
    // on a disk-backed /tmp that took a good share of each run.
    char inMemory[] = "/dev/shm/ovx-fuzz-XXXXXX";
    char onDisk[] = "/tmp/ovx-fuzz-XXXXXX";
    const char* made = mkdtemp(inMemory);
    if (!made) made = mkdtemp(onDisk);
    if (!made) abort();
    scratch = made;
    image = scratch + "/image";
    atexit(RemoveScratch);
  }
  FILE* file = fopen(image.c_str(), "wb");
  if (!file) abort();
  if (size && fwrite(data, 1, size, file) != size) abort();
  fclose(file);
  return image;
}
