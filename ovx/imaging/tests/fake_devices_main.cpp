// OVX with stand-in devices, so that imaging can be tried and tested without
// hardware. Before the program's own start-up (winmain.cpp, built into this
// program as OvxWinMain) it sets up, from the environment:
//   ORVANTA_FAKE_FLOPPY      image file that is the disk in floppy drive A:
//   ORVANTA_FAKE_BAD_SECTOR  a sector of that disk that cannot be read or written
//   ORVANTA_FAKE_FLOPPY_DELAY  milliseconds each read and write of the drive takes
//   ORVANTA_FAKE_SCSI        image files, separated by ';', served as SCSI disks
//                            at host adapter 0, targets 0, 1, ... (".iso": a CD-ROM)
//   ORVANTA_FAKE_SCSI_DELAY  milliseconds each SCSI command takes, as a slow disk would
// Drive A: is listed only where the platform reports a removable drive A:.
// The SCSI devices come from the test WNASPI32.DLL where it lies beside the
// program (the 32-bit build), else from stand-ins for the platform's SCSI
// pass-through, as disks and CD-ROMs of a Windows without an ASPI layer.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "fake_aspi_layer.h"
#include "fake_floppy_drive.h"
#include "fake_scsi_layers.h"

extern "C" int WINAPI OvxWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

namespace {

const char* Setting(const char* name) {
  const char* value = getenv(name);
  return value && value[0] ? value : nullptr;
}

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t length = strlen(suffix);
  return text.size() >= length && _stricmp(text.c_str() + text.size() - length, suffix) == 0;
}

void SetUpScsiDisks(const char* list, const char* delay) {
  // In place for the whole run.
  FakeScsiLayer* fakeScsi = MakeFakeScsiLayer(LoadFakeAspiLayer().module ? FakeAspi : FakePassThrough).release();
  if (!fakeScsi) return;
  fakeScsi->Reset(1, delay ? static_cast<DWORD>(atoi(delay)) : 0);
  std::string rest = list;
  for (int target = 0; !rest.empty() && target < 7; ++target) {
    const size_t end = rest.find(';');
    const std::string path = rest.substr(0, end);
    fakeScsi->AddDevice(0, target, EndsWith(path, ".iso") ? FakeScsiCdrom : FakeScsiDisk, path);
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
  }
}

}  // namespace

#undef WinMain
extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
  if (const char* floppy = Setting("ORVANTA_FAKE_FLOPPY")) {
    const char* bad = Setting("ORVANTA_FAKE_BAD_SECTOR");
    InstallFakeFloppyDrive(floppy, bad ? _atoi64(bad) : -1);
    if (const char* delay = Setting("ORVANTA_FAKE_FLOPPY_DELAY")) fakeFloppy.delayMs = static_cast<DWORD>(atoi(delay));
  }
  if (const char* scsi = Setting("ORVANTA_FAKE_SCSI")) SetUpScsiDisks(scsi, Setting("ORVANTA_FAKE_SCSI_DELAY"));
  return OvxWinMain(instance, previous, commandLine, showCommand);
}
