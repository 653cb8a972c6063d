// `ovxcli extract [--data-only] [--force] IMAGE DIR [FOLDER]`: every folder
// and file under FOLDER (empty = the top) written into the host folder DIR.
#pragma once
#include <cstdio>

// Writes each file's data (the data fork of a Macintosh file) under its
// escaped name, and beside a Macintosh file whose Finder information or
// resource fork is not empty an AppleDouble "._" file holding them (unless
// --data-only), each with the file's modification time. Nothing is written
// outside DIR or through a link, and no existing file is replaced unless
// --force is given. Prints the count of folders, files and bytes to out;
// escaped names, progress on large volumes and every file that could not be
// written to err. Returns 0; 1 when the image or FOLDER cannot be opened or
// any file or folder could not be written; 2 for a usage error.
int RunExtractCommand(int argc, const char* const* argv, FILE* out, FILE* err);
