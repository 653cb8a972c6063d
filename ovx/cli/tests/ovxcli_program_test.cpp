// Runs the built ovxcli as a separate process on images built here (and,
// natively, on images made by hformat and mkfs.fat) and compares what it
// prints: info, the listings of ls and the bytes of cat. The same test runs natively and, cross-compiled, under Wine
// against ovxcli.exe, where console text ends its lines with CR LF.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <string>

#include "file_system_builders.h"
#include "hfsplus_builder.h"
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

const std::string usage = ConsoleText(
    "usage: ovxcli info IMAGE\n"
    "       ovxcli ls [-R] IMAGE [FOLDER]\n"
    "       ovxcli cat IMAGE FOLDER NAME\n"
    "       ovxcli extract [--data-only] [--force] IMAGE DIR [FOLDER]\n");

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
      {"blank-boot.atr", MakeBlankBootAtariDos(true, true, Bytes(300, 't')), InfoLine("atari-dos", 0, 16, 179)},
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

  for (const char* arguments : {"", "info", "info a.img b.img", "list a.img", "--help info"}) {
    run = RunOvxcli(dir, arguments);
    EXPECT_EQ(2, run.status) << arguments;
    EXPECT_EQ("", run.out) << arguments;
    EXPECT_EQ(usage, run.err) << arguments;
  }
  // --help: the commands, the formats read and the exit codes, on standard output.
  run = RunOvxcli(dir, "--help");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_NE(std::string::npos, run.out.find(usage.substr(0, usage.find('\n')))) << run.out;
  for (const char* part : {"extract  every folder", "Mac OS Extended (HFS+ and HFSX", "FAT12 and FAT16", "MyDOS",
                           "Exit status: 0 done; 1 "}) {
    EXPECT_NE(std::string::npos, run.out.find(part)) << part;
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


Bytes Joined(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Bytes that text mode would change: LF, CR, Ctrl-Z, zero, high bytes.
Bytes Awkward(size_t length) {
  const uint8_t kBytes[] = {'\n', '\r', 0x1A, 0x00, 0xFF, 'A', '\r', '\n', 0x80};
  Bytes data(length);
  for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(kBytes[i % sizeof kBytes] + i / 9);
  return data;
}

// Disk holds Letters (with Note) and ReadMe (2,500 data and 100 resource
// bytes) and Odd, whose type is zero and whose creator has a byte outside ASCII.
Bytes MakeHfsSample(const Bytes& readMe, const Bytes& note) {
  HfsLayout layout;
  Bytes image = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(image, layout);
  HfsFileSpec readMeFile;
  readMeFile.fileId = 20;
  readMeFile.dataLength = static_cast<uint32_t>(readMe.size());
  readMeFile.resourceLength = 100;
  readMeFile.modified = 3000000000u;
  readMeFile.dataExtents = {40, 3};
  HfsFileSpec odd;
  odd.type = std::string(4, '\0');
  odd.creator = "a\x7F" "b\xC3";
  odd.fileId = 21;
  HfsFileSpec noteFile;
  noteFile.fileId = 22;
  noteFile.dataLength = static_cast<uint32_t>(note.size());
  noteFile.dataExtents = {50, 1};
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(3));
  PutCatalogNode(image, layout, 1,
                 MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsFolderRecord(2, "Letters", 16, 3000000000u),
                                      HfsFileRecord(2, "ReadMe", readMeFile), HfsFileRecord(2, "Odd", odd)}));
  PutCatalogNode(image, layout, 2, MakeBTreeNode(0xFF, {HfsFileRecord(16, "Note", noteFile)}));
  PutForkBytes(image, layout, {40, 3}, 0, readMe);
  PutForkBytes(image, layout, {50, 1}, 0, note);
  return image;
}

Bytes MakeFatSample(const Bytes& readMe) {
  const FatParams p = Fat720KFloppy();
  const uint16_t date = (19 << 9) | (12 << 5) | 31, time = (23 << 11) | (59 << 5) | 29;
  const uint16_t folderDate = (1 << 5) | 1;
  Bytes image = MakeFatVolume(p);
  PutFatRootEntries(image, p, {FatDirEntry("README  TXT", 0x20, 10, static_cast<uint32_t>(readMe.size()), date, time),
                               FatDirEntry("GAMES      ", 0x10, 2, 0, folderDate)});
  Bytes games = FatDirEntry(".          ", 0x10, 2, 0, folderDate);
  for (const Bytes& entry : {FatDirEntry("..         ", 0x10, 0, 0, folderDate), FatDirEntry("OLD        ", 0x10, 3, 0, folderDate)}) {
    games.insert(games.end(), entry.begin(), entry.end());
  }
  PutFatClusterBytes(image, p, 2, games);
  PutFatClusterBytes(image, p, 3, FatDirEntry("PAC     COM", 0x20, 0, 0, date, time));
  PutFatChain(image, p, false, {2});
  PutFatChain(image, p, false, {3});
  PutFatChain(image, p, false, {10, 11});
  PutFatClusterBytes(image, p, 10, readMe);
  return image;
}

TEST(OvxcliLs, ListsEveryFormatWithSubFoldersDepthFirst) {
  ScratchDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("mac.img"), MakeHfsSample(Awkward(2500), Awkward(5))));
  ASSERT_TRUE(WriteFileBytes(dir.File("dos.img"), MakeFatSample(Awkward(1500))));
  Bytes atari = MakeAtariDisk(false, true, false);
  PutAtariDirectory(atari, true, false, {AtariDirEntry(0x42, 10, 4, "DOS     SYS"), AtariDirEntry(0x80, 1, 9, "GONE       ")});
  ASSERT_TRUE(WriteFileBytes(dir.File("atari.atr"), atari));

  ProgramRun run = RunOvxcli(dir, "ls -R mac.img");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(ConsoleText("Disk\td\t0\t0\t-\t-\t1904-01-01 00:00:00\n"
                        "Disk::\n"
                        "Letters\td\t0\t0\t-\t-\t1999-01-24 05:20:00\n"
                        "ReadMe\t-\t2600\t2500\tTEXT\tttxt\t1999-01-24 05:20:00\n"
                        "Odd\t-\t0\t0\t-\ta?b?\t1904-01-01 00:00:00\n"
                        "Disk:Letters::\n"
                        "Note\t-\t5\t5\tTEXT\tttxt\t1904-01-01 00:00:00\n"),
            run.out);
  // '/' for the separator, and the last one added.
  for (const char* folder : {"Disk:Letters:", "Disk/Letters", "Disk:Letters"}) {
    run = RunOvxcli(dir, std::string("ls mac.img ") + folder);
    EXPECT_EQ(0, run.status) << folder;
    EXPECT_EQ(ConsoleText("Note\t-\t5\t5\tTEXT\tttxt\t1904-01-01 00:00:00\n"), run.out) << folder;
  }
  run = RunOvxcli(dir, "ls mac.img");
  EXPECT_EQ(ConsoleText("Disk\td\t0\t0\t-\t-\t1904-01-01 00:00:00\n"), run.out);

  run = RunOvxcli(dir, "ls -R dos.img");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(ConsoleText("README.TXT\t-\t1500\t1500\t-\t-\t1999-12-31 23:59:58\n"
                        "GAMES\td\t0\t0\t-\t-\t1980-01-01 00:00:00\n"
                        "GAMES\\:\n"
                        "..\td\t0\t0\t-\t-\t1980-01-01 00:00:00\n"
                        "OLD\td\t0\t0\t-\t-\t1980-01-01 00:00:00\n"
                        "GAMES\\OLD\\:\n"
                        "PAC.COM\t-\t0\t0\t-\t-\t1999-12-31 23:59:58\n"),
            run.out);
  run = RunOvxcli(dir, "ls dos.img GAMES/OLD");
  EXPECT_EQ(ConsoleText("PAC.COM\t-\t0\t0\t-\t-\t1999-12-31 23:59:58\n"), run.out);

  run = RunOvxcli(dir, "ls -R atari.atr");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(ConsoleText("DOS.SYS\t-\t1280\t1280\t-\t-\t-\n"), run.out);
}

TEST(OvxcliCat, WritesTheFileBytesUnchanged) {
  ScratchDir dir;
  const Bytes readMe = Awkward(2500), note = Awkward(5), dosReadMe = Awkward(1500);
  ASSERT_TRUE(WriteFileBytes(dir.File("mac.img"), MakeHfsSample(readMe, note)));
  ASSERT_TRUE(WriteFileBytes(dir.File("dos.img"), MakeFatSample(dosReadMe)));
  // MyDOS: a file at the top and one in a sub-folder, each in a chain of sectors.
  const Bytes dosSys = Awkward(300), pong = Awkward(130);
  Bytes atari = MakeAtariDisk(true, false, false);
  PutAtariDirectory(atari, false, false, {AtariDirEntry(0x62, 10, 4, "DOS     SYS"), AtariDirEntry(0x10, 8, 400, "GAMES      ")});
  PutAtariDirectoryAt(atari, false, false, 400, {AtariDirEntry(0x42, 2, 410, "PONG    BAS")});
  PutAtariFile(atari, false, false, 0, {4, 5, 6}, dosSys);
  PutAtariFile(atari, false, false, 0, {410, 411}, pong);
  ASSERT_TRUE(WriteFileBytes(dir.File("mydos.xfd"), atari));
  // MFS: a data fork in two blocks apart, and a file with only a resource fork.
  const Bytes letter = Awkward(1500), icon = Awkward(40);
  MfsLayout layout;
  Bytes mfs = MakeMfsLayoutVolume(layout);
  PutMfsFork(mfs, layout, {8, 3}, letter);
  PutMfsFork(mfs, layout, {5}, icon);
  MfsFileSpec letterSpec, iconSpec;
  letterSpec.dataLength = static_cast<uint32_t>(letter.size());
  letterSpec.dataBlock = 8;
  iconSpec.fileNumber = 2;
  iconSpec.resourceLength = static_cast<uint32_t>(icon.size());
  iconSpec.resourceBlock = 5;
  PutMfsDirectory(mfs, layout, {MfsDirEntry("Letter", letterSpec), MfsDirEntry("Icon", iconSpec)});
  ASSERT_TRUE(WriteFileBytes(dir.File("mfs.img"), mfs));
  const struct {
    const char* arguments;
    Bytes expected;
  } cases[] = {
      {"cat mac.img Disk: ReadMe", readMe},  // the data fork only, though the file has a resource fork
      {"cat mac.img Disk/Letters Note", note},
      {"cat dos.img \"\" README.TXT", dosReadMe},
      {"cat dos.img \"GAMES\\OLD\" PAC.COM", {}},
      {"cat mydos.xfd \"\" DOS.SYS", dosSys},  // what the sectors hold, not the 10 sectors listed
      {"cat mydos.xfd GAMES PONG.BAS", pong},
      {"cat mfs.img \"\" Letter", letter},
      {"cat mfs.img \"\" Icon", icon},
  };
  for (const auto& c : cases) {
    ProgramRun run = RunOvxcli(dir, c.arguments);
    EXPECT_EQ(0, run.status) << c.arguments;
    EXPECT_EQ("", run.err) << c.arguments;
    EXPECT_EQ(std::string(c.expected.begin(), c.expected.end()), run.out) << c.arguments;
  }
  ProgramRun run = RunOvxcli(dir, "ls -R mydos.xfd");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(ConsoleText("DOS.SYS\t-\t1280\t1280\t-\t-\t-\nGAMES\td\t0\t0\t-\t-\t-\n"
                        "GAMES\\:\n..\td\t0\t0\t-\t-\t-\nPONG.BAS\t-\t256\t256\t-\t-\t-\n"),
            run.out);

  // extract gives the same bytes; the resource fork goes beside its file.
  run = RunOvxcli(dir, "extract mydos.xfd atari");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(ConsoleText("1 folders, 2 files, 430 bytes\n"), run.out);
  EXPECT_EQ(dosSys, ReadFileBytes(dir.File("atari/DOS.SYS")));
  EXPECT_EQ(pong, ReadFileBytes(dir.File("atari/GAMES/PONG.BAS")));
  run = RunOvxcli(dir, "extract mfs.img mac");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(letter, ReadFileBytes(dir.File("mac/Letter")));
  bool exists = false;
  EXPECT_EQ(Bytes{}, ReadFileBytes(dir.File("mac/Icon"), &exists));
  EXPECT_TRUE(exists);
  const Bytes sidecar = ReadFileBytes(dir.File("mac/._Icon"));
  ASSERT_GE(sidecar.size(), icon.size());
  EXPECT_EQ(icon, Bytes(sidecar.end() - static_cast<std::ptrdiff_t>(icon.size()), sidecar.end()));
}

TEST(OvxcliLsCat, NamesHoldingSlashesAreTheVolumesOwn) {
  HfsLayout layout;
  Bytes image = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(image, layout);
  HfsFileSpec file;
  file.fileId = 20;
  file.dataLength = 5;
  file.dataExtents = {40, 1};
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(2));
  PutCatalogNode(image, layout, 1,
                 MakeBTreeNode(0xFF, {HfsFolderRecord(1, "HFS - GS/OS", 2), HfsFolderRecord(2, "A/B", 16),
                                      HfsFolderRecord(2, "A", 17), HfsFileRecord(16, "x/y", file)}));
  PutForkBytes(image, layout, {40, 1}, 0, Bytes{'h', 'e', 'l', 'l', 'o'});
  ScratchDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("gsos.img"), image));
  const std::string inside = ConsoleText("x/y\t-\t5\t5\tTEXT\tttxt\t1904-01-01 00:00:00\n");
  // The longest name that fits wins, and ':' in the argument makes every '/' part of a name.
  for (const char* folder : {"\"HFS - GS/OS/A/B\"", "\"HFS - GS/OS:A/B\"", "\"HFS - GS/OS:A/B:\"", "\"HFS - GS/OS/A/B/\""}) {
    ProgramRun run = RunOvxcli(dir, std::string("ls gsos.img ") + folder);
    EXPECT_EQ(0, run.status) << folder << run.err;
    EXPECT_EQ(inside, run.out) << folder;
  }
  ProgramRun run = RunOvxcli(dir, "ls gsos.img \"HFS - GS/OS\"");
  EXPECT_EQ(ConsoleText("A/B\td\t0\t0\t-\t-\t1904-01-01 00:00:00\nA\td\t0\t0\t-\t-\t1904-01-01 00:00:00\n"), run.out);
  run = RunOvxcli(dir, "ls gsos.img \"HFS - GS/OS:A:B\"");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(ConsoleText("ovxcli: no such folder: HFS - GS/OS:A:B\n"), run.err);
  run = RunOvxcli(dir, "cat gsos.img \"HFS - GS/OS/A/B\" x/y");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ("hello", run.out);
  run = RunOvxcli(dir, "ls -R gsos.img");
  EXPECT_EQ(ConsoleText("HFS - GS/OS\td\t0\t0\t-\t-\t1904-01-01 00:00:00\n"
                        "HFS - GS/OS::\n"
                        "A/B\td\t0\t0\t-\t-\t1904-01-01 00:00:00\n"
                        "A\td\t0\t0\t-\t-\t1904-01-01 00:00:00\n"
                        "HFS - GS/OS:A/B::\n") + inside + ConsoleText("HFS - GS/OS:A::\n"),
            run.out);
}

// Folders that point back at an ancestor are listed once; folders that share
// their clusters end the walk once it has listed more than the image holds.
TEST(OvxcliLs, RecursionListsEachFolderOnceAndStopsOnOverlappingFolders) {
  ScratchDir dir;
  HfsLayout layout;
  Bytes mac = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(mac, layout);
  PutCatalogNode(mac, layout, 0, MakeBTreeHeaderNode(2));
  PutCatalogNode(mac, layout, 1,
                 MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsFolderRecord(2, "Back", 2),
                                      HfsFolderRecord(2, "Sub", 16), HfsFolderRecord(16, "Up", 2)}));
  ASSERT_TRUE(WriteFileBytes(dir.File("mac.img"), mac));
  ProgramRun run = RunOvxcli(dir, "ls -R mac.img");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(ConsoleText("Disk\td\t0\t0\t-\t-\t1904-01-01 00:00:00\n"
                        "Disk::\n"
                        "Back\td\t0\t0\t-\t-\t1904-01-01 00:00:00\n"
                        "Sub\td\t0\t0\t-\t-\t1904-01-01 00:00:00\n"
                        "Disk:Sub::\n"
                        "Up\td\t0\t0\t-\t-\t1904-01-01 00:00:00\n"),
            run.out);

  const FatParams p = Fat720KFloppy();
  Bytes dos = MakeFatVolume(p);
  PutFatRootEntries(dos, p, {FatDirEntry("LOOP       ", 0x10, 2, 0)});
  PutFatClusterBytes(dos, p, 2, Joined({FatDirEntry("SELF       ", 0x10, 2, 0), FatDirEntry("TWIN       ", 0x10, 2, 0)}));
  PutFatChain(dos, p, false, {2});
  ASSERT_TRUE(WriteFileBytes(dir.File("loop.img"), dos));
  run = RunOvxcli(dir, "ls -R loop.img");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(ConsoleText("LOOP\td\t0\t0\t-\t-\t-\n"
                        "LOOP\\:\n"
                        "SELF\td\t0\t0\t-\t-\t-\n"
                        "TWIN\td\t0\t0\t-\t-\t-\n"),
            run.out);

  // Four folders whose chains run into one of 512 clusters full of entries:
  // 65,536 entries, where the image holds room for 46,080.
  Bytes shared = MakeFatVolume(p);
  PutFatRootEntries(shared, p, {FatDirEntry("A          ", 0x10, 2, 0), FatDirEntry("B          ", 0x10, 3, 0),
                                FatDirEntry("C          ", 0x10, 4, 0), FatDirEntry("D          ", 0x10, 5, 0)});
  std::vector<uint32_t> chain;
  for (uint32_t c = 6; c < 6 + 512; ++c) chain.push_back(c);
  PutFatChain(shared, p, false, chain);
  for (uint32_t c = 2; c < 6; ++c) PutFatEntry(shared, p, false, c, 6);
  const Bytes files = Joined(std::vector<Bytes>(32, FatDirEntry("F       TXT", 0x20, 0, 0)));
  for (uint32_t c : chain) PutFatClusterBytes(shared, p, c, files);
  ASSERT_TRUE(WriteFileBytes(dir.File("shared.img"), shared));
  run = RunOvxcli(dir, "ls -R shared.img");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(ConsoleText("ovxcli: listing stopped: the folders of shared.img hold more entries than it can\n"), run.err);
}

// 2021-03-05 05:06:07 UTC, in seconds since 1904.
const uint32_t kMarch2021 = 3697765567u;

// Disk (HFS+) holds Docs with Report (TEXT/R*ch, a resource fork) and
// "Café" (its name stored decomposed), Packed (compressed by Mac OS X), and
// "Report link", a hard link to Docs:Report.
HfsPlusPlan MakeHfsPlusSample(const Bytes& report) {
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  plan.rootModified = kMarch2021;
  const uint32_t docs = AddHfsPlusFolder(plan, kHfsPlusRootId, u"Docs", kMarch2021 + 60);
  HfsPlusItem& file = AddHfsPlusFile(plan, docs, u"Report", report, kMarch2021);
  file.type = "TEXT";
  file.creator = "R*ch";
  file.resource = Awkward(200);
  const uint32_t reportId = file.id;
  AddHfsPlusFile(plan, docs, u"Cafe\u0301", Awkward(10), kMarch2021 - 100 * 86400);
  HfsPlusItem& packed = AddHfsPlusFile(plan, kHfsPlusRootId, u"Packed", {}, kMarch2021);
  packed.ownerFlags = 0x20;
  packed.resource = Awkward(300);
  packed.compressedLength = 4321;
  AddHfsPlusHardLink(plan, kHfsPlusRootId, u"Report link", reportId);
  return plan;
}

TEST(OvxcliHfsPlus, ListsCatsAndExtractsMacOsExtended) {
  ScratchDir dir;
  const Bytes report = Awkward(3000);
  const Bytes plus = FlattenImage(BuildHfsPlusVolume(MakeHfsPlusSample(report)));
  ASSERT_TRUE(WriteFileBytes(dir.File("plus.img"), plus));
  const std::string sizeKB = std::to_string(plus.size() / 1024);
  ProgramRun run = RunOvxcli(dir, "info plus.img");
  EXPECT_EQ(ConsoleText("format=hfsplus partitionStart=0 headerLength=0 sizeKB=" + sizeKB + "\n"), run.out);

  // Names in UTF-8 as stored; the private folder of hard-link targets is not
  // listed, and a link lists as the file it points to.
  const std::string reportLine = "\t-\t3200\t3000\tTEXT\tR*ch\t2021-03-05 05:06:07\n";
  run = RunOvxcli(dir, "ls -R plus.img");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(ConsoleText("Disk\td\t0\t0\t-\t-\t2021-03-05 05:06:07\n"
                        "Disk::\n"
                        "Docs\td\t0\t0\t-\t-\t2021-03-05 05:07:07\n"
                        "Packed\t-\t4321\t4321\t-\t-\t2021-03-05 05:06:07\n"
                        "Report link" + reportLine +
                        "Disk:Docs::\n"
                        "Cafe\xCC\x81\t-\t10\t10\t-\t-\t2020-11-25 05:06:07\n"
                        "Report" + reportLine),
            run.out);
  run = RunOvxcli(dir, "cat plus.img Disk \"Report link\"");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(report == Bytes(run.out.begin(), run.out.end()));
  // A compressed file is named and refused, never handed over as other bytes.
  run = RunOvxcli(dir, "cat plus.img Disk Packed");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(ConsoleText("ovxcli: cannot read Packed: Mac OS X stored it compressed\n"), run.err);

  run = RunOvxcli(dir, "extract plus.img out");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(ConsoleText("2 folders, 3 files, 6410 bytes\n"), run.out);
  EXPECT_EQ(ConsoleText("ovxcli: cannot write Disk/Packed: Mac OS X stored it compressed, which cannot be read\n"
                        "ovxcli: 1 could not be written\n"),
            run.err);
  EXPECT_TRUE(report == ReadFileBytes(dir.File("out/Disk/Report link")));
  EXPECT_TRUE(report == ReadFileBytes(dir.File("out/Disk/Docs/Report")));
  const Bytes sidecar = ReadFileBytes(dir.File("out/Disk/._Report link"));
  ASSERT_GE(sidecar.size(), 200u);
  EXPECT_TRUE(Awkward(200) == Bytes(sidecar.end() - 200, sidecar.end()));
  EXPECT_FALSE(FileExists(dir.File("out/Disk/Packed")));
}

TEST(OvxcliHfsPlus, EveryPlaceAnHfsPlusVolumeIsFound) {
  ScratchDir dir;
  HfsPlusPlan plan = MakeHfsPlusSample(Awkward(100));
  const Bytes plus = FlattenImage(BuildHfsPlusVolume(plan));
  plan.hfsx = true;
  const Bytes hfsx = FlattenImage(BuildHfsPlusVolume(plan));
  const Bytes wrapped = WrapInHfs(plus, 8);
  const uint32_t blocks = static_cast<uint32_t>(wrapped.size() / 512);
  std::vector<PartitionSpec> map = UsualPartitionMap(96, blocks);
  map[2].type = "Apple_HFSX";
  const int32_t diskKB = static_cast<int32_t>((96 + blocks) / 2);
  ExpectInfo(dir, {
      {"hfsx.img", hfsx, InfoLine("hfsplus", 0, 0, static_cast<int>(hfsx.size() / 1024))},
      {"wrapped.img", wrapped, InfoLine("hfsplus", 12, 0, static_cast<int>(wrapped.size() / 1024))},
      {"hfsx-hd.img", MakePartitionedDisk(96 + blocks, map, {{}, {}, hfsx}), InfoLine("hfsplus", 96, 0, diskKB)},
      {"wrapped-hd.img", MakePartitionedDisk(96 + blocks, UsualPartitionMap(96, blocks), {{}, {}, wrapped}),
       InfoLine("hfsplus", 96 + 12, 0, diskKB)},
  });
  for (const char* image : {"hfsx.img", "wrapped.img", "hfsx-hd.img", "wrapped-hd.img"}) {
    ProgramRun run = RunOvxcli(dir, std::string("cat ") + image + " Disk:Docs Report");
    EXPECT_EQ(0, run.status) << image << run.err;
    EXPECT_TRUE(Awkward(100) == Bytes(run.out.begin(), run.out.end())) << image;
  }
}

TEST(OvxcliHfsPlus, FilesPast4GBShowTheirSize) {
  ScratchDir dir;
  HfsPlusPlan plan;
  plan.volumeName = u"Big";
  HfsPlusItem& large = AddHfsPlusFile(plan, kHfsPlusRootId, u"Movie", Awkward(100), kMarch2021);
  large.dataLength = (6ull << 30) + 5;
  large.resource = Awkward(7);
  ASSERT_TRUE(WriteSparseImage(dir.File("big.img"), BuildHfsPlusVolume(plan)));
  ProgramRun run = RunOvxcli(dir, "ls big.img Big");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(ConsoleText("Movie\t-\t6442450956\t6442450949\t-\t-\t2021-03-05 05:06:07\n"), run.out);
}

TEST(OvxcliLsCat, FailuresAndUsage) {
  ScratchDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("dos.img"), MakeFatSample(Awkward(10))));
  ASSERT_TRUE(WriteFileBytes(dir.File("blank.img"), Bytes(720 * 1024)));
  ASSERT_TRUE(WriteFileBytes(dir.File("mfs.img"), MakeMfsVolume(400, 391, 1024)));
  const struct {
    const char* arguments;
    int status;
    std::string err;
  } cases[] = {
      {"ls missing.img", 1, "ovxcli: cannot open missing.img: no such file\n"},
      {"cat missing.img \"\" A", 1, "ovxcli: cannot open missing.img: no such file\n"},
      {"ls blank.img", 1, "ovxcli: no file system recognised in blank.img\n"},
      {"cat blank.img \"\" A", 1, "ovxcli: no file system recognised in blank.img\n"},
      {"ls dos.img NOPE", 1, "ovxcli: no such folder: NOPE\n"},
      {"ls -R dos.img GAMES/NOPE", 1, "ovxcli: no such folder: GAMES/NOPE\n"},
      {"ls dos.img README.TXT", 1, "ovxcli: no such folder: README.TXT\n"},
      {"ls mfs.img Disk", 1, "ovxcli: no such folder: Disk\n"},
      {"cat dos.img GAMES/NOPE PAC.COM", 1, "ovxcli: no such folder: GAMES/NOPE\n"},
      {"cat dos.img \"\" NOPE.TXT", 1, "ovxcli: no such file: NOPE.TXT\n"},
      {"cat dos.img \"\" GAMES", 1, "ovxcli: no such file: GAMES\n"},
  };
  for (const auto& c : cases) {
    ProgramRun run = RunOvxcli(dir, c.arguments);
    EXPECT_EQ(c.status, run.status) << c.arguments;
    EXPECT_EQ("", run.out) << c.arguments;
    EXPECT_EQ(ConsoleText(c.err), run.err) << c.arguments;
  }
  for (const char* arguments : {"ls", "ls -R", "ls a.img b c", "ls -R a.img b c", "cat a.img b", "cat a.img b c d"}) {
    ProgramRun run = RunOvxcli(dir, arguments);
    EXPECT_EQ(2, run.status) << arguments;
    EXPECT_EQ(usage, run.err) << arguments;
  }
}

// A hostile catalog: names that would climb out of the folder extracted to,
// name a device or end in a dot, and a file whose blocks lie past the volume.
Bytes MakeHostileHfs() {
  HfsLayout layout;
  Bytes image = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(image, layout);
  auto file = [](uint32_t id, uint32_t length, uint16_t block) {
    HfsFileSpec record;
    record.fileId = id;
    record.dataLength = length;
    record.dataExtents = {block, static_cast<uint16_t>((length + 1023) / 1024)};
    record.modified = 3000000000u;
    return record;
  };
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(3));
  PutCatalogNode(image, layout, 1,
                 MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsFolderRecord(2, "..", 16),
                                      HfsFileRecord(16, "../../evil", file(20, 4, 40)),
                                      HfsFileRecord(2, "nul.txt", file(21, 4, 41))}));
  PutCatalogNode(image, layout, 2,
                 MakeBTreeNode(0xFF, {
HfsFileRecord(2, "x\ty ", file(22, 4, 42)),
                                      HfsFileRecord(2, "100%", file(23, 4, 43)),
                                      HfsFileRecord(2, "Lost", file(24, 3000, 60000))}));
  for (uint16_t block : {40, 41, 42, 43}) PutForkBytes(image, layout, {block, 1}, 0, Bytes{'d', 'a', 't', 'a'});
  return image;
}

TEST(OvxcliExtract, HostileNamesStayInsideAndNothingIsReplacedUnlessForced) {
  ScratchDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("hostile.img"), MakeHostileHfs()));
  ProgramRun run = RunOvxcli(dir, "extract hostile.img out");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(ConsoleText("2 folders, 5 files, 16 bytes\n"), run.out);
  EXPECT_EQ(ConsoleText("ovxcli: name escaped: Disk/.%2E\n"
                        "ovxcli: name escaped: Disk/%6Eul.txt\n"
                        "ovxcli: name escaped: Disk/x%09y%20\n"
                        "ovxcli: name escaped: Disk/100%25\n"
                        "ovxcli: cannot write Disk/Lost: the data fork could be read only in part\n"
                        "ovxcli: name escaped: Disk/.%2E/..%2F..%2Fevil\n"
                        "ovxcli: 1 could not be written\n"),
            run.err);
  EXPECT_EQ("data", ReadFileText(dir.File("out/Disk/.%2E/..%2F..%2Fevil")));
  for (const char* name : {"out/Disk/%6Eul.txt", "out/Disk/x%09y%20", "out/Disk/100%25"}) {
    EXPECT_EQ("data", ReadFileText(dir.File(name))) << name;
  }
  EXPECT_FALSE(FileExists(dir.File("evil")));
  EXPECT_FALSE(FileExists(dir.File("out/evil")));

  // Again: every file is there already and stays as it is, unless forced.
  ASSERT_TRUE(WriteFileBytes(dir.File("out/Disk/100%25"), Bytes{'m', 'i', 'n', 'e'}));
  run = RunOvxcli(dir, "extract hostile.img out");
  EXPECT_EQ(1, run.status);
  EXPECT_NE(std::string::npos, run.err.find(ConsoleText("ovxcli: cannot write Disk/100%25: it exists (--force overwrites it)\n")))
      << run.err;
  EXPECT_NE(std::string::npos, run.err.find(ConsoleText("ovxcli: 5 could not be written\n"))) << run.err;
  EXPECT_EQ("mine", ReadFileText(dir.File("out/Disk/100%25")));
  run = RunOvxcli(dir, "extract --force hostile.img out");
  EXPECT_EQ(1, run.status);  // Lost still cannot be read
  EXPECT_EQ("data", ReadFileText(dir.File("out/Disk/100%25")));

  // One folder, and usage errors.
  ASSERT_TRUE(WriteFileBytes(dir.File("mac.img"), MakeHfsSample(Awkward(2500), Awkward(5))));
  run = RunOvxcli(dir, "extract mac.img letters Disk/Letters");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(ConsoleText("0 folders, 1 files, 5 bytes\n"), run.out);
  const Bytes note = Awkward(5);
  EXPECT_EQ(std::string(note.begin(), note.end()), ReadFileText(dir.File("letters/Note")));
  EXPECT_TRUE(FileExists(dir.File("letters/._Note")));  // its type and creator
  for (const char* arguments : {"extract mac.img", "extract --all mac.img x", "extract mac.img x Disk extra"}) {
    EXPECT_EQ(2, RunOvxcli(dir, arguments).status) << arguments;
  }
  run = RunOvxcli(dir, "extract mac.img x Nowhere");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(ConsoleText("ovxcli: no such folder: Nowhere\n"), run.err);
  EXPECT_FALSE(FileExists(dir.File("x")));
}

#ifndef _WIN32
// Links in the way are never followed, whether they stand for a folder or a file.
TEST(OvxcliExtract, LinksAreNotFollowed) {
  ScratchDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("mac.img"), MakeHfsSample(Awkward(2500), Awkward(5))));
  ASSERT_TRUE(MakeDir(dir.File("elsewhere")));
  ASSERT_TRUE(MakeDir(dir.File("out")));
  ASSERT_EQ(0, symlink(dir.File("elsewhere").c_str(), dir.File("out/Disk").c_str()));
  ProgramRun run = RunOvxcli(dir, "extract mac.img out");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("ovxcli: cannot write Disk/: a link stands there\n"
            "ovxcli: cannot write Disk/ReadMe: its folder could not be made\n"
            "ovxcli: cannot write Disk/Odd: its folder could not be made\n"
            "ovxcli: cannot write Disk/Letters/Note: its folder could not be made\n"
            "ovxcli: 4 could not be written\n",
            run.err);
  EXPECT_FALSE(FileExists(dir.File("elsewhere/ReadMe")));
  EXPECT_FALSE(FileExists(dir.File("elsewhere/Letters")));

  ASSERT_TRUE(WriteFileBytes(dir.File("target"), Bytes{'k', 'e', 'e', 'p'}));
  ASSERT_TRUE(MakeDir(dir.File("out2")));
  ASSERT_TRUE(MakeDir(dir.File("out2/Disk")));
  ASSERT_EQ(0, symlink(dir.File("target").c_str(), dir.File("out2/Disk/ReadMe").c_str()));
  run = RunOvxcli(dir, "extract --force mac.img out2");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("ovxcli: cannot write Disk/ReadMe: a link stands there\novxcli: 1 could not be written\n", run.err);
  EXPECT_EQ("keep", ReadFileText(dir.File("target")));
  EXPECT_TRUE(FileExists(dir.File("out2/Disk/Letters/Note")));
}
#endif

}  // namespace
