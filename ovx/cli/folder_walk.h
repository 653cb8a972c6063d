// The walk of ls -R and extract over every folder below an opened one, depth
// first, each folder once however the volume's folders point back at one
// another, and bounded by what the image could hold.
#pragma once
#include <functional>
#include <string>

#include "folder_path.h"

// A folder's entries that lead into a sub-folder: every folder, but on FAT
// and Atari volumes not "." and "..", which lead back.
bool IsDescendable(const Volume* volume, const DirEntry& entry);

// Called for each sub-folder reached, with its path in the volume's syntax
// and its listing; the walk goes on into its own sub-folders afterwards.
using FolderVisitor = std::function<void(const std::string& path, const DirEntry* entries, int count)>;

// Lists every sub-folder below the folder opened into *listing and hands it
// to visit, in listing order, depth first. Returns false when the walk ended
// because it had listed more entries than the image could hold (each takes
// at least 16 bytes of it), as only overlapping folders could make it.
bool WalkSubFolders(const OpenedFolder& opened, DirEntry** listing, const FolderVisitor& visit);
