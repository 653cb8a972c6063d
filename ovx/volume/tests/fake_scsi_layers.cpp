#include "fake_scsi_layers.h"

#include <cstdio>

#include "fake_aspi_layer.h"
#include "fake_scsi_bus.h"

namespace {

uint32_t LE32(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

class AspiLayer : public FakeScsiLayer {
 public:
  explicit AspiLayer(const FakeAspiLayer& layer) : layer_(layer) {}
  ~AspiLayer() override { layer_.Reset(0, 0); }
  void Reset(int adapters, DWORD delayMs) override { layer_.Reset(adapters, delayMs); }
  bool AddDevice(int hostAdapter, int target, FakeScsiKind kind, const std::string& path) override {
    return layer_.AddDevice(hostAdapter, target, kind, path.c_str()) == 1;
  }
  bool SetFaults(int hostAdapter, int target, int64_t badBlock, uint32_t maxBlocks) override {
    return layer_.SetFaults(hostAdapter, target, badBlock, maxBlocks) == 1;
  }
  // Execute-command blocks: host adapter at byte 2, flags at 3, target at 8,
  // logical unit at 9, data length from 12, command length at 21, the command from 48.
  std::vector<ReceivedScsiCommand> Commands() const override {
    std::vector<ReceivedScsiCommand> commands;
    const int count = layer_.RequestCount();
    for (int i = 0; i < count; ++i) {
      FakeAspiRequest request;
      if (!layer_.GetRequest(i, &request) || request.size != 80) continue;
      const uint8_t* b = request.bytes;
      const char direction = b[3] == 0x08 ? 'i' : b[3] == 0x10 ? 'o' : '-';
      commands.push_back({b[2], b[8], b[9], std::vector<uint8_t>(b + 48, b + 48 + (b[21] <= 16 ? b[21] : 16)),
                          direction, LE32(b + 12)});
    }
    return commands;
  }

 private:
  FakeAspiLayer layer_;
};

// Host adapter h is port h with one bus; each device is a unit a class
// driver claimed: the next "\\.\PhysicalDriveN" for a disk, "\\.\CdRomN"
// for a CD-ROM.
class PassThroughLayer : public FakeScsiLayer {
 public:
  PassThroughLayer() { InstallFakeScsiBus(0); }
  ~PassThroughLayer() override { RemoveFakeScsiBus(); }
  void Reset(int adapters, DWORD delayMs) override {
    InstallFakeScsiBus(adapters);
    fakeScsiBus.delayMs = delayMs;
  }
  bool AddDevice(int hostAdapter, int target, FakeScsiKind kind, const std::string& path) override {
    int classNumber = 0;
    for (const FakeScsiUnit& unit : fakeScsiBus.units) {
      if ((unit.emulated.kind == FakeScsiCdrom) == (kind == FakeScsiCdrom)) ++classNumber;
    }
    return AddFakeScsiUnit(hostAdapter, target, 0, kind, path.c_str(), classNumber) >= 0;
  }
  bool SetFaults(int hostAdapter, int target, int64_t badBlock, uint32_t maxBlocks) override {
    for (FakeScsiUnit& unit : fakeScsiBus.units) {
      if (unit.port == hostAdapter && unit.target == target) {
        unit.emulated.badBlock = badBlock;
        unit.emulated.maxBlocks = maxBlocks;
        return true;
      }
    }
    return false;
  }
  std::vector<ReceivedScsiCommand> Commands() const override {
    std::vector<ReceivedScsiCommand> commands;
    for (const FakePassThroughCommand& c : fakeScsiBus.commands) {
      const FakeScsiUnit* unit = c.unit >= 0 ? &fakeScsiBus.units[c.unit] : nullptr;
      const char direction = c.dataIn == 1 ? 'i' : c.dataIn == 0 ? 'o' : '-';
      commands.push_back({unit ? unit->port : -1, unit ? unit->target : c.targetId, unit ? unit->lun : c.lun, c.cdb,
                          direction, c.dataLength});
    }
    return commands;
  }
};

}  // namespace

bool ReceivedScsiCommand::operator==(const ReceivedScsiCommand& other) const {
  return hostAdapter == other.hostAdapter && target == other.target && lun == other.lun && cdb == other.cdb &&
         direction == other.direction && dataLength == other.dataLength;
}

void PrintTo(const ReceivedScsiCommand& command, std::ostream* out) {
  *out << "{" << command.hostAdapter << ":" << command.target << ":" << command.lun << " cdb";
  for (uint8_t byte : command.cdb) {
    char hex[4];
    snprintf(hex, sizeof hex, " %02X", byte);
    *out << hex;
  }
  *out << " " << command.direction << " " << command.dataLength << "}";
}

std::unique_ptr<FakeScsiLayer> MakeFakeScsiLayer(FakeScsiLayerKind kind) {
  if (kind == FakePassThrough) return std::unique_ptr<FakeScsiLayer>(new PassThroughLayer);
  const FakeAspiLayer layer = LoadFakeAspiLayer();
  if (!layer.module) return nullptr;
  return std::unique_ptr<FakeScsiLayer>(new AspiLayer(layer));
}

std::vector<FakeScsiLayerKind> FakeScsiLayersOfThisBuild() {
  if (sizeof(void*) == 4) return {FakePassThrough, FakeAspi};
  return {FakePassThrough};
}

const char* FakeScsiLayerName(FakeScsiLayerKind kind) { return kind == FakeAspi ? "Aspi" : "PassThrough"; }

int CountScsiCommands(const std::vector<ReceivedScsiCommand>& commands, int hostAdapter, int target, uint8_t operation) {
  int count = 0;
  for (const ReceivedScsiCommand& command : commands) {
    count += command.hostAdapter == hostAdapter && command.target == target && !command.cdb.empty() &&
             command.cdb[0] == operation;
  }
  return count;
}
