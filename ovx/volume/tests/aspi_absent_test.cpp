// LoadAspi where the test layer is not beside the program. On Windows the
// library is then missing; Wine finds its own built-in WNASPI32.DLL instead,
// which in a prefix without SCSI hardware reports no host adapter. Either way
// LoadAspi must agree with what the layer reports, and without an adapter no
// SCSI volume opens. A 64-bit build has no ASPI at all, whatever layer the
// platform offers: the interface is 32-bit.
#include <gtest/gtest.h>

#include <cstdio>

#include "device_backends.h"
#include "volume.h"

namespace {

TEST(LoadAspi, WithoutTheTestLayerFollowsWhatThePlatformOffers) {
  int expected = 0;
  uint16_t expectedAdapters = 0;
  HMODULE layer = LoadLibraryA("WNASPI32.DLL");
  if (!layer) {
    printf("no WNASPI32.DLL could be loaded\n");
  } else {
    ASSERT_EQ(nullptr, GetProcAddress(layer, "FakeAspiMarker")) << "the test layer must not be found from here";
    typedef DWORD(__cdecl * SupportInfo)();
    SupportInfo supportInfo =
        reinterpret_cast<SupportInfo>(reinterpret_cast<void (*)()>(GetProcAddress(layer, "GetASPI32SupportInfo")));
    if (supportInfo && GetProcAddress(layer, "SendASPI32Command")) {
      const DWORD support = supportInfo();
      printf("the platform's WNASPI32.DLL answers GetASPI32SupportInfo with 0x%08lx\n",
             static_cast<unsigned long>(support));
      if (((support >> 8) & 0xFF) == 1) {
        expected = 1;
        expectedAdapters = static_cast<uint16_t>(support & 0xFF);
      }
    } else {
      printf("the platform's WNASPI32.DLL lacks an entry point\n");
    }
  }

  if (sizeof(void*) != 4) {
    expected = 0;
    expectedAdapters = 0;
  }
  EXPECT_EQ(expected, LoadAspi());
  EXPECT_EQ(expectedAdapters, aspiAdapterCount);
  if (aspiAdapterCount == 0) {
    for (uintptr_t source : {0x00u, 0x06u, 0x13u}) EXPECT_EQ(nullptr, OpenVolume(KindScsi, source, OpenNoDetect));
  }
  if (layer) FreeLibrary(layer);
}

}  // namespace
