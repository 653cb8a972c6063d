// The test-only WNASPI32.DLL: SCSI devices emulated from image files, so that
// the ASPI back-end is tested under Wine through the layer's real interface.
// Besides the layer's two entry points it exports the functions below, which
// tests look up by name; FakeAspiMarker tells it from the platform's own layer.
// It keeps a copy of every request block it receives, as received.
#pragma once
#include <cstdint>

#include "fake_scsi_target.h"

struct FakeAspiRequest {
  uint32_t address;  // where the block lay in the sender's memory
  uint32_t size;     // 80 for an execute-command block, 12 for an abort
  uint8_t bytes[80];
};

// 1: the layer is the test's.
typedef int(__cdecl* FakeAspiMarkerFunction)();
// Forgets all devices and requests; the layer then reports adapterCount host
// adapters. completionDelayMs 0 completes commands before SendASPI32Command
// returns; otherwise a thread of the layer completes each after that delay.
typedef void(__cdecl* FakeAspiResetFunction)(int adapterCount, uint32_t completionDelayMs);
// Puts a device of the kind (FakeScsiKind) at (hostAdapter, target), serving the image file
// at imagePath (opened at its first command, kept open until the next reset).
// Returns 1; 0 when the table is full.
typedef int(__cdecl* FakeAspiAddDeviceFunction)(int hostAdapter, int target, int kind, const char* imagePath);
// Makes the device at (hostAdapter, target) fail every read or write that
// reaches badBlock (-1: none) or moves more than maxBlocks (0: any number).
// Returns 1; 0 when there is no such device.
typedef int(__cdecl* FakeAspiSetFaultsFunction)(int hostAdapter, int target, int64_t badBlock, uint32_t maxBlocks);
// Makes the device at (hostAdapter, target) refuse, as an adapter with that
// alignment mask does, every read or write whose data address has any of the
// mask's bits set (0: any address). Returns 1; 0 when there is no such device.
typedef int(__cdecl* FakeAspiSetAlignmentMaskFunction)(int hostAdapter, int target, uint32_t mask);
typedef int(__cdecl* FakeAspiRequestCountFunction)();
// Copies request index into *request. Returns 1; 0 for an index not logged.
typedef int(__cdecl* FakeAspiGetRequestFunction)(int index, FakeAspiRequest* request);
