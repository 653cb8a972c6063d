// Timings of the listings (Google Benchmark; built, never run by the tests):
// appending to a listing with spare room against growing it one entry at a
// time, reading and listing an HFS catalog of 100,000 files, the same of an
// HFS+ photo library of 100,000 files, and walking every folder of a FAT16
// tree of 5,000 files as ls -R does.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "file_system_builders.h"
#include "hfsplus_builder.h"
#include "image_builders.h"
#include "list_directory.h"
#include "test_files.h"

namespace {

void BM_AppendEntry(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  DirEntry entry = {};
  int growths = 0;
  for (auto _ : state) {
    DirEntry* block = nullptr;
    SIZE_T capacity = 0;
    growths = 0;
    for (int i = 0; i < count; ++i) {
      AppendEntry(&block, &entry, i);
      const SIZE_T now = HeapSize(GetProcessHeap(), 0, block);
      if (now != capacity) ++growths;
      capacity = now;
    }
    benchmark::DoNotOptimize(block);
    HeapFree(GetProcessHeap(), 0, block);
  }
  state.counters["growths"] = growths;
  state.SetComplexityN(count);
}
BENCHMARK(BM_AppendEntry)->RangeMultiplier(10)->Range(1000, 1000000)->Complexity();

// For comparison: the block grown to exactly one more entry each time. The
// native heap's realloc can often grow in place, so this shows more of the
// cost on the platform's heap than here.
void BM_GrowOneEntryAtATime(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  DirEntry entry = {};
  for (auto _ : state) {
    DirEntry* block = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
    for (int i = 0; i < count; ++i) {
      block = static_cast<DirEntry*>(HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, (i + 1) * sizeof(DirEntry)));
      block[i] = entry;
    }
    benchmark::DoNotOptimize(block);
    HeapFree(GetProcessHeap(), 0, block);
  }
  state.SetComplexityN(count);
}
BENCHMARK(BM_GrowOneEntryAtATime)->RangeMultiplier(10)->Range(1000, 1000000)->Complexity();

// An HFS volume whose catalog holds `files` files in folders of 100, four
// records to a leaf node.
struct BigCatalog {
  ScratchDir dir;
  std::string path;
  explicit BigCatalog(uint32_t files) {
    const uint32_t folders = files / 100;
    HfsLayout layout;
    layout.blockBytes = 4096;
    const uint32_t leaves = (files + folders + 1 + 3) / 4;
    const uint16_t catalogBlocks = static_cast<uint16_t>((leaves + 1) * 512 / 4096 + 1);
    layout.catalogExtents = {0, catalogBlocks};
    layout.catalogBytes = catalogBlocks * 4096u;
    layout.extentsExtents = {catalogBlocks, 1};
    layout.extentsBytes = 4096;
    layout.sizeKB = (catalogBlocks + 2) * 4 + 16;
    Bytes image = MakeHfsLayoutVolume(layout);
    PutEmptyExtentsTree(image, layout);
    std::vector<Bytes> records = {HfsFolderRecord(1, "Disk", 2)};
    for (uint32_t f = 0; f < folders; ++f) records.push_back(HfsFolderRecord(2, "Folder " + std::to_string(f), 100 + f));
    for (uint32_t i = 0; i < files; ++i) {
      HfsFileSpec file;
      file.fileId = 1000000 + i;
      records.push_back(HfsFileRecord(100 + i / 100, "File " + std::to_string(i), file));
    }
    PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(leaves + 1));
    for (uint32_t n = 0; n < leaves; ++n) {
      std::vector<Bytes> leaf(records.begin() + std::min<size_t>(records.size(), n * 4),
                              records.begin() + std::min<size_t>(records.size(), n * 4 + 4));
      PutCatalogNode(image, layout, n + 1, MakeBTreeNode(0xFF, leaf));
    }
    path = dir.File("big.img");
    WriteFileBytes(path, image);
  }
};

// Argument 1: with the volume's DirEntry catalog (the explorer's way);
// 0: compact only (ovxcli's way).
void BM_HfsReadCatalog(benchmark::State& state) {
  BigCatalog catalog(static_cast<uint32_t>(state.range(0)));
  const int flags = OpenReadOnly | (state.range(1) ? 0 : OpenCompactCatalog);
  Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(catalog.path.c_str()), flags);
  DirEntry* block = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  for (auto _ : state) benchmark::DoNotOptimize(ListDirectory(volume, "", &block));
  state.counters["entries"] = volume->catalogCount;
  HeapFree(GetProcessHeap(), 0, block);
  CloseVolume(volume);
}
BENCHMARK(BM_HfsReadCatalog)
    ->ArgsProduct({{1000, 10000, 100000}, {1, 0}})
    ->ArgNames({"files", "dirEntries"})
    ->Unit(benchmark::kMillisecond);

// Every folder of the catalog listed once, as ls -R does after reading it.
void BM_HfsListEveryFolder(benchmark::State& state) {
  const uint32_t files = static_cast<uint32_t>(state.range(0));
  BigCatalog catalog(files);
  Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(catalog.path.c_str()), OpenReadOnly);
  DirEntry* block = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  ListDirectory(volume, "", &block);
  for (auto _ : state) {
    for (uint32_t f = 0; f < files / 100; ++f) {
      benchmark::DoNotOptimize(ListDirectory(volume, ("Disk:Folder " + std::to_string(f) + ":").c_str(), &block));
    }
  }
  HeapFree(GetProcessHeap(), 0, block);
  CloseVolume(volume);
  state.SetComplexityN(files);
}
BENCHMARK(BM_HfsListEveryFolder)->RangeMultiplier(10)->Range(1000, 100000)->Complexity()->Unit(benchmark::kMillisecond);

// The HFS+ photo library of tools/bench-listing: ten year folders of a
// hundred rolls, the files spread over the rolls.
struct PhotoLibrary {
  ScratchDir dir;
  std::string path;
  std::vector<std::string> rolls;  // every roll's path
  explicit PhotoLibrary(uint32_t files) {
    path = dir.File("photos.img");
    WriteSparseImage(path, BuildHfsPlusVolume(ManyFilesHfsPlusPlan(files)));
    Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly | OpenUtf8Names);
    DirEntry* block = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
    ListDirectory(volume, "", &block);
    const int years = ListDirectory(volume, "Photos:", &block);
    std::vector<std::string> yearNames;
    for (int y = 0; y < years; ++y) yearNames.push_back(block[y].name);
    for (const std::string& year : yearNames) {
      const std::string yearPath = "Photos:" + year + ":";
      const int count = ListDirectory(volume, yearPath.c_str(), &block);
      for (int r = 0; r < count; ++r) rolls.push_back(yearPath + block[r].name + ":");
    }
    HeapFree(GetProcessHeap(), 0, block);
    CloseVolume(volume);
  }
};

// Argument 1: names in UTF-8 (ovxcli's way); 0: in the ANSI code page (the
// explorer's way), composed where they are not ASCII.
void BM_HfsPlusReadCatalog(benchmark::State& state) {
  PhotoLibrary library(static_cast<uint32_t>(state.range(0)));
  const int flags = OpenReadOnly | (state.range(1) ? OpenUtf8Names | OpenCompactCatalog : 0);
  Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(library.path.c_str()), flags);
  DirEntry* block = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  for (auto _ : state) benchmark::DoNotOptimize(ListDirectory(volume, "", &block));
  HeapFree(GetProcessHeap(), 0, block);
  CloseVolume(volume);
}
BENCHMARK(BM_HfsPlusReadCatalog)
    ->ArgsProduct({{10000, 100000}, {1, 0}})
    ->ArgNames({"files", "utf8"})
    ->Unit(benchmark::kMillisecond);

// Every roll of the library listed once, as ls -R does after reading the catalog.
void BM_HfsPlusListEveryFolder(benchmark::State& state) {
  PhotoLibrary library(static_cast<uint32_t>(state.range(0)));
  Volume* volume =
      OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(library.path.c_str()), OpenReadOnly | OpenUtf8Names);
  DirEntry* block = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  ListDirectory(volume, "", &block);
  int entries = 0;
  for (auto _ : state) {
    entries = 0;
    for (const std::string& roll : library.rolls) entries += ListDirectory(volume, roll.c_str(), &block);
  }
  state.counters["entries"] = entries;
  HeapFree(GetProcessHeap(), 0, block);
  CloseVolume(volume);
}
BENCHMARK(BM_HfsPlusListEveryFolder)->Arg(100000)->ArgName("files")->Unit(benchmark::kMillisecond);

// A FAT16 volume laid out as a copying tool leaves it: 20 folders in the root,
// each with 24 sub-folders, and 10 small files in each of those 500 folders;
// every folder's cluster is followed by its files' clusters, so folders lie
// scattered through the data area.
struct FatTree {
  ScratchDir dir;
  std::string path;
  std::vector<std::string> folders;  // depth first, as ls -R lists them

  FatTree() {
    FatParams p;
    p.sectorsPerCluster = 4;
    p.rootEntries = 512;
    p.totalSectors = 131072;  // 64 MB
    p.sectorsPerFat = 128;
    p.media = 0xF8;
    Bytes image = MakeFatVolume(p);
    uint32_t next = 2;
    const uint16_t date = (40 << 9) | (6 << 5) | 15, time = (12 << 11) | (30 << 5);
    auto fileEntries = [&](std::vector<Bytes>* entries) {
      for (int i = 0; i < 10; ++i) {
        const uint32_t cluster = next++;
        PutFatChain(image, p, true, {cluster});
        entries->push_back(FatDirEntry("F" + std::to_string(i) + "       DAT", 0x20, static_cast<uint16_t>(cluster),
                                       100 + 37 * i, date, static_cast<uint16_t>(time + i / 2)));
      }
    };
    auto padded = [](const std::string& name) { return name + std::string(11 - name.size(), ' '); };
    std::vector<Bytes> root;
    for (int t = 1; t <= 20; ++t) {
      const uint32_t top = next++;
      PutFatChain(image, p, true, {top});
      root.push_back(FatDirEntry(padded("T" + std::to_string(t)), 0x10, static_cast<uint16_t>(top), 0, date, time));
      const std::string topPath = "T" + std::to_string(t) + "\\";
      folders.push_back(topPath);
      std::vector<Bytes> topEntries = {FatDirEntry(".          ", 0x10, static_cast<uint16_t>(top), 0, date, time),
                                       FatDirEntry("..         ", 0x10, 0, 0, date, time)};
      fileEntries(&topEntries);
      for (int s = 1; s <= 24; ++s) {
        const uint32_t sub = next++;
        PutFatChain(image, p, true, {sub});
        topEntries.push_back(
            FatDirEntry(padded("S" + std::to_string(s)), 0x10, static_cast<uint16_t>(sub), 0, date, time));
        folders.push_back(topPath + "S" + std::to_string(s) + "\\");
        std::vector<Bytes> subEntries = {FatDirEntry(".          ", 0x10, static_cast<uint16_t>(sub), 0, date, time),
                                         FatDirEntry("..         ", 0x10, static_cast<uint16_t>(top), 0, date, time)};
        fileEntries(&subEntries);
        Bytes bytes;
        for (const Bytes& e : subEntries) bytes.insert(bytes.end(), e.begin(), e.end());
        PutFatClusterBytes(image, p, sub, bytes);
      }
      Bytes bytes;
      for (const Bytes& e : topEntries) bytes.insert(bytes.end(), e.begin(), e.end());
      PutFatClusterBytes(image, p, top, bytes);
    }
    PutFatRootEntries(image, p, root);
    path = dir.File("tree.img");
    WriteFileBytes(path, image);
  }
};

// Opens the volume and lists the root and then every folder, once each.
int ListWholeTree(const FatTree& tree, DirEntry** block) {
  Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(tree.path.c_str()), OpenReadOnly);
  int entries = ListDirectory(volume, "", block);
  for (const std::string& folder : tree.folders) entries += ListDirectory(volume, folder.c_str(), block);
  CloseVolume(volume);
  return entries;
}

void BM_FatListEveryFolder(benchmark::State& state) {
  FatTree tree;
  DirEntry* block = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  int entries = 0;
  for (auto _ : state) entries = ListWholeTree(tree, &block);
  state.counters["entries"] = entries;
  HeapFree(GetProcessHeap(), 0, block);
}
BENCHMARK(BM_FatListEveryFolder)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
