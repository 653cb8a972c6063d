// The per-volume cache of the last sixteen device blocks read from devices
// whose blocks exceed 512 bytes, so that one-sector reads of a listing do not
// read the same CD-ROM block four times. Slot 15 holds the block most recently
// stored, slot 0 the next to be dropped; lookups do not reorder.
#pragma once
#include <cstdint>

struct Volume;

// Copies the cached blocks first, first + 1, ... to destination one after
// another, stopping at the first block not cached (at most count). Returns how many were copied.
int CacheLookup(Volume* volume, uint8_t* destination, uint32_t first, int count);

// Stores count consecutive blocks from source, each moved to the most recent
// place (a block already cached keeps its buffer). Always returns 1.
int CacheStore(Volume* volume, const uint8_t* source, uint32_t first, int count);

// Releases every cache buffer of the volume and empties the slots.
void ReleaseBlockCache(Volume* volume);
