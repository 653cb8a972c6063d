#include "fake_aspi_layer.h"

namespace {

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

FakeAspiLayer LoadFakeAspiLayer() {
  FakeAspiLayer layer = {};
  HMODULE module = LoadLibraryA("WNASPI32.DLL");
  if (!module || !GetProcAddress(module, "FakeAspiMarker")) return layer;
  layer.module = module;
  layer.Reset = Export<FakeAspiResetFunction>(module, "FakeAspiReset");
  layer.AddDevice = Export<FakeAspiAddDeviceFunction>(module, "FakeAspiAddDevice");
  layer.SetFaults = Export<FakeAspiSetFaultsFunction>(module, "FakeAspiSetFaults");
  layer.RequestCount = Export<FakeAspiRequestCountFunction>(module, "FakeAspiRequestCount");
  layer.GetRequest = Export<FakeAspiGetRequestFunction>(module, "FakeAspiGetRequest");
  return layer;
}

int CountFakeAspiCommands(const FakeAspiLayer& layer, int firstRequest, int hostAdapter, int target,
                          uint8_t operation) {
  int count = 0;
  const int logged = layer.RequestCount();
  for (int i = firstRequest; i < logged; ++i) {
    FakeAspiRequest request;
    // Execute-command blocks: host adapter at byte 2, target at 8, the command from 48.
    if (layer.GetRequest(i, &request) && request.size == 80 && request.bytes[0] == 0x02 &&
        request.bytes[2] == hostAdapter && request.bytes[8] == target && request.bytes[48] == operation) {
      ++count;
    }
  }
  return count;
}
