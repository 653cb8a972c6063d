#include "tool_images.h"

#ifndef _WIN32
namespace {

Bytes FormatBlankImage(const ScratchDir& dir, uint32_t sizeKB, const std::string& command) {
  static unsigned counter;
  const std::string name = "tool-" + std::to_string(++counter) + ".img";
  if (!WriteFileBytes(dir.File(name), Bytes(static_cast<size_t>(sizeKB) * 1024))) return {};
  // hfsutils keeps its current volume in $HOME/.hcwd: keep it in the scratch folder.
  int status = RunProgram(dir.path(), "env HOME=" + dir.path() + " " + command + " " + name, "tool-output.txt");
  if (status != 0) return {};
  return ReadFileBytes(dir.File(name));
}

}  // namespace

Bytes MakeHformatImage(const ScratchDir& dir, uint32_t sizeKB, const std::string& label) {
  return FormatBlankImage(dir, sizeKB, "hformat -l " + label);
}

Bytes MakeMkfsFatImage(const ScratchDir& dir, uint32_t sizeKB, const std::string& options) {
  return FormatBlankImage(dir, sizeKB, "mkfs.fat " + options);
}
#endif
