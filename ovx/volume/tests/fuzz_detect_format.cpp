// libFuzzer target: opens the input as a disk and detects its format. The
// first byte chooses how: as an image file (read-only, or read-write, after
// which the file must be unchanged), or served by a fake SCSI device with
// blocks of 512 to 4,096 bytes, through the block cache.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>


#include "fake_devices.h"
#include "fuzz_image_file.h"
#include "format_detect.h"
#include "volume.h"

namespace {

void DetectImageFile(const uint8_t* data, size_t size, bool readWrite) {
  const std::string& path = WriteFuzzImage(data, size);
  Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), readWrite ? 0 : OpenReadOnly);
  if (!volume) abort();
  CloseVolume(volume);
  // Detection only reads; the image must be as it was.
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) abort();
  std::vector<uint8_t> after(size + 1);
  if (fread(after.data(), 1, after.size(), file) != size || !std::equal(data, data + size, after.begin())) abort();
  fclose(file);
}

void DetectScsiDevice(const uint8_t* data, size_t size, uint32_t blockLength) {
  FakeDevices devices;
  devices.scsiBlockLength = blockLength;
  devices.scsi.assign(data, data + size);
  devices.scsi.resize((size + blockLength) / blockLength * blockLength);
  Volume* volume = OpenVolume(KindScsi, 0, 0);
  if (!volume) abort();
  CloseVolume(volume);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  if (mode & 1) {
    DetectScsiDevice(data + 1, size - 1, 512u << ((mode >> 1) & 3));
  } else {
    DetectImageFile(data + 1, size - 1, (mode & 2) != 0);
  }
  return 0;
}
