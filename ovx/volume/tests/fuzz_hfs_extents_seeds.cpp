// Writes starting inputs for fuzz_hfs_extents: extents overflow files that
// continue Big in one leaf, through an index node, and in many short records.
#include <string>

#include "file_system_builders.h"
#include "fuzz_hfs_extents_volume.h"

namespace {

Bytes Nodes(const std::vector<Bytes>& nodes) {
  Bytes file;
  for (const Bytes& node : nodes) file.insert(file.end(), node.begin(), node.end());
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const Bytes leaf = Nodes({MakeBTreeHeaderNode(8),
                            MakeBTreeNode(0xFF, {HfsExtentsRecord(0x00, 19, 0, {30, 2}),
                                                 HfsExtentsRecord(0x00, 20, 3, {30, 20, 60, 37})})});
  const Bytes index = Nodes({MakeBTreeHeaderNode(8, {}, 0, 3), MakeBTreeNode(0xFF, {HfsExtentsRecord(0x00, 20, 3, {30, 20})}),
                             MakeBTreeNode(0xFF, {HfsExtentsRecord(0x00, 20, 23, {60, 37})}),
                             MakeBTreeNode(0x00, {Bytes{7, 0, 0, 0, 0, 20, 0, 3, 0, 0, 0, 1},
                                                  Bytes{7, 0, 0, 0, 0, 20, 0, 23, 0, 0, 0, 2}})});
  std::vector<Bytes> records;
  for (uint16_t block = 3; block < 17; ++block) {
    records.push_back(HfsExtentsRecord(0x00, 20, block, {static_cast<uint16_t>(30 + block), 1}));
  }
  const Bytes many = Nodes({MakeBTreeHeaderNode(8), MakeBTreeNode(0xFF, records)});
  const std::pair<const char*, Bytes> seeds[] = {{"leaf", leaf}, {"index", index}, {"many", many}};
  for (const auto& seed : seeds) {
    if (!WriteFileBytes(std::string(argv[1]) + "/" + seed.first, seed.second)) return 1;
  }
  return 0;
}
