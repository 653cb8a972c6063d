// The volume of the HFS extents fuzz target: a 64 KB HFS volume whose file
// Big (id 20, 60 blocks of 512 bytes) has three extents in its catalog record
// and needs the extents overflow file, eight nodes at blocks 4 to 11, for
// the rest. The fuzz input takes the place of that file's nodes.
#pragma once
#include "file_system_builders.h"

inline HfsLayout ExtentsFuzzLayout() {
  HfsLayout layout;
  layout.sizeKB = 64;
  layout.blockBytes = 512;
  layout.firstBlockSector = 4;
  layout.catalogExtents = {0, 4};
  layout.catalogBytes = 4 * 512;
  layout.extentsExtents = {4, 8};
  layout.extentsBytes = 8 * 512;
  return layout;
}

enum { kExtentsFuzzFileOffset = (4 + 4) * 512, kExtentsFuzzFileBytes = 8 * 512 };

inline Bytes MakeExtentsFuzzVolume() {
  const HfsLayout layout = ExtentsFuzzLayout();
  Bytes image = MakeHfsLayoutVolume(layout);
  HfsFileSpec big;
  big.fileId = 20;
  big.dataLength = 60 * 512;
  big.dataExtents = {20, 1, 22, 1, 24, 1};
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(2));
  PutCatalogNode(image, layout, 1, MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsFileRecord(2, "Big", big)}));
  return image;
}
