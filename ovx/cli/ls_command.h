// `ovxcli ls [-R] IMAGE [FOLDER]`: one line per entry of a folder (name, d or
// -, size, dataSize, type, creator, modified as YYYY-MM-DD HH:MM:SS or -),
// fields separated by TAB; with -R every sub-folder after it, depth first.
#pragma once
#include <cstdio>

#include "dir_entry.h"

// Returns 0; 1 when the image cannot be opened, holds no known file system
// or FOLDER is not a folder of it; 2 for a usage error.
int RunLsCommand(int argc, const char* const* argv, FILE* out, FILE* err);
