// AppleDouble header files ("._NAME" beside NAME), the way macOS keeps what a
// foreign volume's files cannot hold: the Finder's information (type,
// creator, flags) and the resource fork.
#pragma once
#include <cstdint>
#include <vector>

// The whole "._" file: the AppleDouble version 2 header, the Finder
// information entry (32 bytes: the file's FInfo then FXInfo, as stored) and,
// when resourceLength is not 0, the resource fork entry.
std::vector<uint8_t> MakeAppleDouble(const uint8_t finderInfo[32], const uint8_t* resource, uint32_t resourceLength);

// Whether a file with this Finder information and resource fork needs a "._"
// file at all: any Finder information that is not zero, or a resource fork.
bool NeedsAppleDouble(const uint8_t finderInfo[32], uint64_t resourceLength);
