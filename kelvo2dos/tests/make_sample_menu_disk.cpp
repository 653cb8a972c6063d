// Writes the sample menu-disk image that `make run` lists: an ATR image with
// a few items, built by the same builder as the tests' images.
#include <cstdio>

#include "menu_disk_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_sample_menu_disk OUTPUT.atr\n");
    return 2;
  }
  std::vector<MenuItemSpec> items = {
      {"Q@block@zone", 0x0010, 24, 0x2000, 0x2010},
      {"@@Pac@man@Jr", 0x0030, 40, 0x3000, 0x3000},
      {"@@Kaboom^", 0x0060, 16, 0x8000, 0x8001},
      {"@@Oil@s@well", 0x0080, 32, 0x2800, 0x2800},
  };
  std::vector<uint8_t> image = MakeMenuDisk(items, true);
  FILE* file = fopen(argv[1], "wb");
  if (!file || fwrite(image.data(), 1, image.size(), file) != image.size() || fclose(file) != 0) {
    perror(argv[1]);
    return 1;
  }
  return 0;
}
