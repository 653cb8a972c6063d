// Writes starting inputs for fuzz_kelvo2dos into the folder given: small
// valid menu disks (XFD and ATR) with the item-number byte in front.
#include <cstdio>
#include <string>

#include "menu_disk_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::vector<MenuItemSpec> items = {
      {"Q@block@zone", 5, 2, 0x2000, 0x2010},
      {"@@Pac@man", 7, 0, 0xFF80, 0x3000},
      {},
      {"@@after@empty", 8, 3, 0x4000, 0x4001},
  };
  int count = 0;
  for (bool atr : {false, true}) {
    for (uint8_t item : {1, 2, 4, 0x80}) {
      std::vector<uint8_t> input = {item};
      std::vector<uint8_t> image = MakeMenuDisk(items, atr, 10);
      input.insert(input.end(), image.begin(), image.end());
      std::string path = std::string(argv[1]) + "/seed" + std::to_string(count++);
      FILE* file = fopen(path.c_str(), "wb");
      if (!file) return 1;
      fwrite(input.data(), 1, input.size(), file);
      fclose(file);
    }
  }
  return 0;
}
