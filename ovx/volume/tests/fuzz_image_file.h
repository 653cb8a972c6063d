// The image file through which a fuzz target hands its input to
// OpenVolume: one per process, in a private temporary folder (in memory
// where /dev/shm exists) that is removed at exit.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Writes the input to the image file and returns its path; aborts when it cannot.
const std::string& WriteFuzzImage(const uint8_t* data, size_t size);
