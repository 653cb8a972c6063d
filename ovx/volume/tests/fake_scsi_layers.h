// The two SCSI layers as tests drive them, behind one face: the test
// WNASPI32.DLL (the 32-bit build only) and the stand-ins for the platform's
// pass-through (fake_scsi_bus.h), so that a case about SCSI devices runs
// through each layer the build has. Devices are placed by host adapter and
// target, which both layers number alike; the commands either layer received
// are read back in one form. Win32 only.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "fake_scsi_target.h"

enum FakeScsiLayerKind { FakeAspi, FakePassThrough };

// One command as the device received it.
struct ReceivedScsiCommand {
  int hostAdapter, target, lun;
  std::vector<uint8_t> cdb;
  char direction;  // 'i' data in, 'o' data out, '-' none
  uint32_t dataLength;
  bool operator==(const ReceivedScsiCommand& other) const;
};
void PrintTo(const ReceivedScsiCommand& command, std::ostream* out);

class FakeScsiLayer {
 public:
  virtual ~FakeScsiLayer() = default;
  // Forgets every device and command; the layer then has adapters host
  // adapters, and takes delayMs over each command.
  virtual void Reset(int adapters, DWORD delayMs = 0) = 0;
  // Puts a device of kind at (hostAdapter, target), serving the image file at path. True when placed.
  virtual bool AddDevice(int hostAdapter, int target, FakeScsiKind kind, const std::string& path) = 0;
  // Makes the device fail every read or write that reaches badBlock (-1:
  // none) or moves more than maxBlocks (0: any number). True when it exists.
  virtual bool SetFaults(int hostAdapter, int target, int64_t badBlock, uint32_t maxBlocks) = 0;
  // Every command received since Reset, in order.
  virtual std::vector<ReceivedScsiCommand> Commands() const = 0;
};

// The layer of that kind, in place until it is destroyed; null when this
// build has no such layer (ASPI on the 64-bit build).
std::unique_ptr<FakeScsiLayer> MakeFakeScsiLayer(FakeScsiLayerKind kind);
// The layers this build has: pass-through always, ASPI on the 32-bit build.
std::vector<FakeScsiLayerKind> FakeScsiLayersOfThisBuild();
const char* FakeScsiLayerName(FakeScsiLayerKind kind);
// How many of commands are operation (the first command byte) sent to (hostAdapter, target).
int CountScsiCommands(const std::vector<ReceivedScsiCommand>& commands, int hostAdapter, int target, uint8_t operation);
