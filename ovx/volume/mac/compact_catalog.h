// The catalog of an HFS or HFS+ volume as listings keep it: every file and
// folder record in a few dozen bytes (a DirEntry takes 320, and a large
// volume has tens of thousands of records), in catalog order, with an index
// of (parentId << 32 | offset) pairs sorted, so that a folder's children are
// found without a scan of the whole catalog; and the walk along a path of
// folder names over it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "volume.h"

enum { kTopFolderId = 1 };  // the parent of the root folder, which is named after the volume

struct HfsCatalog {
  uint8_t* records;  // process heap; the format's records, each 4-byte aligned
  size_t bytes;
  uint64_t* index;  // process heap
  int32_t count;
};

// A new, empty catalog for the volume, replacing (and releasing) the one it
// had; null when memory runs out.
HfsCatalog* NewHfsCatalog(Volume* volume);
// Releases the volume's catalog.
void ReleaseHfsCatalog(Volume* volume);

// Copies a record of `bytes` (a multiple of 4) to the catalog's end and
// indexes it under parentId. Returns 1; 0 when memory runs out or the
// catalog has grown past what 32-bit offsets reach.
int AddHfsCatalogRecord(HfsCatalog* catalog, const void* record, size_t bytes, uint32_t parentId);

// Sorts the index, which a sweep of leaf nodes kept in key order usually
// leaves sorted already.
void SortHfsCatalogIndex(HfsCatalog* catalog);

// The record an index entry stands for.
inline const uint8_t* HfsCatalogRecord(const HfsCatalog* catalog, uint64_t indexed) {
  return catalog->records + static_cast<uint32_t>(indexed);
}

// The index entries of the records whose parent is folderId, as
// [*first, *last): in catalog order, since offsets grow in catalog order and
// sorting the (parentId, offset) pairs keeps that order within each folder.
void HfsChildRange(const HfsCatalog* catalog, uint32_t folderId, const uint64_t** first, const uint64_t** last);

// Resets the walk to the volume's top.
void ResetHfsWalk(Volume* volume);

// Sets *folderId to the id of the first folder called name (nameLength
// bytes) in folder parentId. Returns 1; 0 when it holds none.
typedef int (*HfsFolderFinder)(const Volume* volume, uint32_t parentId, const char* name, size_t nameLength,
                               uint32_t* folderId);

// The HfsFolderFinder of a format whose records (Entry) carry nodeId,
// nameLength and name, and are told to be folders by isFolder: the first
// folder of that name among parentId's children.
template <typename Entry, bool (*isFolder)(const Entry&)>
int FindCatalogFolder(const Volume* volume, uint32_t parentId, const char* name, size_t nameLength,
                      uint32_t* folderId) {
  const uint64_t *child, *last;
  for (HfsChildRange(volume->hfsCatalog, parentId, &child, &last); child != last; ++child) {
    const Entry& entry = *reinterpret_cast<const Entry*>(HfsCatalogRecord(volume->hfsCatalog, *child));
    if (isFolder(entry) && entry.nameLength == nameLength && memcmp(entry.name, name, nameLength) == 0) {
      *folderId = entry.nodeId;
      return 1;
    }
  }
  return 0;
}

// Walks to path (folder names each followed by ':') from the folder the last
// walk reached, or from the last folder it shares with path. Returns 1 with
// currentPath and currentDirId at path's folder; 0 at a name the folder
// reached does not hold, the walk then staying at the deepest folder reached.
int WalkHfsPath(Volume* volume, const char* path, HfsFolderFinder find);

// Makes path, the folder last listed followed by one of its folders' names
// and ':', stand for the folder with folderId, so that the walk to it takes
// that folder even where another of the same name comes first. Returns 1; 0
// when path does not go one name below the folder last listed.
int EnterHfsFolder(Volume* volume, const char* path, uint32_t folderId);
