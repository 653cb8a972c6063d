// What is ASPI's own in the ASPI back-end, under Wine through the test-only
// WNASPI32.DLL beside this program: LoadAspi, the request blocks compared
// byte for byte with the interface's layout, their data room, aborts of
// commands that never complete, and an installed layer taking precedence
// over pass-through. What every SCSI layer does alike is in scsi_device_test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "aspi.h"
#include "build_interfaces.h"
#include "byte_order.h"
#include "device_backends.h"
#include "device_platform.h"
#include "fake_scsi_bus.h"
#include "fake_wnaspi32.h"
#include "image_builders.h"
#include "volume.h"

namespace {

// The test layer's own exports, looked up once.
struct FakeLayer {
  HMODULE module = nullptr;
  FakeAspiResetFunction Reset = nullptr;
  FakeAspiAddDeviceFunction AddDevice = nullptr;
  FakeAspiSetAlignmentMaskFunction SetAlignmentMask = nullptr;
  FakeAspiRequestCountFunction RequestCount = nullptr;
  FakeAspiGetRequestFunction GetRequest = nullptr;
};

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

FakeLayer LoadFakeLayer() {
  FakeLayer layer;
  layer.module = LoadLibraryA("WNASPI32.DLL");
  if (!layer.module || !GetProcAddress(layer.module, "FakeAspiMarker")) return FakeLayer();
  layer.Reset = Export<FakeAspiResetFunction>(layer.module, "FakeAspiReset");
  layer.AddDevice = Export<FakeAspiAddDeviceFunction>(layer.module, "FakeAspiAddDevice");
  layer.SetAlignmentMask = Export<FakeAspiSetAlignmentMaskFunction>(layer.module, "FakeAspiSetAlignmentMask");
  layer.RequestCount = Export<FakeAspiRequestCountFunction>(layer.module, "FakeAspiRequestCount");
  layer.GetRequest = Export<FakeAspiGetRequestFunction>(layer.module, "FakeAspiGetRequest");
  return layer;
}

// The execute-command block as the ASPI for Win32 interface lays it out,
// written from its byte offsets: what every command must look like on receipt.
Bytes ExecRequest(uint8_t hostAdapter, uint8_t target, uint8_t flags, uint32_t dataLength, uint32_t data,
                  const Bytes& cdb) {
  Bytes block(80, 0);
  block[0] = 0x02;  // execute SCSI command; status 0
  block[2] = hostAdapter;
  block[3] = flags;
  block[8] = target;  // logical unit 0
  PutLE32(block, 12, dataLength);
  PutLE32(block, 16, data);
  block[20] = 14;  // sense length
  block[21] = static_cast<uint8_t>(cdb.size());
  std::copy(cdb.begin(), cdb.end(), block.begin() + 48);
  return block;
}

class AspiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPlatform_ = devicePlatform;
    savedAdapterCount_ = aspiAdapterCount;
    savedWaitLimit_ = scsiWaitLimitMs;
    REQUIRE_32BIT_INTERFACE(kTestAspiLayer);
    layer_ = LoadFakeLayer();
    ASSERT_NE(nullptr, layer_.module) << "the test layer WNASPI32.DLL must lie beside the test";
    // Commands complete on the layer's thread, as real ones do, so that the polling is exercised.
    layer_.Reset(2, 2);
  }
  void TearDown() override {
    devicePlatform = savedPlatform_;
    aspiAdapterCount = savedAdapterCount_;
    scsiLayer = ScsiLayerNone;
    scsiAdapterCount = 0;
    scsiWaitLimitMs = savedWaitLimit_;
    if (layer_.module) FreeLibrary(layer_.module);
  }

  // Writes the image and puts a device of the kind at (hostAdapter, target).
  std::string AddDevice(int hostAdapter, int target, FakeScsiKind kind, const Bytes& image) {
    std::string path = dir_.File("device-" + std::to_string(hostAdapter) + "-" + std::to_string(target) + ".img");
    EXPECT_TRUE(WriteFileBytes(path, image));
    EXPECT_EQ(1, layer_.AddDevice(hostAdapter, target, kind, path.c_str()));
    return path;
  }

  std::vector<FakeAspiRequest> Requests() {
    std::vector<FakeAspiRequest> requests(layer_.RequestCount());
    for (size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(1, layer_.GetRequest(static_cast<int>(i), &requests[i]));
    return requests;
  }
  // The bytes of the execute-command blocks received since the last call.
  // Every command's data goes through room that follows its own block from
  // the next page boundary on, never the caller's buffer; that pointer is
  // checked here and given as 0.
  std::vector<Bytes> NewBlocks() {
    std::vector<Bytes> blocks;
    std::vector<FakeAspiRequest> requests = Requests();
    for (size_t i = seen_; i < requests.size(); ++i) {
      blocks.emplace_back(requests[i].bytes, requests[i].bytes + requests[i].size);
      if (requests[i].size != 80) continue;
      const uint32_t data = ReadLE32(requests[i].bytes + 16);
      EXPECT_EQ(0u, data % 4096) << "request " << i;
      EXPECT_TRUE(data >= requests[i].address + 80 && data < requests[i].address + 80 + 4096) << "request " << i;
      PutLE32(blocks.back(), 16, 0);
    }
    seen_ = requests.size();
    return blocks;
  }

  FakeLayer layer_;
  ScratchDir dir_;
  size_t seen_ = 0;

 private:
  DevicePlatform savedPlatform_;
  uint16_t savedAdapterCount_;
  uint32_t savedWaitLimit_;
};

TEST_F(AspiTest, LoadAspiTakesTheAdapterCountOfACompletedAnswer) {
  layer_.Reset(3, 0);
  EXPECT_EQ(1, LoadAspi());
  EXPECT_EQ(3, aspiAdapterCount);
  EXPECT_NE(nullptr, devicePlatform.SendASPI32Command);

  // No host adapter: the layer answers SS_NO_ADAPTERS; the count stays as it was.
  layer_.Reset(0, 0);
  EXPECT_EQ(0, LoadAspi());
  EXPECT_EQ(3, aspiAdapterCount);
}

TEST_F(AspiTest, InquiryAndReadCapacityBlocksOfOpenVolume) {
  AddDevice(0, 1, FakeScsiDisk, MakeNumberedSectors(201));
  ASSERT_EQ(1, LoadAspi());
  scsiLayer = ScsiLayerAspi;
  scsiAdapterCount = aspiAdapterCount;
  Volume* disk = OpenVolume(KindScsi, (0 << 4) | 1, OpenNoDetect);
  ASSERT_NE(nullptr, disk);
  std::vector<FakeAspiRequest> requests = Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 32, ReadLE32(requests[0].bytes + 16), Bytes({0x12, 0, 0, 0, 32, 0})),
            Bytes(requests[0].bytes, requests[0].bytes + 80));
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 8, ReadLE32(requests[1].bytes + 16), Bytes({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0})),
            Bytes(requests[1].bytes, requests[1].bytes + 80));
  EXPECT_NE(0u, ReadLE32(requests[0].bytes + 16));
  EXPECT_NE(0u, ReadLE32(requests[1].bytes + 16));
  CloseVolume(disk);

  // An absent target: one INQUIRY, nothing after it.
  seen_ = Requests().size();
  EXPECT_EQ(nullptr, OpenVolume(KindScsi, 5, OpenNoDetect));
  std::vector<Bytes> blocks = NewBlocks();
  ASSERT_EQ(1u, blocks.size());
  EXPECT_EQ(5, blocks[0][8]);
}

TEST_F(AspiTest, ReadAndWriteBlocksCarryTheirCommandDirectionAndLength) {
  AddDevice(0, 1, FakeScsiDisk, MakeNumberedSectors(2000));
  ASSERT_EQ(1, LoadAspi());
  Bytes data(300 * 512, 0x5C);
  ASSERT_NE(0, AspiRead(0, 1, 100, 4, data.data(), 512));
  ASSERT_NE(0, AspiWrite(0, 1, 1000, 300, data.data(), 512));
  std::vector<Bytes> blocks = NewBlocks();
  ASSERT_EQ(2u, blocks.size());
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 2048, 0, Bytes({0x08, 0x00, 0x00, 0x64, 0x04, 0x00})), blocks[0]);
  EXPECT_EQ(ExecRequest(0, 1, 0x10, 300 * 512, 0,
                        Bytes({0x2A, 0, 0x00, 0x00, 0x03, 0xE8, 0, 0x01, 0x2C, 0})),
            blocks[1]);
}

// An adapter whose alignment mask asks for page-aligned data still reads
// and writes: the data room starts on a page boundary, whatever the heap does.
TEST_F(AspiTest, AdaptersThatNeedPageAlignedDataAreServed) {
  const std::string path = AddDevice(0, 2, FakeScsiDisk, MakeNumberedSectors(64));
  ASSERT_EQ(1, layer_.SetAlignmentMask(0, 2, 0xFFF));
  ASSERT_EQ(1, LoadAspi());
  for (uint32_t blocks : {1u, 9u, 64u}) {
    Bytes data(blocks * 512);
    ASSERT_NE(0, AspiRead(0, 2, 0, blocks, data.data(), 512)) << blocks;
    EXPECT_EQ(blocks - 1, SectorNumberAt(data.data() + (blocks - 1) * 512));
  }
  const Bytes written(3 * 512, 0x6D);
  ASSERT_NE(0, AspiWrite(0, 2, 5, 3, written.data(), 512));
  const Bytes image = ReadFileBytes(path);
  EXPECT_EQ(written, Bytes(image.begin() + 5 * 512, image.begin() + 8 * 512));
}

TEST_F(AspiTest, CommandsThatNeverCompleteFailAfterTheWaitLimit) {
  AddDevice(0, 6, FakeScsiStalled, MakeNumberedSectors(16));
  ASSERT_EQ(1, LoadAspi());
  scsiWaitLimitMs = 300;

  uint8_t inquiry[32];
  EXPECT_EQ(0, AspiInquiry(0, 6, inquiry, sizeof inquiry));  // the path that sleeps between looks
  Bytes data(512, 0xEE);
  deviceTimedOut = 0;
  EXPECT_EQ(0, AspiRead(0, 6, 2, 1, data.data(), 512));  // the path that does not
  EXPECT_EQ(Bytes(512, 0), data);
  EXPECT_EQ(1, deviceTimedOut) << "a command given up is a time-out, not an error";

  // Each command was followed by an abort naming its block.
  std::vector<FakeAspiRequest> requests = Requests();
  ASSERT_EQ(4u, requests.size());
  for (size_t i = 0; i < 4; i += 2) {
    EXPECT_EQ(80u, requests[i].size);
    EXPECT_EQ(12u, requests[i + 1].size);
    Bytes abort(12, 0);
    abort[0] = 0x03;  // abort; host adapter 0
    PutLE32(abort, 8, requests[i].address);
    EXPECT_EQ(abort, Bytes(requests[i + 1].bytes, requests[i + 1].bytes + 12));
  }
  EXPECT_EQ(0x12, requests[0].bytes[48]);
  EXPECT_EQ(0x08, requests[2].bytes[48]);
}

// A command that neither completes nor can be aborted may still be written
// to by the layer later: never into the caller's buffer.
TEST_F(AspiTest, ALateCompletionNeverWritesIntoTheCallersBuffer) {
  AddDevice(0, 5, FakeScsiLate, MakeNumberedSectors(16));
  AddDevice(0, 6, FakeScsiDisk, MakeNumberedSectors(16));
  ASSERT_EQ(1, LoadAspi());
  scsiWaitLimitMs = 200;
  Bytes given(512, 0xEE);
  EXPECT_EQ(0, AspiRead(0, 5, 2, 1, given.data(), 512));
  Bytes next(512);
  EXPECT_NE(0, AspiRead(0, 6, 3, 1, next.data(), 512));  // the layer completes the first one now
  EXPECT_EQ(Bytes(512, 0), given);
  const Bytes disk = MakeNumberedSectors(16);
  EXPECT_EQ(Bytes(disk.begin() + 3 * 512, disk.begin() + 4 * 512), next);
}

// Where an ASPI layer is installed it serves as it always has and the
// platform's pass-through is not asked, so that no device is listed twice;
// a layer that reports no host adapter leaves the devices to pass-through.
TEST_F(AspiTest, AnInstalledLayerServesAndPassThroughIsNotAsked) {
  const std::string path = AddDevice(0, 1, FakeScsiDisk, MakeNumberedSectors(64));
  InstallFakeScsiBus(1);
  fakeScsiBus.aspiInstalled = true;
  ASSERT_LE(0, AddFakeScsiUnit(0, 1, 0, FakeScsiDisk, path.c_str(), 0));
  EXPECT_EQ(1, LoadScsiLayer());
  EXPECT_EQ(ScsiLayerAspi, scsiLayer);
  EXPECT_TRUE(fakeScsiBus.opened.empty());

  layer_.Reset(0, 0);
  EXPECT_EQ(1, LoadScsiLayer());
  EXPECT_EQ(ScsiLayerPassThrough, scsiLayer);
  EXPECT_FALSE(fakeScsiBus.opened.empty());
  RemoveFakeScsiBus();
}

// LoadAspi through stand-ins for the platform's library calls.
HMODULE const kLibrary = reinterpret_cast<HMODULE>(0x5A5A0000);
std::vector<std::string> libraryCalls;
DWORD supportAnswer;
bool hasSendCommand;

HMODULE WINAPI StandInLoadLibrary(LPCSTR name) {
  libraryCalls.push_back(std::string("load ") + name);
  return supportAnswer == 0xFFFFFFFF ? nullptr : kLibrary;
}

DWORD __cdecl StandInSupportInfo() {
  libraryCalls.push_back("support");
  return supportAnswer;
}

DWORD __cdecl StandInSendCommand(void*) { return SS_ERR; }

FARPROC WINAPI StandInGetProcAddress(HMODULE library, LPCSTR name) {
  EXPECT_EQ(kLibrary, library);
  if (!strcmp(name, "GetASPI32SupportInfo")) return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(StandInSupportInfo));
  if (!strcmp(name, "SendASPI32Command") && hasSendCommand) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(StandInSendCommand));
  }
  return nullptr;
}

BOOL WINAPI StandInFreeLibrary(HMODULE library) {
  EXPECT_EQ(kLibrary, library);
  libraryCalls.push_back("free");
  return TRUE;
}

TEST(LoadAspi, UsesTheLayerOnlyWhenItLoadsAndAnswersCompleted) {
  REQUIRE_32BIT_INTERFACE(kTestAspiLayer);
  const DevicePlatform saved = devicePlatform;
  const uint16_t savedCount = aspiAdapterCount;
  devicePlatform.LoadLibraryA = StandInLoadLibrary;
  devicePlatform.GetProcAddress = StandInGetProcAddress;
  devicePlatform.FreeLibrary = StandInFreeLibrary;
  struct Case {
    DWORD answer;
    bool sendCommand;
    int result;
    uint16_t adapters;
    std::vector<std::string> calls;
  } cases[] = {
      {0x0105, true, 1, 5, {"load WNASPI32.DLL", "support"}},
      {0xE800, true, 0, 7, {"load WNASPI32.DLL", "support", "free"}},     // no adapters: count kept
      {0x0405, true, 0, 7, {"load WNASPI32.DLL", "support", "free"}},     // not completed
      {0x0103, false, 0, 7, {"load WNASPI32.DLL", "free"}},               // an entry point missing
      {0xFFFFFFFF, true, 0, 7, {"load WNASPI32.DLL"}},                    // no library
  };
  for (const Case& c : cases) {
    libraryCalls.clear();
    supportAnswer = c.answer;
    hasSendCommand = c.sendCommand;
    aspiAdapterCount = 7;
    devicePlatform.SendASPI32Command = nullptr;
    EXPECT_EQ(c.result, LoadAspi()) << std::hex << c.answer;
    EXPECT_EQ(c.adapters, aspiAdapterCount) << std::hex << c.answer;
    EXPECT_EQ(c.calls, libraryCalls) << std::hex << c.answer;
    EXPECT_EQ(c.result ? StandInSendCommand : nullptr, devicePlatform.SendASPI32Command);
  }
  devicePlatform = saved;
  aspiAdapterCount = savedCount;
}

}  // namespace
