#include "menu_convert.h"

#include <gtest/gtest.h>

#include <string>

#include "kelvo2dos_run.h"
#include "menu_disk.h"
#include "menu_disk_builder.h"
#include "test_files.h"

namespace {

// Runs the program in-process with an item number, in dir, and returns what
// it printed after the listing.
std::string ConvertIn(const ScratchDir& dir, const Bytes& image, const char* item,
                      int* status = nullptr) {
  std::string imagePath = dir.File("menu.img");
  WriteFileBytes(imagePath, image);
  std::string outPath = dir.File("out.txt");
  FILE* out = fopen(outPath.c_str(), "wb");
  int result;
  {
    CurrentDir inDir(dir.path());
    const char* argv[] = {"KELVO2DOS", imagePath.c_str(), item};
    result = RunKelvo2Dos(3, argv, out);
  }
  fclose(out);
  if (status) *status = result;
  std::string text = ReadFileText(outPath);
  // The listing's rows hold no empty line; what follows it starts with one.
  size_t rule = text.find("----\n");
  if (rule == std::string::npos) return text;
  size_t after = text.find("\n\n", rule);
  return after == std::string::npos ? "" : text.substr(after + 1);
}

std::vector<MenuItemSpec> SampleItems() {
  return {
      {"Q@block@zone", 20, 4, 0x2000, 0x2010},
      {"@@Pac@man", 30, 0, 0x3000, 0x3000},
      {}, // empty third item
      {"@@wrap@around", 40, 2, 0xFF80, 0x0600},
      {"ABCDEFGHIJKLMNOP", 50, 1, 0x4000, 0x4001},
      {"@@123@@@", 60, 1, 0x5000, 0x5001},
  };
}

TEST(ParseMenuSelection, AcceptsWhatAtoiWouldAndRefusesTheRest) {
  ScratchDir dir;
  Bytes image = MakeMenuDisk(SampleItems(), true);
  ConvertIn(dir, image, "1");  // fills menuTable
  EXPECT_EQ(0, ParseMenuSelection("1"));
  EXPECT_EQ(1, ParseMenuSelection(" 2"));
  EXPECT_EQ(0, ParseMenuSelection("+1"));
  EXPECT_EQ(0, ParseMenuSelection("1x"));
  EXPECT_EQ(0, ParseMenuSelection("\t\n 01"));
  // Item 4 follows the empty item 3; it is still a valid choice.
  EXPECT_EQ(3, ParseMenuSelection("4"));
  for (const char* bad : {"0", "3", "7", "9", "10", "-1", "abc", "", " ", "+", "- 1", "x1",
                          "4294967297", "99999999999999999999999"}) {
    EXPECT_EQ(-1, ParseMenuSelection(bad)) << '"' << bad << '"';
  }
}

TEST(ConvertMenuItem, NamesAndLabels) {
  ScratchDir dir;
  Bytes image = MakeMenuDisk(SampleItems(), false);
  EXPECT_EQ("\nCreating blockzon.obj from block zone        \n", ConvertIn(dir, image, "1"));
  EXPECT_TRUE(FileExists(dir.File("blockzon.obj")));
  // Case is kept; the first two characters never count.
  EXPECT_EQ("\nCreating Pacman.obj from Pac man           \n", ConvertIn(dir, image, "2"));
  // Of 'CDEFGHIJKLMNOP' only letters survive cleaning ('G', 'H', 'I' become
  // punctuation), and at most eight are taken.
  EXPECT_EQ("\nCreating CDEFJKLM.obj from CDEF'()JKLMNOP    \n", ConvertIn(dir, image, "5"));
  // No letters at all: the name is just the extension.
  EXPECT_EQ("\nCreating .obj from 123               \n", ConvertIn(dir, image, "6"));
  EXPECT_TRUE(FileExists(dir.File(".obj")));
}

TEST(ConvertMenuItem, WritesTheLoadFileByteForByte) {
  ScratchDir dir;
  std::vector<MenuItemSpec> items = SampleItems();
  for (bool atr : {false, true}) {
    Bytes image = MakeMenuDisk(items, atr);
    // $2000, four sectors: header FF FF 00 20 FF 21 and 530 bytes in all.
    int status = -1;
    ConvertIn(dir, image, "1", &status);
    EXPECT_EQ(0, status);
    Bytes file = ReadFileBytes(dir.File("blockzon.obj"));
    ASSERT_EQ(530u, file.size());
    EXPECT_EQ((Bytes{0xFF, 0xFF, 0x00, 0x20, 0xFF, 0x21}), Bytes(file.begin(), file.begin() + 6));
    EXPECT_EQ((Bytes{0xE2, 0x02, 0xE3, 0x02, 0x10, 0x20, 0xE0, 0x02, 0xE1, 0x02, 0x10, 0x20}),
              Bytes(file.end() - 12, file.end()));
    EXPECT_EQ(ExpectedLoadFile(image, atr, items[0]), file);
    // The item header is part of the copied data.
    EXPECT_EQ(4, file[6 + 1]);

    // No sectors: 18 bytes, the end address one below the load address.
    ConvertIn(dir, image, "2");
    EXPECT_EQ((Bytes{0xFF, 0xFF, 0x00, 0x30, 0xFF, 0x2F, 0xE2, 0x02, 0xE3, 0x02, 0x00, 0x30, 0xE0,
                     0x02, 0xE1, 0x02, 0x00, 0x30}),
              ReadFileBytes(dir.File("Pacman.obj")));

    // $FF80 + 2 sectors wraps to an end address of $007F.
    ConvertIn(dir, image, "4");
    file = ReadFileBytes(dir.File("wraparou.obj"));
    EXPECT_EQ((Bytes{0xFF, 0xFF, 0x80, 0xFF, 0x7F, 0x00}), Bytes(file.begin(), file.begin() + 6));
    EXPECT_EQ(ExpectedLoadFile(image, atr, items[3]), file);
  }
}

TEST(ConvertMenuItem, ReplacesAnExistingFile) {
  ScratchDir dir;
  Bytes image = MakeMenuDisk(SampleItems(), true);
  WriteFileBytes(dir.File("blockzon.obj"), Bytes(5000, 0xAA));
  ConvertIn(dir, image, "1");
  EXPECT_EQ(ExpectedLoadFile(image, true, SampleItems()[0]), ReadFileBytes(dir.File("blockzon.obj")));
}

TEST(ConvertMenuItem, RefusedSelectionsWriteNothing) {
  ScratchDir dir;
  Bytes image = MakeMenuDisk(SampleItems(), true);
  for (const char* bad : {"0", "10", "abc", "3", "-2"}) {
    int status = 0;
    EXPECT_EQ("\n*** Not a valid menu selection ***\n", ConvertIn(dir, image, bad, &status)) << bad;
    EXPECT_EQ(1, status);
  }
  EXPECT_FALSE(FileExists(dir.File(".obj")));
}

TEST(ConvertMenuItem, CannotCreateTheOutputFile) {
  ScratchDir dir;
  // A folder of the output file's name makes the create fail.
  ASSERT_TRUE(MakeDir(dir.File("blockzon.obj")));
  int status = 0;
  EXPECT_EQ("\nCreating blockzon.obj from block zone        \n\n*** Couldn't create file ***\n",
            ConvertIn(dir, MakeMenuDisk(SampleItems(), false), "1", &status));
  EXPECT_EQ(1, status);
}

// Names of the platform's devices are refused as files that could not be
// made; all 18 characters of the name count, past a zero byte too.
TEST(ConvertMenuItem, DeviceNamesAreRefusedAndZeroBytesDoNotEndTheName) {
  ScratchDir dir;
  const std::vector<MenuItemSpec> items = {
      {"@@con", 20, 1, 0x2000, 0x2000},        {"@@NuL@@", 21, 1, 0x2000, 0x2000},
      {"@@Aux", 22, 1, 0x2000, 0x2000},        {"@@prn", 23, 1, 0x2000, 0x2000},
      {std::string("@@ab\0cd", 7), 24, 1, 0x2000, 0x2000}, {"@@coms", 25, 1, 0x2000, 0x2000},
  };
  const Bytes image = MakeMenuDisk(items, false);
  for (const char* item : {"1", "2", "3", "4"}) {
    int status = 0;
    const std::string said = ConvertIn(dir, image, item, &status);
    EXPECT_NE(std::string::npos, said.find("\n*** Couldn't create file ***\n")) << item << said;
    EXPECT_EQ(1, status) << item;
  }
  EXPECT_EQ("\nCreating abcd.obj from ab\n", ConvertIn(dir, image, "5"));
  EXPECT_TRUE(FileExists(dir.File("abcd.obj")));
  EXPECT_EQ("\nCreating coms.obj from coms" + std::string(14, ' ') + "\n", ConvertIn(dir, image, "6"));
}

// An image that has the output's name is read before the output replaces it.
TEST(ConvertMenuItem, AnOutputNamedAsTheImageIsWrittenFromWhatWasRead) {
  ScratchDir dir;
  const std::vector<MenuItemSpec> items = SampleItems();
  const Bytes image = MakeMenuDisk(items, true);
  WriteFileBytes(dir.File("blockzon.obj"), image);
  FILE* out = fopen(dir.File("out.txt").c_str(), "wb");
  int status;
  {
    CurrentDir inDir(dir.path());
    const char* argv[] = {"KELVO2DOS", "blockzon.obj", "1"};
    status = RunKelvo2Dos(3, argv, out);
  }
  fclose(out);
  EXPECT_EQ(0, status) << ReadFileText(dir.File("out.txt"));
  EXPECT_EQ(ExpectedLoadFile(image, true, items[0]), ReadFileBytes(dir.File("blockzon.obj")));
}

TEST(ConvertMenuItem, ImageEndingInsideTheItemWritesOnlyWhatWasRead) {
  ScratchDir dir;
  std::vector<MenuItemSpec> items = SampleItems();
  Bytes image = MakeMenuDisk(items, true);
  Bytes full = ExpectedLoadFile(image, true, items[0]);
  // Cut the image 200 bytes into the four-sector item at sector 20.
  size_t itemStart = 16 + 128 * 19;
  image.resize(itemStart + 200);
  int status = 0;
  EXPECT_EQ(
      "\nCreating blockzon.obj from block zone        \n"
      "\n*** Image ends inside the item: blockzon.obj is incomplete ***\n",
      ConvertIn(dir, image, "1", &status));
  EXPECT_EQ(1, status);
  // The header and exactly the 200 bytes that exist; nothing made up.
  EXPECT_EQ(Bytes(full.begin(), full.begin() + 6 + 200), ReadFileBytes(dir.File("blockzon.obj")));

  // An item that starts past the end of the image: header only.
  image.resize(itemStart - 1);
  ConvertIn(dir, image, "1");
  // Its header bytes were read past the end (0xFF), so the item now claims
  // 255 sectors at $FFFF.
  EXPECT_EQ((Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x7E, 0x7F}), ReadFileBytes(dir.File("blockzon.obj")));
}

}  // namespace
