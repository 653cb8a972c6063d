// Writes starting images for fuzz_list_volume into the folder given: small
// HFS, MFS, FAT12, FAT16 and Atari DOS volumes with folders and files, so
// that short runs begin inside the readers rather than in detection.
#include <algorithm>
#include <cstdio>
#include <string>

#include "file_system_builders.h"
#include "image_builders.h"

namespace {

Bytes SmallHfs() {
  HfsLayout layout;
  layout.sizeKB = 16;
  layout.blockBytes = 512;
  layout.firstBlockSector = 4;
  layout.catalogExtents = {0, 4, 6, 2};
  layout.catalogBytes = 6 * 512;
  layout.extentsExtents = {4, 2};
  layout.extentsBytes = 2 * 512;
  Bytes image = MakeHfsLayoutVolume(layout);
  PutExtentsNode(image, layout, 0, MakeBTreeHeaderNode(2));
  PutExtentsNode(image, layout, 1, MakeBTreeNode(0xFF, {HfsExtentsRecord(0x00, 20, 2, {14, 2})}));
  HfsFileSpec file;
  file.fileId = 20;
  file.dataLength = 1800;
  file.resourceLength = 10;
  file.dataExtents = {10, 1, 12, 1};
  file.resourceExtents = {9, 1};
  HfsFileSpec icon;
  icon.fileId = 21;
  icon.resourceLength = 300;
  icon.resourceExtents = {16, 1};
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(6, {4}));
  PutCatalogNode(image, layout, 1,
                 MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsThreadRecord(2, 1, "Disk"),
                                      HfsFolderRecord(2, "Folder", 16), HfsFileRecord(2, "File", file)}));
  PutCatalogNode(image, layout, 2, MakeBTreeNode(0, {HfsFolderRecord(2, "Index", 2)}));
  PutCatalogNode(image, layout, 5, MakeBTreeNode(0xFF, {HfsFolderRecord(16, "Inner", 17), HfsFileRecord(17, "Icon", icon)}));
  PutForkBytes(image, layout, {10, 1, 12, 1, 14, 2}, 0, Bytes(1800, 'h'));
  return image;
}

Bytes SmallMfs() {
  Bytes image = MakeMfsVolume(8, 4, 1024);
  PutBE16(image, 1024 + 14, 4);
  PutBE16(image, 1024 + 16, 2);
  size_t at = 4 * 512;
  for (const std::string name : {"Letter", "Tool"}) {
    image[at] = 0x80;
    std::copy_n("TEXTMACA", 8, image.begin() + at + 2);
    PutBE32(image, at + 24, 100);
    PutBE16(image, at + 22, name == "Letter" ? 2 : 5);  // first allocation block
    image[at + 50] = static_cast<uint8_t>(name.size());
    std::copy(name.begin(), name.end(), image.begin() + at + 51);
    at += 51 + name.size() + (name.size() % 2 == 0 ? 1 : 0);
  }
  // Blocks from sector 8: Letter in blocks 2 and 3, Tool in 5, whose map entry points back at itself.
  PutBE16(image, 1024 + 28, 8);
  PutMfsMapEntry(image, 2, 3);
  PutMfsMapEntry(image, 3, 1);
  PutMfsMapEntry(image, 5, 5);
  return image;
}

Bytes SmallFat(bool fat16) {
  FatParams p = fat16 ? FatHardDisk(8400, 1) : FatParams{};
  if (!fat16) {
    p.sectorsPerCluster = 1;
    p.rootEntries = 16;
    p.totalSectors = 64;
    p.sectorsPerFat = 1;
  }
  p.reservedSectors = fat16 ? 2 : 1;
  Bytes image = MakeFatVolume(p);
  if (fat16) image.resize(FatClusterOffset(p, 12));
  PutFatRootEntries(image, p, {FatDirEntry("README  TXT", 0x20, 4, 700, 0x2821, 0x6000),
                               FatDirEntry("GAMES      ", 0x10, 2, 0), FatDirEntry("\xE5OLD    TXT", 0x20, 6, 5)});
  PutFatChain(image, p, fat16, {2});
  Bytes games = FatDirEntry("..         ", 0x10, 0, 0);
  const Bytes pac = FatDirEntry("PAC     COM", 0x20, 3, 100);
  games.insert(games.end(), pac.begin(), pac.end());
  PutFatClusterBytes(image, p, 2, games);
  PutFatChain(image, p, fat16, {3});
  PutFatChain(image, p, fat16, {4, 5});
  PutFatClusterBytes(image, p, 4, Bytes(700, 'r'));
  return image;
}

Bytes SmallAtari() {
  Bytes image = MakeAtariDisk(true, false, false);
  PutAtariDirectory(image, false, false,
                    {AtariDirEntry(0x42, 10, 4, "DOS     SYS"), AtariDirEntry(0x62, 3, 20, "GAME    OBJ"),
                     AtariDirEntry(0x80, 1, 30, "GONE       ")});
  image.resize(368 * 128);
  return image;
}

// MyDOS with a sub-folder and files in sector chains, on a double-density
// ATR image whose first three sectors are 128 bytes long.
Bytes AtariFolders() {
  Bytes image = MakeAtariDisk(true, true, true);
  PutAtariDirectory(image, true, true,
                    {AtariDirEntry(0x42, 2, 4, "DOS     SYS"), AtariDirEntry(0x10, 8, 369, "GAMES      ")});
  PutAtariDirectoryAt(image, true, true, 369, {AtariDirEntry(0x42, 2, 377, "PONG    BAS")});
  PutAtariFile(image, true, true, 0, {4, 5}, Bytes(300, 'd'));
  PutAtariFile(image, true, true, 0, {377, 378}, Bytes(260, 'p'));
  image.resize(16 + 3 * 128 + 376 * 256);
  PutLE16(image, 2, static_cast<uint16_t>((image.size() - 16) / 16));  // the header's length in paragraphs
  return image;
}

// The hostile cases: folders that point back at an ancestor, records that
// overlap, a huge allocation block, clusters shared by folders, 2 GB sizes,
// a directory longer than the medium.
Bytes HfsLoop() {
  Bytes image = SmallHfs();
  HfsLayout layout;
  layout.blockBytes = 512;
  layout.firstBlockSector = 4;
  layout.catalogExtents = {0, 4, 6, 2};
  PutCatalogNode(image, layout, 5, MakeBTreeNode(0xFF, {HfsFolderRecord(16, "Back", 2), HfsFolderRecord(16, "Self", 16)}));
  return image;
}

Bytes HfsOverlap() {
  Bytes image = SmallHfs();
  const size_t node = (4 + 1) * 512;  // catalog node 1
  const size_t second = image[node + 508] << 8 | image[node + 509];
  image[node + 11] = 30;
  for (int r = 1; r <= 30; ++r) PutBE16(image, node + 510 - 2 * r, static_cast<uint16_t>(second));
  return image;
}

Bytes HfsHugeBlock() {
  Bytes image = SmallHfs();
  PutBE32(image, 1024 + 20, 0x40000000);
  return image;
}

Bytes FatLoop() {
  Bytes image = SmallFat(false);
  FatParams p;
  p.sectorsPerCluster = 1;
  p.rootEntries = 16;
  p.totalSectors = 64;
  p.sectorsPerFat = 1;
  Bytes games = FatDirEntry("SELF       ", 0x10, 2, 0);
  const Bytes shared = FatDirEntry("SHARED     ", 0x10, 4, 0);
  const Bytes huge = FatDirEntry("HUGE    DAT", 0x20, 4, 0x80000000u);
  games.insert(games.end(), shared.begin(), shared.end());
  games.insert(games.end(), huge.begin(), huge.end());
  PutFatClusterBytes(image, p, 2, games);
  return image;
}

// A directory that claims 65,535 sectors, far past the image's end.
Bytes MfsLongDirectory() {
  Bytes image = SmallMfs();
  PutBE16(image, 1024 + 16, 0xFFFF);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::pair<const char*, Bytes> seeds[] = {
      {"hfs", SmallHfs()}, {"mfs", SmallMfs()}, {"fat12", SmallFat(false)}, {"fat16", SmallFat(true)},
      {"atari", SmallAtari()}, {"atari-folders", AtariFolders()},
      {"atari-blank-boot", MakeBlankBootAtariDos(true, false, Bytes(300, 'b'))}, {"hfs-loop", HfsLoop()},
      {"hfs-overlap", HfsOverlap()},
      {"hfs-huge-block", HfsHugeBlock()}, {"fat-loop", FatLoop()}, {"mfs-long-directory", MfsLongDirectory()},
  };
  for (const auto& seed : seeds) {
    if (!WriteFileBytes(std::string(argv[1]) + "/" + seed.first, seed.second)) return 1;
  }
  return 0;
}
