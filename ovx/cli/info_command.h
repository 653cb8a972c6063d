// `ovxcli info IMAGE`: what format detection found in an image, on one line.
#pragma once
#include <cstdio>

#include "volume.h"

// The name ovxcli prints for a format: none, atari-dos, mydos, fat12, fat16, mfs or hfs.
const char* FormatName(VolumeFormat format);

// Prints "format=NAME partitionStart=N headerLength=N sizeKB=N" for the image
// argv[0]. Returns 0; 1 when it cannot be opened; 2 unless given exactly one argument.
int RunInfoCommand(int argc, const char* const* argv, FILE* out, FILE* err);
