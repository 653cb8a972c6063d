// Opening the image a command names, with the one error message every
// command gives when that fails.
#pragma once
#include <cstdio>

#include "volume.h"

// Opens path as an image file, read-only, with format detection. On failure
// prints "ovxcli: cannot open PATH: REASON" to err and returns null.
Volume* OpenImageOrReport(const char* path, FILE* err);

// A short text for the platform's error code from a failed open.
const char* OpenFailureReason(DWORD error, char* scratch, size_t scratchSize);
