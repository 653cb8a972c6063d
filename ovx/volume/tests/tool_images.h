// Disk images made at test time by independent tools: hformat (hfsutils) and
// mkfs.fat (dosfstools). They exist only where those tools run, so these
// helpers and the tests that use them are native only.
#pragma once
#ifndef _WIN32
#include <cstdint>
#include <string>

#include "test_files.h"

// A blank image of sizeKB formatted as HFS by `hformat -l label` (label
// without blanks). Empty when the tool failed.
Bytes MakeHformatImage(const ScratchDir& dir, uint32_t sizeKB, const std::string& label);

// A blank image of sizeKB formatted by `mkfs.fat options`. Empty when the tool failed.
Bytes MakeMkfsFatImage(const ScratchDir& dir, uint32_t sizeKB, const std::string& options);
#endif
