#include "file_system_builders.h"

#include <algorithm>
#include <stdexcept>

namespace {

void PutBytes(Bytes& image, size_t offset, const Bytes& data) {
  if (offset + data.size() > image.size()) throw std::out_of_range("builder wrote past the image");
  std::copy(data.begin(), data.end(), image.begin() + offset);
}

void PutExtentRecord(Bytes& record, size_t offset, const std::vector<uint16_t>& extents) {
  for (size_t i = 0; i < extents.size() && i < 6; ++i) PutBE16(record, offset + 2 * i, extents[i]);
}

// Key of a catalog record: key length, reserved byte, parent id, name; the
// data then starts on an even offset.
Bytes CatalogKey(uint32_t parentId, const std::string& name) {
  Bytes key(7 + name.size());
  key[0] = static_cast<uint8_t>(6 + name.size());
  PutBE32(key, 2, parentId);
  key[6] = static_cast<uint8_t>(name.size());
  std::copy(name.begin(), name.end(), key.begin() + 7);
  if (key.size() % 2) key.push_back(0);
  return key;
}

Bytes Append(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void MarkMap(Bytes& node, size_t offset, size_t bytes, uint32_t firstNode, uint32_t totalNodes,
             const std::vector<uint32_t>& freeNodes) {
  for (size_t bit = 0; bit < bytes * 8; ++bit) {
    uint32_t n = firstNode + static_cast<uint32_t>(bit);
    if (n >= totalNodes || std::find(freeNodes.begin(), freeNodes.end(), n) != freeNodes.end()) continue;
    node[offset + bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
  }
}

}  // namespace

Bytes MakeHfsLayoutVolume(const HfsLayout& layout) {
  Bytes image = MakeHfsVolume(layout.sizeKB, layout.name);
  const size_t mdb = 1024;
  PutBE32(image, mdb + 20, layout.blockBytes);
  PutBE16(image, mdb + 28, layout.firstBlockSector);
  PutBE32(image, mdb + 130, layout.extentsBytes);
  PutExtentRecord(image, mdb + 134, layout.extentsExtents);
  PutBE32(image, mdb + 146, layout.catalogBytes);
  PutExtentRecord(image, mdb + 150, layout.catalogExtents);
  return image;
}

void PutForkBytes(Bytes& image, const HfsLayout& layout, const std::vector<uint16_t>& extents, uint64_t offset,
                  const Bytes& data) {
  for (size_t done = 0; done < data.size();) {
    uint64_t block = (offset + done) / layout.blockBytes;
    const uint64_t within = (offset + done) % layout.blockBytes;
    size_t e = 0;
    for (; e + 1 < extents.size() && block >= extents[e + 1]; e += 2) block -= extents[e + 1];
    if (e + 1 >= extents.size()) throw std::out_of_range("fork offset past its extents");
    const size_t at = layout.firstBlockSector * 512ull + (extents[e] + block) * layout.blockBytes + within;
    const size_t piece = std::min<size_t>(data.size() - done, layout.blockBytes - within);
    PutBytes(image, at, Bytes(data.begin() + done, data.begin() + done + piece));
    done += piece;
  }
}

void PutCatalogNode(Bytes& image, const HfsLayout& layout, uint32_t node, const Bytes& data) {
  PutForkBytes(image, layout, layout.catalogExtents, node * 512ull, data);
}

void PutExtentsNode(Bytes& image, const HfsLayout& layout, uint32_t node, const Bytes& data) {
  PutForkBytes(image, layout, layout.extentsExtents, node * 512ull, data);
}

Bytes MakeBTreeNode(uint8_t kind, const std::vector<Bytes>& records, uint32_t forwardLink) {
  Bytes node(512);
  PutBE32(node, 0, forwardLink);
  node[8] = kind;
  node[9] = kind == 0xFF ? 1 : 0;
  PutBE16(node, 10, static_cast<uint16_t>(records.size()));
  size_t at = 14;
  for (size_t i = 0; i < records.size(); ++i) {
    PutBE16(node, 510 - 2 * i, static_cast<uint16_t>(at));
    PutBytes(node, at, records[i]);
    at += records[i].size();
  }
  PutBE16(node, 510 - 2 * records.size(), static_cast<uint16_t>(at));
  if (at > 510 - 2 * records.size()) throw std::out_of_range("records overflow the node");
  return node;
}

Bytes MakeBTreeHeaderNode(uint32_t totalNodes, const std::vector<uint32_t>& freeNodes, uint32_t mapLink,
                          uint32_t rootNode) {
  Bytes header(106);
  PutBE32(header, 16 - 14, rootNode);
  PutBE16(header, 32 - 14, 512);         // node size
  PutBE32(header, 36 - 14, totalNodes);  // total nodes
  Bytes map(256);
  Bytes node = MakeBTreeNode(1, {header, Bytes(128), map}, mapLink);
  MarkMap(node, 14 + 106 + 128, 256, 0, totalNodes, freeNodes);
  return node;
}

Bytes MakeBTreeMapNode(uint32_t firstNode, const std::vector<uint32_t>& freeNodes, uint32_t forwardLink,
                       size_t mapBytes) {
  Bytes node = MakeBTreeNode(2, {Bytes(mapBytes)}, forwardLink);
  MarkMap(node, 14, mapBytes, firstNode, UINT32_MAX, freeNodes);
  return node;
}

Bytes HfsFolderRecord(uint32_t parentId, const std::string& name, uint32_t folderId, uint32_t modified) {
  Bytes data(70);
  data[0] = 1;
  PutBE32(data, 6, folderId);
  PutBE32(data, 14, modified);
  return Append(CatalogKey(parentId, name), data);
}

Bytes HfsFileRecord(uint32_t parentId, const std::string& name, const HfsFileSpec& file) {
  Bytes data(102);
  data[0] = 2;
  std::copy_n(file.type.begin(), std::min<size_t>(4, file.type.size()), data.begin() + 4);
  std::copy_n(file.creator.begin(), std::min<size_t>(4, file.creator.size()), data.begin() + 8);
  PutBE32(data, 20, file.fileId);
  PutBE32(data, 26, file.dataLength);
  PutBE32(data, 36, file.resourceLength);
  PutBE32(data, 48, file.modified);
  PutExtentRecord(data, 74, file.dataExtents);
  PutExtentRecord(data, 86, file.resourceExtents);
  return Append(CatalogKey(parentId, name), data);
}

Bytes HfsThreadRecord(uint32_t folderId, uint32_t parentId, const std::string& name) {
  Bytes data(46);
  data[0] = 3;
  PutBE32(data, 10, parentId);
  data[14] = static_cast<uint8_t>(name.size());
  std::copy(name.begin(), name.end(), data.begin() + 15);
  return Append(CatalogKey(folderId, ""), data);
}

Bytes HfsExtentsRecord(uint8_t forkType, uint32_t fileId, uint16_t startBlock, const std::vector<uint16_t>& extents) {
  Bytes record(8 + 12);
  record[0] = 7;
  record[1] = forkType;
  PutBE32(record, 2, fileId);
  PutBE16(record, 6, startBlock);
  PutExtentRecord(record, 8, extents);
  return record;
}

void PutEmptyExtentsTree(Bytes& image, const HfsLayout& layout) {
  PutExtentsNode(image, layout, 0, MakeBTreeHeaderNode(2));
  PutExtentsNode(image, layout, 1, MakeBTreeNode(0xFF, {}));
}

Bytes MakeMfsLayoutVolume(const MfsLayout& layout) {
  Bytes image = MakeMfsVolume(layout.sizeKB, layout.blockCount, layout.blockBytes);
  PutBE16(image, 1024 + 14, layout.directorySector);
  PutBE16(image, 1024 + 16, layout.directorySectors);
  PutBE16(image, 1024 + 28, layout.firstBlockSector);
  return image;
}

void PutMfsMapEntry(Bytes& image, uint16_t block, uint16_t value) {
  const size_t k = block - 2u;
  const size_t at = 1024 + 64 + k * 3 / 2;
  if (k % 2 == 0) {
    image.at(at) = static_cast<uint8_t>(value >> 4);
    image.at(at + 1) = static_cast<uint8_t>((image.at(at + 1) & 0x0F) | (value & 0x0F) << 4);
  } else {
    image.at(at) = static_cast<uint8_t>((image.at(at) & 0xF0) | (value >> 8 & 0x0F));
    image.at(at + 1) = static_cast<uint8_t>(value);
  }
}

void PutMfsFork(Bytes& image, const MfsLayout& layout, const std::vector<uint16_t>& blocks, const Bytes& data) {
  for (size_t i = 0; i < blocks.size(); ++i) {
    const size_t from = i * layout.blockBytes;
    if (from < data.size()) {
      const size_t piece = std::min<size_t>(layout.blockBytes, data.size() - from);
      PutBytes(image, layout.firstBlockSector * 512ull + (blocks[i] - 2ull) * layout.blockBytes,
               Bytes(data.begin() + from, data.begin() + from + piece));
    }
    PutMfsMapEntry(image, blocks[i], i + 1 < blocks.size() ? blocks[i + 1] : 1);
  }
}

Bytes MfsDirEntry(const std::string& name, const MfsFileSpec& file) {
  Bytes entry(51 + name.size() + (name.size() % 2 == 0 ? 1 : 0));
  entry[0] = 0x80;
  std::copy_n(file.type.begin(), std::min<size_t>(4, file.type.size()), entry.begin() + 2);
  std::copy_n(file.creator.begin(), std::min<size_t>(4, file.creator.size()), entry.begin() + 6);
  PutBE16(entry, 10, file.finderFlags);
  PutBE32(entry, 18, file.fileNumber);
  PutBE16(entry, 22, file.dataBlock);
  PutBE32(entry, 24, file.dataLength);
  PutBE16(entry, 32, file.resourceBlock);
  PutBE32(entry, 34, file.resourceLength);
  PutBE32(entry, 46, file.modified);
  entry[50] = static_cast<uint8_t>(name.size());
  std::copy(name.begin(), name.end(), entry.begin() + 51);
  return entry;
}

void PutMfsDirectory(Bytes& image, const MfsLayout& layout, const std::vector<Bytes>& entries) {
  size_t sector = layout.directorySector, at = 0;
  for (const Bytes& entry : entries) {
    if (at + entry.size() > 512) {
      ++sector;
      at = 0;
    }
    PutBytes(image, sector * 512 + at, entry);
    at += entry.size();
  }
}

Bytes FatDirEntry(const std::string& name11, uint8_t attributes, uint16_t firstCluster, uint32_t size, uint16_t date,
                  uint16_t time) {
  Bytes entry(32);
  std::copy_n(name11.begin(), std::min<size_t>(11, name11.size()), entry.begin());
  entry[11] = attributes;
  PutLE16(entry, 22, time);
  PutLE16(entry, 24, date);
  PutLE16(entry, 26, firstCluster);
  PutLE32(entry, 28, size);
  return entry;
}

size_t FatRootOffset(const FatParams& p) {
  return (p.reservedSectors + static_cast<size_t>(p.fatCount) * p.sectorsPerFat) * p.bytesPerSector;
}

size_t FatClusterOffset(const FatParams& p, uint32_t cluster) {
  const size_t rootBytes = (p.rootEntries * 32u + p.bytesPerSector - 1) / p.bytesPerSector * p.bytesPerSector;
  return FatRootOffset(p) + rootBytes + (cluster - 2) * static_cast<size_t>(p.sectorsPerCluster) * p.bytesPerSector;
}

void PutFatRootEntries(Bytes& image, const FatParams& p, const std::vector<Bytes>& entries) {
  for (size_t i = 0; i < entries.size(); ++i) PutBytes(image, FatRootOffset(p) + 32 * i, entries[i]);
}

void PutFatClusterBytes(Bytes& image, const FatParams& p, uint32_t cluster, const Bytes& data) {
  PutBytes(image, FatClusterOffset(p, cluster), data);
}

void PutFatEntry(Bytes& image, const FatParams& p, bool fat16, uint32_t cluster, uint32_t value) {
  for (unsigned fat = 0; fat < p.fatCount; ++fat) {
    const size_t base = (p.reservedSectors + static_cast<size_t>(fat) * p.sectorsPerFat) * p.bytesPerSector;
    if (fat16) {
      PutLE16(image, base + 2 * cluster, static_cast<uint16_t>(value));
      continue;
    }
    const size_t at = base + cluster * 3 / 2;
    uint16_t pair = static_cast<uint16_t>(image.at(at) | image.at(at + 1) << 8);
    pair = (cluster & 1) ? static_cast<uint16_t>((pair & 0x000F) | (value & 0xFFF) << 4)
                         : static_cast<uint16_t>((pair & 0xF000) | (value & 0xFFF));
    PutLE16(image, at, pair);
  }
}

void PutFatChain(Bytes& image, const FatParams& p, bool fat16, const std::vector<uint32_t>& clusters) {
  for (size_t i = 0; i < clusters.size(); ++i) {
    const uint32_t next = i + 1 < clusters.size() ? clusters[i + 1] : (fat16 ? 0xFFFF : 0xFFF);
    PutFatEntry(image, p, fat16, clusters[i], next);
  }
}

Bytes AtariDirEntry(uint8_t flags, uint16_t sectors, uint16_t firstSector, const std::string& name11) {
  Bytes entry(16);
  entry[0] = flags;
  PutLE16(entry, 1, sectors);
  PutLE16(entry, 3, firstSector);
  std::copy_n(name11.begin(), std::min<size_t>(11, name11.size()), entry.begin() + 5);
  return entry;
}

size_t AtariSectorOffset(bool atr, bool doubleDensity, uint32_t sector) {
  const size_t header = atr ? 16 : 0;
  if (!doubleDensity) return header + (sector - 1) * 128ull;
  if (!atr) return (sector - 1) * 256ull;
  return sector <= 3 ? header + (sector - 1) * 128ull : header + 3 * 128 + (sector - 4) * 256ull;
}

void PutAtariDirectoryAt(Bytes& image, bool atr, bool doubleDensity, uint32_t first, const std::vector<Bytes>& entries) {
  for (size_t i = 0; i < entries.size(); ++i) {
    PutBytes(image, AtariSectorOffset(atr, doubleDensity, first + static_cast<uint32_t>(i / 8)) + 16 * (i % 8),
             entries[i]);
  }
}

void PutAtariFile(Bytes& image, bool atr, bool doubleDensity, uint8_t fileNumber, const std::vector<uint16_t>& sectors,
                  const Bytes& data, bool numbered) {
  const size_t sectorBytes = doubleDensity ? 256 : 128, room = sectorBytes - 3;
  for (size_t i = 0; i < sectors.size(); ++i) {
    const size_t base = AtariSectorOffset(atr, doubleDensity, sectors[i]);
    const size_t from = std::min(data.size(), i * room);
    const size_t piece = std::min(room, data.size() - from);
    PutBytes(image, base, Bytes(data.begin() + from, data.begin() + from + piece));
    const uint16_t next = i + 1 < sectors.size() ? sectors[i + 1] : 0;
    image.at(base + sectorBytes - 3) = static_cast<uint8_t>(numbered ? fileNumber << 2 | next >> 8 : next >> 8);
    image.at(base + sectorBytes - 2) = static_cast<uint8_t>(next);
    image.at(base + sectorBytes - 1) = static_cast<uint8_t>(piece);
  }
}

void PutAtariDirectory(Bytes& image, bool atr, bool doubleDensity, const std::vector<Bytes>& entries) {
  size_t at = atr ? 16 : 0;
  if (!doubleDensity) {
    at += 360 * 128;
  } else {
    at += atr ? 3 * 128 + 357 * 256 : 360 * 256;  // ATR keeps three 128-byte boot sectors
  }
  for (size_t i = 0; i < entries.size(); ++i) PutBytes(image, at + 16 * i, entries[i]);
}

void PutAtariVtoc(Bytes& image, bool atr, bool doubleDensity, uint8_t dosCode, uint16_t usableSectors,
                  uint16_t freeSectors) {
  const size_t vtoc = AtariSectorOffset(atr, doubleDensity, 360);
  image.at(vtoc) = dosCode;
  PutLE16(image, vtoc + 1, usableSectors);
  PutLE16(image, vtoc + 3, freeSectors);
}

Bytes MakeBlankBootAtariDos(bool atr, bool doubleDensity, const Bytes& text) {
  Bytes image = MakeAtariDisk(false, atr, doubleDensity);
  std::fill(image.begin() + AtariSectorOffset(atr, doubleDensity, 1),
            image.begin() + AtariSectorOffset(atr, doubleDensity, 4), 0);
  const size_t room = doubleDensity ? 253 : 125;
  const uint16_t sectors = static_cast<uint16_t>(std::max<size_t>(1, (text.size() + room - 1) / room));
  std::vector<uint16_t> chain;
  for (uint16_t s = 4; s < 4 + sectors; ++s) chain.push_back(s);
  PutAtariFile(image, atr, doubleDensity, 0, chain, text);
  PutAtariVtoc(image, atr, doubleDensity, 2, 707, static_cast<uint16_t>(707 - sectors));
  PutAtariDirectory(image, atr, doubleDensity, {AtariDirEntry(0x42, sectors, 4, "README  TXT")});
  return image;
}
