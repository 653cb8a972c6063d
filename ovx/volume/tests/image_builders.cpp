#include "image_builders.h"

#include <algorithm>

void PutBE16(Bytes& image, size_t offset, uint16_t value) {
  image.at(offset) = static_cast<uint8_t>(value >> 8);
  image.at(offset + 1) = static_cast<uint8_t>(value);
}

void PutBE32(Bytes& image, size_t offset, uint32_t value) {
  PutBE16(image, offset, static_cast<uint16_t>(value >> 16));
  PutBE16(image, offset + 2, static_cast<uint16_t>(value));
}

void PutLE16(Bytes& image, size_t offset, uint16_t value) {
  image.at(offset) = static_cast<uint8_t>(value);
  image.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void PutLE32(Bytes& image, size_t offset, uint32_t value) {
  PutLE16(image, offset, static_cast<uint16_t>(value));
  PutLE16(image, offset + 2, static_cast<uint16_t>(value >> 16));
}

Bytes MakeNumberedSectors(uint32_t sectors) {
  Bytes image(static_cast<size_t>(sectors) * 512);
  for (uint32_t s = 0; s < sectors; ++s) {
    size_t base = static_cast<size_t>(s) * 512;
    PutBE32(image, base, s);
    // 0x80 and up: never a signature byte that detection looks for at these places.
    for (size_t i = 4; i < 512; ++i) image[base + i] = static_cast<uint8_t>(0x80 | ((s + i) & 0x3F));
  }
  return image;
}

uint32_t SectorNumberAt(const uint8_t* sector) {
  return static_cast<uint32_t>(sector[0]) << 24 | sector[1] << 16 | sector[2] << 8 | sector[3];
}

Bytes MakeHfsVolume(uint32_t sizeKB, const std::string& name) {
  Bytes image(static_cast<size_t>(sizeKB) * 1024);
  const size_t mdb = 1024;
  image[mdb] = 0x42;
  image[mdb + 1] = 0x44;
  PutBE32(image, mdb + 20, 1024);  // allocation block size
  PutBE16(image, mdb + 18, static_cast<uint16_t>(sizeKB - 4));
  image[mdb + 36] = static_cast<uint8_t>(std::min<size_t>(name.size(), 27));
  std::copy_n(name.begin(), image[mdb + 36], image.begin() + mdb + 37);
  return image;
}

Bytes MakeMfsVolume(uint32_t sizeKB, uint16_t allocationBlocks, uint32_t allocationBlockBytes) {
  Bytes image(static_cast<size_t>(sizeKB) * 1024);
  const size_t mdb = 1024;
  image[mdb] = 0xD2;
  image[mdb + 1] = 0xD7;
  PutBE16(image, mdb + 18, allocationBlocks);
  PutBE32(image, mdb + 20, allocationBlockBytes);
  return image;
}

Bytes WithHeader(const Bytes& disk, size_t length, uint8_t fill) {
  Bytes image(length + disk.size(), fill);
  std::copy(disk.begin(), disk.end(), image.begin() + length);
  return image;
}

Bytes WithDiskCopyHeader(const Bytes& disk, const std::string& name) {
  Bytes image = WithHeader(disk, 84, 0);
  image[0] = static_cast<uint8_t>(std::min<size_t>(name.size(), 63));
  std::copy_n(name.begin(), image[0], image.begin() + 1);
  PutBE32(image, 64, static_cast<uint32_t>(disk.size()));  // data size
  image[80] = 2;                                            // format byte: 800 KB
  PutBE16(image, 82, 0x0100);                               // private word of the format
  return image;
}

Bytes WithTaggedDiskCopyHeader(const Bytes& disk400K, const std::string& name) {
  Bytes image = WithDiskCopyHeader(disk400K, name);
  const uint32_t tagBytes = static_cast<uint32_t>(disk400K.size() / 512 * 12);
  PutBE32(image, 68, tagBytes);
  image[80] = 0;
  image[81] = 0x12;
  for (uint32_t i = 0; i < tagBytes; ++i) image.push_back(static_cast<uint8_t>(i % 12 == 0 ? 0xA5 : i));
  return image;
}

Bytes MakePartitionedDisk(uint32_t totalBlocks, const std::vector<PartitionSpec>& partitions,
                          const std::vector<Bytes>& contents) {
  Bytes image(static_cast<size_t>(totalBlocks) * 512);
  image[0] = 'E';
  image[1] = 'R';
  PutBE16(image, 2, 512);
  PutBE32(image, 4, totalBlocks);
  for (size_t i = 0; i < partitions.size(); ++i) {
    const PartitionSpec& p = partitions[i];
    size_t entry = (i + 1) * 512;
    image[entry] = 'P';
    image[entry + 1] = 'M';
    PutBE32(image, entry + 4, static_cast<uint32_t>(partitions.size()));
    PutBE32(image, entry + 8, p.start);
    PutBE32(image, entry + 12, p.blocks);
    std::copy_n(p.name.begin(), std::min<size_t>(p.name.size(), 31), image.begin() + entry + 16);
    std::copy_n(p.type.begin(), std::min<size_t>(p.type.size(), 31), image.begin() + entry + 48);
  }
  for (size_t i = 0; i < contents.size() && i < partitions.size(); ++i) {
    size_t start = static_cast<size_t>(partitions[i].start) * 512;
    size_t length = std::min(contents[i].size(), image.size() - std::min(image.size(), start));
    std::copy_n(contents[i].begin(), length, image.begin() + start);
  }
  return image;
}

std::vector<PartitionSpec> UsualPartitionMap(uint32_t hfsStart, uint32_t hfsBlocks) {
  return {
      {"Apple", "Apple_partition_map", 1, 63},
      {"Macintosh", "Apple_Driver43", 64, hfsStart - 64},
      {"Disk", "Apple_HFS", hfsStart, hfsBlocks},
  };
}

FatParams Fat720KFloppy() { return FatParams{}; }

FatParams Fat1440KFloppy() {
  FatParams p;
  p.sectorsPerCluster = 1;
  p.rootEntries = 224;
  p.totalSectors = 2880;
  p.media = 0xF0;
  p.sectorsPerFat = 9;
  p.sectorsPerTrack = 18;
  return p;
}

FatParams AtariStFloppy() {
  FatParams p;
  p.jump = 0x60;
  return p;
}

FatParams FatHardDisk(uint32_t totalSectors, uint8_t sectorsPerCluster) {
  FatParams p;
  p.sectorsPerCluster = sectorsPerCluster;
  p.rootEntries = 512;
  p.totalSectors = totalSectors;
  p.media = 0xF8;
  // Room for 16-bit entries of every cluster, in 512-byte FAT sectors.
  uint32_t clusters = totalSectors / sectorsPerCluster + 2;
  p.sectorsPerFat = static_cast<uint16_t>((clusters * 2 + 511) / 512);
  p.sectorsPerTrack = 32;
  p.sides = 4;
  return p;
}

Bytes MakeFatBootSector(const FatParams& p) {
  Bytes boot(512);
  boot[0] = p.jump;
  boot[1] = p.jump == 0xEB ? 0x3C : 0x1C;
  boot[2] = 0x90;
  std::copy_n("ORVANTA ", 8, boot.begin() + 3);
  PutLE16(boot, 11, p.bytesPerSector);
  boot[13] = p.sectorsPerCluster;
  PutLE16(boot, 14, p.reservedSectors);
  boot[16] = p.fatCount;
  PutLE16(boot, 17, p.rootEntries);
  if (p.totalSectors <= 0xFFFF) {
    PutLE16(boot, 19, static_cast<uint16_t>(p.totalSectors));
  } else {
    PutLE32(boot, 32, p.totalSectors);
  }
  boot[21] = p.media;
  PutLE16(boot, 22, p.sectorsPerFat);
  PutLE16(boot, 24, p.sectorsPerTrack);
  PutLE16(boot, 26, p.sides);
  boot[510] = 0x55;
  boot[511] = 0xAA;
  return boot;
}

Bytes MakeFatVolume(const FatParams& p) {
  Bytes image(static_cast<size_t>(p.totalSectors) * p.bytesPerSector);
  Bytes boot = MakeFatBootSector(p);
  std::copy(boot.begin(), boot.end(), image.begin());
  for (unsigned fat = 0; fat < p.fatCount; ++fat) {
    size_t at = (p.reservedSectors + static_cast<size_t>(fat) * p.sectorsPerFat) * p.bytesPerSector;
    image.at(at) = p.media;
    image.at(at + 1) = 0xFF;
    image.at(at + 2) = 0xFF;
  }
  return image;
}

Bytes MakeAtariDisk(bool myDos, bool atr, bool doubleDensity) {
  const size_t sectorBytes = doubleDensity ? 256 : 128;
  // ATR images keep the three boot sectors at 128 bytes on double-density disks.
  const size_t dataBytes = doubleDensity && atr ? 3 * 128 + 717 * sectorBytes : 720 * sectorBytes;
  Bytes image(dataBytes);
  image[0] = myDos ? 0x4D : 0x00;
  image[1] = 0x03;
  image[2] = 0x00;
  image[3] = 0x07;
  if (!atr) return image;
  image = WithHeader(image, 16, 0);
  image[0] = 0x96;
  image[1] = 0x02;
  PutLE16(image, 2, static_cast<uint16_t>(dataBytes / 16));
  PutLE16(image, 4, static_cast<uint16_t>(sectorBytes));
  image[6] = static_cast<uint8_t>(dataBytes / 16 >> 16);
  return image;
}
