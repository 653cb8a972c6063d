// `ovxcli cat IMAGE FOLDER NAME`: the bytes of one file to standard output.
#pragma once
#include <cstdio>

// Writes what ReadEntryData delivers for NAME in FOLDER (empty = the top),
// cut to its data fork length (or its size when that is 0): on Atari disks
// the bytes the file's sectors hold. Returns 0; 1 when the image cannot be
// opened, holds no known file system, FOLDER or NAME is not there, or memory
// runs out; 2 for a usage error.
int RunCatCommand(int argc, const char* const* argv, FILE* out, FILE* err);
