// Writes starting images for fuzz_hfsplus into the folder given: small HFS+
// volumes of each kind (plain, HFSX, inside an HFS wrapper, behind a
// partition map), with a fork in the extents overflow file, a catalog of
// several levels, names outside Latin-1, a hard link, a compressed file and
// a fork that claims more than 4 GB.
#include <cstdio>
#include <string>

#include "hfsplus_builder.h"
#include "image_builders.h"

namespace {

HfsPlusPlan Sample() {
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  plan.blockBytes = 512;
  plan.extentsNodeBytes = 512;
  plan.freeBlocks = 2;
  const uint32_t docs = AddHfsPlusFolder(plan, kHfsPlusRootId, u"Docs", 3697765567u);
  const uint32_t greek = AddHfsPlusFolder(plan, docs, u"\u03A0\u03B1\u03BB\u03B9\u03AC");
  HfsPlusItem& letter = AddHfsPlusFile(plan, docs, u"Cafe\u0301", Bytes(700, 'a'), 3697765567u);
  letter.type = "TEXT";
  letter.creator = "ttxt";
  letter.resource = Bytes(100, 'r');
  AddHfsPlusFile(plan, greek, u"\U0001F600 \u6F22", Bytes(3, 'e'));
  AddHfsPlusFile(plan, kHfsPlusRootId, u"Scattered", Bytes(512 * 60, 's')).fragmentBlocks = 1;
  HfsPlusItem& packed = AddHfsPlusFile(plan, kHfsPlusRootId, u"Packed", {});
  packed.ownerFlags = 0x20;
  packed.resource = Bytes(50, 'p');
  packed.compressedLength = 6000000000ull;
  const uint32_t target = AddHfsPlusFile(plan, docs, u"Shared", Bytes(20, 'h')).id;
  AddHfsPlusHardLink(plan, kHfsPlusRootId, u"Shared link", target);
  return plan;
}

bool Write(const std::string& folder, const std::string& name, const Bytes& image) {
  FILE* file = fopen((folder + "/" + name).c_str(), "wb");
  if (!file) return false;
  const bool written = fwrite(image.data(), 1, image.size(), file) == image.size();
  return fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  HfsPlusPlan plan = Sample();
  const Bytes plus = FlattenImage(BuildHfsPlusVolume(plan));
  // A fork's length past 4 GB, though its extents hold a few blocks: the
  // data fork of the first file record, found by its type.
  Bytes huge = plus;
  for (size_t at = 0; at + 8 <= huge.size(); ++at) {
    if (std::string(huge.begin() + at, huge.begin() + at + 8) == "TEXTttxt") {
      PutBE32(huge, at - 48 + 88, 1);
      break;
    }
  }
  plan.hfsx = true;
  const Bytes hfsx = FlattenImage(BuildHfsPlusVolume(plan));
  HfsPlusPlan many;
  many.blockBytes = 512;
  many.freeBlocks = 2;
  for (int i = 0; i < 120; ++i) AddHfsPlusFile(many, kHfsPlusRootId, u"File " + std::u16string(1, u'A' + i % 26) + std::u16string(i / 26 + 1, u'x'), {});
  const uint32_t blocks = static_cast<uint32_t>(plus.size() / 512);
  const bool ok = Write(folder, "plain.img", plus) && Write(folder, "huge-fork.img", huge) &&
                  Write(folder, "hfsx.img", hfsx) && Write(folder, "wrapped.img", WrapInHfs(plus, 4)) &&
                  Write(folder, "deep-catalog.img", FlattenImage(BuildHfsPlusVolume(many))) &&
                  Write(folder, "partitioned.img",
                        MakePartitionedDisk(96 + blocks, UsualPartitionMap(96, blocks), {{}, {}, plus}));
  return ok ? 0 : 1;
}
