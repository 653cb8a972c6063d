// Runs the built ovxcli as a separate process on images built here (and,
// natively, on images made by hformat and mkfs.fat) and compares what it
// prints. The same test runs natively and, cross-compiled, under Wine
// against ovxcli.exe, where console text ends its lines with CR LF.
#include <gtest/gtest.h>

#include <string>

#include "image_builders.h"
#include "test_files.h"
#include "tool_images.h"

namespace {

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

ProgramRun RunOvxcli(const ScratchDir& dir, const std::string& arguments) {
  std::string program = ProgramBeside("ovxcli");
  EXPECT_EQ(std::string::npos, program.find(' ')) << "build paths must not hold spaces";
  int status = RunProgram(dir.path(), program + (arguments.empty() ? "" : " " + arguments), "stdout.txt",
                          "stderr.txt");
  return {status, ReadFileText(dir.File("stdout.txt")), ReadFileText(dir.File("stderr.txt"))};
}

std::string InfoLine(const char* format, int partitionStart, int headerLength, int sizeKB) {
  return ConsoleText(std::string("format=") + format + " partitionStart=" + std::to_string(partitionStart) +
                     " headerLength=" + std::to_string(headerLength) + " sizeKB=" + std::to_string(sizeKB) +
                     "\n");
}

struct InfoCase {
  std::string name;
  Bytes image;
  std::string expected;
};

void ExpectInfo(const ScratchDir& dir, const std::vector<InfoCase>& cases) {
  for (const InfoCase& c : cases) {
    ASSERT_TRUE(WriteFileBytes(dir.File(c.name), c.image));
    ProgramRun run = RunOvxcli(dir, "info " + c.name);
    EXPECT_EQ(0, run.status) << c.name;
    EXPECT_EQ(c.expected, run.out) << c.name;
    EXPECT_EQ("", run.err) << c.name;
  }
}

TEST(OvxcliInfo, PrintsWhatDetectionFound) {
  ScratchDir dir;
  const Bytes hfs = MakeHfsVolume(800, "Disk");
  ExpectInfo(dir, {
      {"mac.img", hfs, InfoLine("hfs", 0, 0, 800)},
      {"mac.dc42", WithDiskCopyHeader(hfs, "Disk"), InfoLine("hfs", 0, 84, 800)},
      {"mac-hd.img", MakePartitionedDisk(96 + 1600, UsualPartitionMap(96, 1600), {{}, {}, hfs}),
       InfoLine("hfs", 96, 0, 848)},
      {"mfs.dc42", WithDiskCopyHeader(MakeMfsVolume(400, 391, 1024), "MFS"), InfoLine("mfs", 0, 84, 400)},
      {"dos720.img", MakeFatVolume(Fat720KFloppy()), InfoLine("fat12", 0, 0, 720)},
      {"dos1440.img", MakeFatVolume(Fat1440KFloppy()), InfoLine("fat12", 0, 0, 1440)},
      {"atarist.st", MakeFatVolume(AtariStFloppy()), InfoLine("fat12", 0, 0, 720)},
      {"shifted.img", WithHeader(MakeFatVolume(Fat720KFloppy()), 12, 0), InfoLine("fat12", 0, 12, 720)},
      {"fat16.hd", MakeFatVolume(FatHardDisk(32768, 4)), InfoLine("fat16", 0, 0, 16384)},
      {"fat12.hd", MakeFatVolume(FatHardDisk(16384, 4)), InfoLine("fat12", 0, 0, 8192)},
      {"dos2.atr", MakeAtariDisk(false, true, false), InfoLine("atari-dos", 0, 16, 90)},
      {"dos2.xfd", MakeAtariDisk(false, false, false), InfoLine("atari-dos", 0, 0, 90)},
      {"mydos.atr", MakeAtariDisk(true, true, false), InfoLine("mydos", 0, 16, 90)},
      {"mydos.xfd", MakeAtariDisk(true, false, false), InfoLine("mydos", 0, 0, 90)},
      {"blank.img", Bytes(720 * 1024), InfoLine("none", 0, 0, 720)},
  });
}

TEST(OvxcliInfo, FailuresAndUsage) {
  ScratchDir dir;
  ProgramRun run = RunOvxcli(dir, "info missing.img");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(ConsoleText("ovxcli: cannot open missing.img: no such file\n"), run.err);

  ASSERT_TRUE(MakeDir(dir.File("folder.img")));
  run = RunOvxcli(dir, "info folder.img");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(ConsoleText("ovxcli: cannot open folder.img: access denied\n"), run.err);

  const std::string usage = ConsoleText("usage: ovxcli info IMAGE\n");
  for (const char* arguments : {"", "info", "info a.img b.img", "list a.img"}) {
    run = RunOvxcli(dir, arguments);
    EXPECT_EQ(2, run.status) << arguments;
    EXPECT_EQ("", run.out) << arguments;
    EXPECT_EQ(usage, run.err) << arguments;
  }
}

#ifndef _WIN32
// Images made by the independent tools, which run only natively.
TEST(OvxcliInfo, ImagesMadeByHfsutilsAndDosfstools) {
  ScratchDir dir;
  const Bytes hfs = MakeHformatImage(dir, 800, "Orvanta");
  ASSERT_FALSE(hfs.empty());
  ExpectInfo(dir, {
      {"hformat.img", hfs, InfoLine("hfs", 0, 0, 800)},
      {"hformat.dc42", WithDiskCopyHeader(hfs, "Orvanta"), InfoLine("hfs", 0, 84, 800)},
      {"hformat-hd.img", MakePartitionedDisk(96 + 1600, UsualPartitionMap(96, 1600), {{}, {}, hfs}),
       InfoLine("hfs", 96, 0, 848)},
      {"mkfs720.img", MakeMkfsFatImage(dir, 720, ""), InfoLine("fat12", 0, 0, 720)},
      {"mkfs1440.img", MakeMkfsFatImage(dir, 1440, ""), InfoLine("fat12", 0, 0, 1440)},
      {"mkfs-st.img", MakeMkfsFatImage(dir, 720, "-A"), InfoLine("fat12", 0, 0, 720)},
      {"mkfs-fat12.hd", MakeMkfsFatImage(dir, 8192, "-F 12"), InfoLine("fat12", 0, 0, 8192)},
      {"mkfs-fat16.hd", MakeMkfsFatImage(dir, 32768, "-F 16"), InfoLine("fat16", 0, 0, 32768)},
  });
}
#endif

}  // namespace
