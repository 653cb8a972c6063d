#include "hfsplus_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>

namespace {

enum : uint32_t {
  kExtentsFileId = 3,
  kCatalogFileId = 4,
  kAllocationFileId = 6,
  kHeaderBytes = 512,
  kHeaderOffset = 1024,
  kFolderRecord = 1,
  kFileRecord = 2,
  kFolderThread = 3,
  kFileThread = 4,
  kExtentsPerRecord = 8,
};

void Put64(Bytes& out, size_t at, uint64_t value) {
  PutBE32(out, at, static_cast<uint32_t>(value >> 32));
  PutBE32(out, at + 4, static_cast<uint32_t>(value));
}

void Append16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void Append32(Bytes& out, uint32_t value) {
  Append16(out, static_cast<uint16_t>(value >> 16));
  Append16(out, static_cast<uint16_t>(value));
}

void PutCode(Bytes& out, size_t at, const std::string& code) {
  for (size_t i = 0; i < 4 && i < code.size(); ++i) out[at + i] = static_cast<uint8_t>(code[i]);
}

struct Extent {
  uint32_t start, count;
};

// A fork's place on the volume.
struct ForkPlace {
  uint64_t length = 0;
  std::vector<Extent> extents;
  uint32_t blocks() const {
    uint32_t n = 0;
    for (const Extent& e : extents) n += e.count;
    return n;
  }
};

// HFSPlusForkData: logical size, clump size, block count, eight extents.
void PutForkData(Bytes& out, size_t at, const ForkPlace& fork) {
  Put64(out, at, fork.length);
  PutBE32(out, at + 12, fork.blocks());
  for (size_t i = 0; i < fork.extents.size() && i < kExtentsPerRecord; ++i) {
    PutBE32(out, at + 16 + 8 * i, fork.extents[i].start);
    PutBE32(out, at + 20 + 8 * i, fork.extents[i].count);
  }
}

// One record of a B-tree: its key (with the key length first) and its data.
struct TreeRecord {
  Bytes key;
  Bytes data;
};

Bytes CatalogKey(uint32_t parentId, const std::u16string& name) {
  Bytes key;
  Append16(key, static_cast<uint16_t>(6 + 2 * name.size()));
  Append32(key, parentId);
  Append16(key, static_cast<uint16_t>(name.size()));
  for (char16_t c : name) Append16(key, c);
  return key;
}

// Key order: parent, then name; HFSX compares names unit by unit, HFS+
// without regard to the case of ASCII letters (enough for these tests).
bool CatalogKeyLess(const std::pair<uint32_t, std::u16string>& a, const std::pair<uint32_t, std::u16string>& b,
                    bool binary) {
  if (a.first != b.first) return a.first < b.first;
  auto fold = [binary](char16_t c) { return !binary && c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c + 32) : c; };
  return std::lexicographical_compare(a.second.begin(), a.second.end(), b.second.begin(), b.second.end(),
                                      [&](char16_t x, char16_t y) { return fold(x) < fold(y); });
}

// A B-tree file of the given node size holding records in key order: the
// header node, the leaves linked in order, and the index levels above them.
struct BuiltTree {
  std::vector<Bytes> nodes;
};

Bytes MakeNode(uint32_t nodeBytes, int8_t kind, uint8_t height, const std::vector<Bytes>& records) {
  Bytes node(nodeBytes);
  node[8] = static_cast<uint8_t>(kind);
  node[9] = height;
  PutBE16(node, 10, static_cast<uint16_t>(records.size()));
  size_t at = 14;
  for (size_t i = 0; i < records.size(); ++i) {
    PutBE16(node, nodeBytes - 2 * (i + 1), static_cast<uint16_t>(at));
    std::copy(records[i].begin(), records[i].end(), node.begin() + at);
    at += records[i].size();
  }
  PutBE16(node, nodeBytes - 2 * (records.size() + 1), static_cast<uint16_t>(at));
  return node;
}

// Packs records into nodes of nodeBytes, in order; each node with its first key.
std::vector<std::pair<std::vector<Bytes>, Bytes>> Pack(const std::vector<TreeRecord>& records, uint32_t nodeBytes) {
  std::vector<std::pair<std::vector<Bytes>, Bytes>> nodes;
  size_t used = 0;
  for (const TreeRecord& r : records) {
    Bytes record = r.key;
    record.insert(record.end(), r.data.begin(), r.data.end());
    if (nodes.empty() || used + record.size() + 2 > nodeBytes) {
      nodes.push_back({{}, r.key});
      used = 14 + 2;
    }
    nodes.back().first.push_back(record);
    used += record.size() + 2;
  }
  return nodes;
}

// Links the nodes of one level, numbered as given, forward and back in key order.
void LinkLevel(BuiltTree* tree, const std::vector<uint32_t>& numbers) {
  for (size_t i = 0; i < numbers.size(); ++i) {
    Bytes& node = tree->nodes[numbers[i]];
    PutBE32(node, 0, i + 1 < numbers.size() ? numbers[i + 1] : 0);
    PutBE32(node, 4, i > 0 ? numbers[i - 1] : 0);
  }
}

BuiltTree BuildTree(const std::vector<TreeRecord>& records, uint32_t nodeBytes, uint16_t maxKeyLength,
                    uint32_t attributes, uint8_t compareType, uint32_t spareNodes, bool leavesBackward) {
  BuiltTree tree;
  std::vector<std::pair<std::vector<Bytes>, Bytes>> level = Pack(records, nodeBytes);
  // Leaves take nodes 1 to n, in key order or, as on a volume whose nodes
  // were split and linked anew, from the last to the first.
  tree.nodes.assign(1 + level.size(), Bytes());
  std::vector<uint32_t> numbers;
  for (size_t i = 0; i < level.size(); ++i) {
    numbers.push_back(static_cast<uint32_t>(leavesBackward ? level.size() - i : i + 1));
    tree.nodes[numbers.back()] = MakeNode(nodeBytes, -1, 1, level[i].first);
  }
  LinkLevel(&tree, numbers);
  const uint32_t firstLeaf = numbers.empty() ? 0 : numbers.front();
  const uint32_t lastLeaf = numbers.empty() ? 0 : numbers.back();
  uint8_t height = 1;
  while (numbers.size() > 1) {
    std::vector<TreeRecord> pointers;
    for (size_t i = 0; i < level.size(); ++i) {
      TreeRecord pointer = {level[i].second, {}};
      if (!(attributes & 4)) {  // index keys of the fixed length
        pointer.key.resize(2 + maxKeyLength);
        PutBE16(pointer.key, 0, maxKeyLength);
      }
      Append32(pointer.data, numbers[i]);
      pointers.push_back(pointer);
    }
    level = Pack(pointers, nodeBytes);
    ++height;
    numbers.clear();
    for (const auto& node : level) {
      numbers.push_back(static_cast<uint32_t>(tree.nodes.size()));
      tree.nodes.push_back(MakeNode(nodeBytes, 0, height, node.first));
    }
    LinkLevel(&tree, numbers);
  }
  const uint32_t root = numbers.empty() ? 0 : numbers.front();
  const uint32_t usedNodes = static_cast<uint32_t>(tree.nodes.size());
  const uint32_t totalNodes = usedNodes + spareNodes;
  // The header node: the header record, 128 bytes of user data, the map.
  Bytes header(106);
  PutBE16(header, 0, records.empty() ? 0 : height);
  PutBE32(header, 2, root);
  PutBE32(header, 6, static_cast<uint32_t>(records.size()));
  PutBE32(header, 10, firstLeaf);
  PutBE32(header, 14, lastLeaf);
  PutBE16(header, 18, static_cast<uint16_t>(nodeBytes));
  PutBE16(header, 20, maxKeyLength);
  PutBE32(header, 22, totalNodes);
  PutBE32(header, 26, spareNodes);
  PutBE32(header, 32, nodeBytes);  // clump size
  header[37] = compareType;
  PutBE32(header, 38, attributes);
  Bytes map(nodeBytes - 14 - 106 - 128 - 8);
  for (uint32_t n = 0; n < usedNodes && n / 8 < map.size(); ++n) map[n / 8] |= static_cast<uint8_t>(0x80 >> (n % 8));
  tree.nodes[0] = MakeNode(nodeBytes, 1, 0, {header, Bytes(128), map});
  for (uint32_t i = 0; i < spareNodes; ++i) tree.nodes.emplace_back(nodeBytes);
  return tree;
}

struct Layout {
  uint32_t blockBytes;
  uint32_t next = 0;  // the next block not yet taken
  std::vector<Extent> taken;
  std::vector<std::pair<uint64_t, Bytes>> pieces;

  Extent Take(uint32_t count) {
    Extent e = {next, count};
    next += count;
    taken.push_back(e);
    return e;
  }
  void Skip(uint32_t count) { next += count; }
};

ForkPlace PlaceBytes(Layout& layout, const Bytes& bytes) {
  ForkPlace fork;
  fork.length = bytes.size();
  const uint32_t blocks = static_cast<uint32_t>((bytes.size() + layout.blockBytes - 1) / layout.blockBytes);
  if (blocks == 0) return fork;
  fork.extents.push_back(layout.Take(blocks));
  layout.pieces.emplace_back(static_cast<uint64_t>(fork.extents[0].start) * layout.blockBytes, bytes);
  return fork;
}

// The byte of the volume that holds byte offset of the fork.
uint64_t VolumeOffset(const ForkPlace& fork, uint64_t offset, uint32_t blockBytes) {
  uint64_t block = offset / blockBytes;
  for (const Extent& e : fork.extents) {
    if (block < e.count) return (e.start + block) * blockBytes + offset % blockBytes;
    block -= e.count;
  }
  return 0;
}

// Writes bytes at offset of the fork, block by block, wherever its extents put them.
void PutForkPiece(Layout& layout, const ForkPlace& fork, uint64_t offset, const Bytes& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const uint64_t at = VolumeOffset(fork, offset + done, layout.blockBytes);
    const size_t n = std::min<size_t>(bytes.size() - done, layout.blockBytes - (offset + done) % layout.blockBytes);
    layout.pieces.emplace_back(at, Bytes(bytes.begin() + done, bytes.begin() + done + n));
    done += n;
  }
}

ForkPlace PlaceDataFork(Layout& layout, const HfsPlusItem& item) {
  ForkPlace fork;
  fork.length = std::max<uint64_t>(item.dataLength, item.data.size());
  const uint64_t blocks = (fork.length + layout.blockBytes - 1) / layout.blockBytes;
  if (item.fragmentBlocks == 0) {
    if (blocks > 0) fork.extents.push_back(layout.Take(static_cast<uint32_t>(blocks)));
  } else {
    for (uint64_t left = blocks; left > 0;) {
      const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(left, item.fragmentBlocks));
      fork.extents.push_back(layout.Take(n));
      layout.Skip(1);  // left free, so that the next run is an extent of its own
      left -= n;
    }
  }
  if (!item.data.empty()) PutForkPiece(layout, fork, 0, item.data);
  if (!item.dataTail.empty()) PutForkPiece(layout, fork, fork.length - item.dataTail.size(), item.dataTail);
  return fork;
}

Bytes FolderRecord(const HfsPlusItem& item, uint32_t valence) {
  Bytes data(88);
  PutBE16(data, 0, kFolderRecord);
  PutBE32(data, 4, valence);
  PutBE32(data, 8, item.id);
  PutBE32(data, 12, item.created);
  PutBE32(data, 16, item.modified);
  PutBE32(data, 20, item.modified);
  PutBE32(data, 24, item.modified);
  PutBE16(data, 42, item.fileMode ? item.fileMode : 0x41ED);
  return data;
}

Bytes FileRecord(const HfsPlusItem& item, const ForkPlace& dataFork, const ForkPlace& resourceFork) {
  Bytes data(248);
  PutBE16(data, 0, kFileRecord);
  PutBE16(data, 2, 0x0002);  // a thread record exists
  PutBE32(data, 8, item.id);
  PutBE32(data, 12, item.created);
  PutBE32(data, 16, item.modified);
  PutBE32(data, 20, item.modified);
  PutBE32(data, 24, item.modified);
  data[41] = item.ownerFlags;
  PutBE16(data, 42, item.fileMode ? item.fileMode : 0x81A4);
  PutBE32(data, 44, item.special);
  PutCode(data, 48, item.type);
  PutCode(data, 52, item.creator);
  PutBE16(data, 56, item.finderFlags);
  PutForkData(data, 88, dataFork);
  PutForkData(data, 168, resourceFork);
  return data;
}

Bytes ThreadRecord(bool folder, uint32_t parentId, const std::u16string& name) {
  Bytes data(8);
  PutBE16(data, 0, folder ? kFolderThread : kFileThread);
  PutBE32(data, 4, parentId);
  Append16(data, static_cast<uint16_t>(name.size()));
  for (char16_t c : name) Append16(data, c);
  return data;
}

// The overflow records of a fork with more than eight extents.
void AddOverflowRecords(std::vector<TreeRecord>* records, uint32_t fileId, uint8_t forkType, const ForkPlace& fork) {
  uint32_t startBlock = 0;
  for (size_t i = 0; i < fork.extents.size(); i += kExtentsPerRecord) {
    if (i > 0) {
      TreeRecord record;
      Append16(record.key, 10);
      record.key.push_back(forkType);
      record.key.push_back(0);
      Append32(record.key, fileId);
      Append32(record.key, startBlock);
      record.data.resize(64);
      for (size_t k = 0; k < kExtentsPerRecord && i + k < fork.extents.size(); ++k) {
        PutBE32(record.data, 8 * k, fork.extents[i + k].start);
        PutBE32(record.data, 8 * k + 4, fork.extents[i + k].count);
      }
      records->push_back(record);
    }
    for (size_t k = 0; k < kExtentsPerRecord && i + k < fork.extents.size(); ++k) startBlock += fork.extents[i + k].count;
  }
}

ForkPlace PlaceTree(Layout& layout, const BuiltTree& tree) {
  Bytes bytes;
  for (const Bytes& node : tree.nodes) bytes.insert(bytes.end(), node.begin(), node.end());
  return PlaceBytes(layout, bytes);
}

}  // namespace

uint32_t AddHfsPlusFolder(HfsPlusPlan& plan, uint32_t parentId, const std::u16string& name, uint32_t modified) {
  HfsPlusItem item;
  item.id = kHfsPlusFirstUserId + static_cast<uint32_t>(plan.items.size());
  item.parentId = parentId;
  item.name = name;
  item.folder = true;
  item.created = item.modified = modified;
  plan.items.push_back(item);
  return item.id;
}

HfsPlusItem& AddHfsPlusFile(HfsPlusPlan& plan, uint32_t parentId, const std::u16string& name, const Bytes& data,
                            uint32_t modified) {
  HfsPlusItem item;
  item.id = kHfsPlusFirstUserId + static_cast<uint32_t>(plan.items.size());
  item.parentId = parentId;
  item.name = name;
  item.data = data;
  item.dataLength = data.size();
  item.created = item.modified = modified;
  plan.items.push_back(item);
  return plan.items.back();
}

void AddHfsPlusHardLink(HfsPlusPlan& plan, uint32_t parentId, const std::u16string& name, uint32_t targetId) {
  static const std::u16string kPrivate(u"\0\0\0\0HFS+ Private Data", 21);
  uint32_t privateId = 0;
  for (const HfsPlusItem& item : plan.items) {
    if (item.folder && item.parentId == kHfsPlusRootId && item.name == kPrivate) privateId = item.id;
  }
  if (privateId == 0) privateId = AddHfsPlusFolder(plan, kHfsPlusRootId, kPrivate);
  const size_t target = targetId - kHfsPlusFirstUserId;
  HfsPlusItem link;
  link.type = "hlnk";
  link.creator = "hfs+";
  link.special = targetId;
  link.created = link.modified = plan.items[target].modified;
  if (plan.items[target].parentId != privateId) {
    // The file itself becomes the first link; its record moves to the private folder.
    link.parentId = plan.items[target].parentId;
    link.name = plan.items[target].name;
    link.id = kHfsPlusFirstUserId + static_cast<uint32_t>(plan.items.size());
    plan.items.push_back(link);
    const std::string number = "iNode" + std::to_string(targetId);
    plan.items[target].parentId = privateId;
    plan.items[target].name.assign(number.begin(), number.end());
    plan.items[target].special = 1;
  }
  link.parentId = parentId;
  link.name = name;
  link.id = kHfsPlusFirstUserId + static_cast<uint32_t>(plan.items.size());
  plan.items.push_back(link);
  ++plan.items[target].special;  // the link count
}

HfsPlusPlan ManyFilesHfsPlusPlan(uint32_t files) {
  HfsPlusPlan plan;
  plan.volumeName = u"Photos";
  plan.rootModified = 3697765567u;
  std::vector<uint32_t> rolls;
  for (int year = 0; year < 10; ++year) {
    const std::string yearName = "Year " + std::to_string(2001 + year);
    const uint32_t yearId = AddHfsPlusFolder(plan, kHfsPlusRootId, std::u16string(yearName.begin(), yearName.end()),
                                             3000000000u + year * 31536000u);
    for (int roll = 0; roll < 100; ++roll) {
      char name[32];
      snprintf(name, sizeof name, "Roll %03d", roll);
      std::u16string rollName(name, name + strlen(name));
      if (roll % 10 == 9) rollName += u" été";
      rolls.push_back(AddHfsPlusFolder(plan, yearId, rollName, 3000000000u + year * 31536000u + roll * 86400u));
    }
  }
  for (uint32_t i = 0; i < files; ++i) {
    char name[32];
    snprintf(name, sizeof name, "IMG_%05u.JPG", i);
    const uint32_t roll = i % static_cast<uint32_t>(rolls.size());
    HfsPlusItem& file = AddHfsPlusFile(plan, rolls[roll], std::u16string(name, name + strlen(name)), {},
                                       3000000000u + i * 6007u);
    file.dataLength = 1 + i * 7919u % 8192;
    file.type = "JPEG";
    file.creator = "8BIM";
  }
  return plan;
}

SparseImage BuildHfsPlusVolume(const HfsPlusPlan& plan) {
  HfsPlusItem root;
  root.id = kHfsPlusRootId;
  root.parentId = 1;
  root.name = plan.volumeName;
  root.folder = true;
  root.created = root.modified = plan.rootModified;
  std::vector<HfsPlusItem> items = {root};
  items.insert(items.end(), plan.items.begin(), plan.items.end());

  Layout layout;
  layout.blockBytes = plan.blockBytes;
  // Boot blocks and the header: the first 1,536 bytes.
  layout.Take((kHeaderOffset + kHeaderBytes + plan.blockBytes - 1) / plan.blockBytes);

  // Files first, so that their fragments leave gaps in the volume.
  std::map<uint32_t, uint32_t> valence;
  for (const HfsPlusItem& item : items) ++valence[item.parentId];
  std::vector<ForkPlace> dataForks(items.size()), resourceForks(items.size());
  std::vector<TreeRecord> overflow;
  uint32_t files = 0, folders = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].folder) {
      if (items[i].id != kHfsPlusRootId) ++folders;
      continue;
    }
    ++files;
    dataForks[i] = PlaceDataFork(layout, items[i]);
    resourceForks[i] = PlaceBytes(layout, items[i].resource);
    AddOverflowRecords(&overflow, items[i].id, 0x00, dataForks[i]);
  }

  // The catalog: each item's record under (parent, name), its thread record under (id, "").
  std::vector<std::pair<std::pair<uint32_t, std::u16string>, TreeRecord>> keyed;
  for (size_t i = 0; i < items.size(); ++i) {
    const HfsPlusItem& item = items[i];
    TreeRecord record = {CatalogKey(item.parentId, item.name),
                         item.folder ? FolderRecord(item, valence[item.id]) : FileRecord(item, dataForks[i], resourceForks[i])};
    keyed.push_back({{item.parentId, item.name}, record});
    keyed.push_back({{item.id, u""}, TreeRecord{CatalogKey(item.id, u""), ThreadRecord(item.folder, item.parentId, item.name)}});
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [&plan](const auto& a, const auto& b) { return CatalogKeyLess(a.first, b.first, plan.hfsx); });
  std::vector<TreeRecord> catalogRecords;
  for (auto& k : keyed) catalogRecords.push_back(std::move(k.second));
  const BuiltTree catalog =
      BuildTree(catalogRecords, plan.catalogNodeBytes, 516, 6, plan.hfsx ? 0xBC : 0xCF, 8, plan.catalogLeavesBackward);
  const BuiltTree extents = BuildTree(overflow, plan.extentsNodeBytes, 10, 2, 0, 8, false);
  const ForkPlace extentsFork = PlaceTree(layout, extents);
  const ForkPlace catalogFork = PlaceTree(layout, catalog);
  // "com.apple.decmpfs" of each compressed file: inline data holding the
  // decmpfs header ("cmpf", compression 4 (in the resource fork), the length).
  std::vector<TreeRecord> attributes;
  for (const HfsPlusItem& item : items) {
    if (item.compressedLength == 0) continue;
    const std::u16string name = u"com.apple.decmpfs";
    TreeRecord record;
    Append16(record.key, static_cast<uint16_t>(12 + 2 * name.size()));
    Append16(record.key, 0);
    Append32(record.key, item.id);
    Append32(record.key, 0);
    Append16(record.key, static_cast<uint16_t>(name.size()));
    for (char16_t c : name) Append16(record.key, c);
    record.data.resize(16 + 16);
    PutBE32(record.data, 0, 0x10);
    PutBE32(record.data, 12, 16);
    const uint8_t header[16] = {'f', 'p', 'm', 'c', 4};
    std::copy(header, header + 16, record.data.begin() + 16);
    PutLE32(record.data, 16 + 8, static_cast<uint32_t>(item.compressedLength));
    PutLE32(record.data, 16 + 12, static_cast<uint32_t>(item.compressedLength >> 32));
    attributes.push_back(record);
  }
  ForkPlace attributesFork;
  if (!attributes.empty()) attributesFork = PlaceTree(layout, BuildTree(attributes, 4096, 266, 6, 0, 8, false));

  // The allocation bitmap, the spare blocks and the alternate header's block.
  const uint32_t bitmapBlocks = (layout.next + plan.freeBlocks + 16) / (8 * plan.blockBytes) + 1;
  const uint32_t dataEnd = layout.next + bitmapBlocks + plan.freeBlocks;
  const uint32_t tailBlocks = (1024 + plan.blockBytes - 1) / plan.blockBytes + 1;
  const uint32_t totalBlocks = dataEnd + tailBlocks;
  const Extent bitmapExtent = layout.Take(bitmapBlocks);
  Bytes bitmap(static_cast<size_t>(bitmapBlocks) * plan.blockBytes);
  // The blocks taken, and the last ones (the alternate header's).
  layout.taken.push_back(Extent{totalBlocks - tailBlocks, tailBlocks});
  for (const Extent& e : layout.taken) {
    for (uint32_t b = e.start; b < e.start + e.count; ++b) bitmap[b / 8] |= static_cast<uint8_t>(0x80 >> (b % 8));
  }
  layout.pieces.emplace_back(static_cast<uint64_t>(bitmapExtent.start) * plan.blockBytes, bitmap);
  ForkPlace allocationFork;
  allocationFork.length = bitmap.size();
  allocationFork.extents.push_back(bitmapExtent);
  uint32_t usedBlocks = 0;
  for (uint8_t byte : bitmap) usedBlocks += __builtin_popcount(byte);

  Bytes header(kHeaderBytes);
  header[0] = 'H';
  header[1] = plan.hfsx ? 'X' : '+';
  PutBE16(header, 2, plan.hfsx ? 5 : 4);
  PutBE32(header, 4, 0x00000100);  // unmounted cleanly
  PutCode(header, 8, "10.0");
  PutBE32(header, 16, plan.created);
  PutBE32(header, 20, plan.created);
  PutBE32(header, 32, files);
  PutBE32(header, 36, folders);
  PutBE32(header, 40, plan.blockBytes);
  PutBE32(header, 44, totalBlocks);
  PutBE32(header, 48, totalBlocks - usedBlocks);
  PutBE32(header, 52, layout.next);
  PutBE32(header, 56, plan.blockBytes);
  PutBE32(header, 60, plan.blockBytes);
  PutBE32(header, 64, kHfsPlusFirstUserId + static_cast<uint32_t>(items.size()) + 1);
  PutBE32(header, 68, 1);
  PutBE32(header, 76, 1);  // the Mac Roman encoding was used
  PutForkData(header, 112, allocationFork);
  PutForkData(header, 192, extentsFork);
  PutForkData(header, 272, catalogFork);
  PutForkData(header, 352, attributesFork);
  SparseImage image;
  image.size = static_cast<uint64_t>(totalBlocks) * plan.blockBytes;
  image.pieces = std::move(layout.pieces);
  image.pieces.emplace_back(kHeaderOffset, header);
  image.pieces.emplace_back(image.size - 1024, header);
  return image;
}

Bytes FlattenImage(const SparseImage& image) {
  Bytes bytes(static_cast<size_t>(image.size));
  for (const auto& piece : image.pieces) {
    std::copy(piece.second.begin(), piece.second.end(), bytes.begin() + static_cast<std::ptrdiff_t>(piece.first));
  }
  return bytes;
}

bool WriteSparseImage(const std::string& path, const SparseImage& image) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const auto& piece : image.pieces) {
    out.seekp(static_cast<std::streamoff>(piece.first));
    out.write(reinterpret_cast<const char*>(piece.second.data()), static_cast<std::streamsize>(piece.second.size()));
  }
  // The last byte sets the length; what lies before it unwritten stays a hole.
  out.seekp(static_cast<std::streamoff>(image.size - 1));
  char last = 0;
  for (const auto& piece : image.pieces) {
    if (piece.first + piece.second.size() == image.size) last = static_cast<char>(piece.second.back());
  }
  out.write(&last, 1);
  return static_cast<bool>(out);
}

Bytes WrapInHfs(const Bytes& plusVolume, uint16_t embedStartBlock) {
  // Blocks as small as a 16-bit count allows, as the wrapper's formatter chose them.
  uint32_t blockBytes = 512;
  while (plusVolume.size() / blockBytes + embedStartBlock + 8 > 65535) blockBytes *= 2;
  const uint32_t firstBlockSector = 4;  // after the boot blocks, the master directory block and the bitmap
  const uint32_t embedBlocks = static_cast<uint32_t>((plusVolume.size() + blockBytes - 1) / blockBytes);
  const uint32_t totalBlocks = embedStartBlock + embedBlocks + 2;
  Bytes image(firstBlockSector * 512 + static_cast<size_t>(totalBlocks) * blockBytes + 1024);
  const size_t mdb = 1024;
  image[mdb] = 'B';
  image[mdb + 1] = 'D';
  PutBE16(image, mdb + 14, 3);  // the volume bitmap's first sector
  PutBE16(image, mdb + 18, static_cast<uint16_t>(totalBlocks));
  PutBE32(image, mdb + 20, blockBytes);
  PutBE16(image, mdb + 28, firstBlockSector);
  const std::string name = "Wrapper";
  image[mdb + 36] = static_cast<uint8_t>(name.size());
  std::copy(name.begin(), name.end(), image.begin() + mdb + 37);
  image[mdb + 124] = 'H';
  image[mdb + 125] = '+';
  PutBE16(image, mdb + 126, embedStartBlock);
  PutBE16(image, mdb + 128, static_cast<uint16_t>(embedBlocks));
  const size_t at = firstBlockSector * 512 + static_cast<size_t>(embedStartBlock) * blockBytes;
  std::copy(plusVolume.begin(), plusVolume.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
  // The alternate master directory block, in the second-last sector.
  std::copy_n(image.begin() + mdb, 512, image.end() - 1024);
  return image;
}
