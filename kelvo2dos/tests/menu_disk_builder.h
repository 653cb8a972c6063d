// Builds Kelvo menu-disk images byte by byte for tests and for the sample
// image of `make run`.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct MenuItemSpec {
  std::string storedName;  // up to 20 bytes as stored on disk, padded with '@'
  unsigned startSector = 0;  // 0 leaves the item empty
  uint8_t sectorCount = 0;
  uint16_t loadAddress = 0;
  uint16_t runAddress = 0;
};

// The byte that the builder stores at byte `offset` of sector `sector`, outside
// the item headers: distinct per sector so a wrong offset shows.
inline uint8_t SectorFill(unsigned sector, unsigned offset) {
  return static_cast<uint8_t>(sector * 7 + offset);
}

// An image of `sectors` 128-byte sectors holding a menu with up to nine items
// (items[i] is item i + 1), each item's header written into its start sector.
// With atr, a 16-byte ATR header precedes the sectors.
inline std::vector<uint8_t> MakeMenuDisk(const std::vector<MenuItemSpec>& items, bool atr,
                                         unsigned sectors = 720) {
  const size_t header = atr ? 16 : 0;
  std::vector<uint8_t> image(header + 128u * sectors);
  uint8_t* data = image.data() + header;
  for (unsigned s = 1; s <= sectors; ++s) {
    for (unsigned i = 0; i < 128; ++i) data[128 * (s - 1) + i] = SectorFill(s, i);
  }
  if (atr) {
    uint32_t paragraphs = 128u * sectors / 16;
    image[0] = 0x96;
    image[1] = 0x02;
    image[2] = static_cast<uint8_t>(paragraphs);
    image[3] = static_cast<uint8_t>(paragraphs >> 8);
    image[4] = 128;
    image[5] = 0;
    image[6] = static_cast<uint8_t>(paragraphs >> 16);
    for (int i = 7; i < 16; ++i) image[i] = 0;
  }
  data[2] = 0x00;
  data[3] = 0x9A;
  data[4] = 0x64;
  for (unsigned i = 0; i < 9; ++i) {
    MenuItemSpec item = i < items.size() ? items[i] : MenuItemSpec{};
    data[238 + i] = static_cast<uint8_t>(item.startSector >> 8);
    data[247 + i] = static_cast<uint8_t>(item.startSector);
    std::string name = item.storedName;
    name.resize(20, '@');
    for (unsigned c = 0; c < 20; ++c) data[313 + 20 * i + c] = static_cast<uint8_t>(name[c]);
  }
  for (const MenuItemSpec& item : items) {
    if (item.startSector == 0 || item.startSector > sectors) continue;
    uint8_t* first = data + 128 * (item.startSector - 1);
    first[1] = item.sectorCount;
    first[2] = static_cast<uint8_t>(item.loadAddress);
    first[3] = static_cast<uint8_t>(item.loadAddress >> 8);
    first[4] = static_cast<uint8_t>(item.runAddress);
    first[5] = static_cast<uint8_t>(item.runAddress >> 8);
  }
  return image;
}

// The expected content of an item's load file, computed from the image
// independently of the converter.
inline std::vector<uint8_t> ExpectedLoadFile(const std::vector<uint8_t>& image, bool atr,
                                             const MenuItemSpec& item) {
  const size_t start = (atr ? 16 : 0) + 128u * (item.startSector - 1);
  const unsigned end = (item.loadAddress + 128u * item.sectorCount - 1) & 0xFFFF;
  std::vector<uint8_t> file;
  auto put16 = [&file](unsigned value) {
    file.push_back(static_cast<uint8_t>(value));
    file.push_back(static_cast<uint8_t>(value >> 8));
  };
  put16(0xFFFF);
  put16(item.loadAddress);
  put16(end);
  for (size_t i = 0; i < 128u * item.sectorCount; ++i) file.push_back(image.at(start + i));
  for (unsigned vector : {0x02E2u, 0x02E0u}) {
    put16(vector);
    put16(vector + 1);
    put16(item.runAddress);
  }
  return file;
}
