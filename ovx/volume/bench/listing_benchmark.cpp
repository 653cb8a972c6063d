// Timings of the listings (Google Benchmark; built, never run by the tests):
// appending to a listing with spare room against growing it one entry at a
// time, and reading and listing an HFS catalog of 100,000 files.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "file_system_builders.h"
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

void BM_HfsReadCatalog(benchmark::State& state) {
  BigCatalog catalog(static_cast<uint32_t>(state.range(0)));
  Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(catalog.path.c_str()), OpenReadOnly);
  DirEntry* block = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  for (auto _ : state) benchmark::DoNotOptimize(ListDirectory(volume, "", &block));
  state.counters["entries"] = volume->catalogCount;
  HeapFree(GetProcessHeap(), 0, block);
  CloseVolume(volume);
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_HfsReadCatalog)->RangeMultiplier(10)->Range(1000, 100000)->Complexity()->Unit(benchmark::kMillisecond);

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

}  // namespace

BENCHMARK_MAIN();
