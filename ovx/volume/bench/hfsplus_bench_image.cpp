// Writes the HFS+ volume of tools/bench-listing: a photo library of 100,000
// files in 1,010 folders (ManyFilesHfsPlusPlan), sparse on disk. By hand
// only; not a test.
//   hfsplus_bench_image IMAGE [FILES]
#include <cstdio>
#include <cstdlib>

#include "hfsplus_builder.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: hfsplus_bench_image IMAGE [FILES]\n");
    return 2;
  }
  const uint32_t files = argc == 3 ? static_cast<uint32_t>(strtoul(argv[2], nullptr, 10)) : 100000;
  return WriteSparseImage(argv[1], BuildHfsPlusVolume(ManyFilesHfsPlusPlan(files))) ? 0 : 1;
}
