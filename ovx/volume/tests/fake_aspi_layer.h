// The exports of the test-only WNASPI32.DLL (fake_wnaspi32.h), looked up
// once in the layer that the program's own loading finds. Win32 only.
#pragma once
#include <windows.h>

#include "fake_wnaspi32.h"

struct FakeAspiLayer {
  HMODULE module;  // null when the layer found is not the test's
  FakeAspiResetFunction Reset;
  FakeAspiAddDeviceFunction AddDevice;
  FakeAspiSetFaultsFunction SetFaults;
  FakeAspiRequestCountFunction RequestCount;
  FakeAspiGetRequestFunction GetRequest;
};

// Loads WNASPI32.DLL and looks its test exports up. Returns the layer; every
// field null when the DLL is missing or is not the test's.
FakeAspiLayer LoadFakeAspiLayer();

// How many execute-command requests for (hostAdapter, target) with this SCSI
// operation code the layer logged from request firstRequest on.
int CountFakeAspiCommands(const FakeAspiLayer& layer, int firstRequest, int hostAdapter, int target,
                          uint8_t operation);
