#include "menu_disk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kelvo2dos_run.h"
#include "menu_disk_builder.h"
#include "test_files.h"

namespace {

struct RunResult {
  int status;
  std::string text;
};

// Runs the whole program in-process on an image written to a scratch folder,
// which is also the current directory, so any output file lands there.
RunResult RunOn(const ScratchDir& dir, const Bytes& image, const char* item = nullptr) {
  std::string imagePath = dir.File("menu.img");
  WriteFileBytes(imagePath, image);
  std::string outPath = dir.File("out.txt");
  FILE* out = fopen(outPath.c_str(), "wb");
  CurrentDir inDir(dir.path());
  const char* argv[] = {"KELVO2DOS", imagePath.c_str(), item};
  int status = RunKelvo2Dos(item ? 3 : 2, argv, out);
  fclose(out);
  return {status, ReadFileText(outPath)};
}

// One listing row: the name padded to its 20 characters, then the columns.
std::string Row(std::string name, const char* columns) {
  name.resize(20, ' ');
  return name + "     " + columns + "\n";
}

const char kHeading[] =
    "\n"
    "Name                   StartSec  #Sec  Load  Run\n"
    "-------------------------------------------------\n";

TEST(CleanMenuName, MapsEveryByteByTheTable) {
  for (int stored = 0; stored < 256; ++stored) {
    MenuEntry entry = {};
    memset(entry.name, stored, kMenuNameLength);
    CleanMenuName(&entry);
    int c = stored & 0x7F;
    int expected = c;
    if (c == '@') expected = ' ';
    if (c == 'G') expected = '\'';
    if (c == 'H') expected = '(';
    if (c == 'I') expected = ')';
    if (c >= 'Q' && c <= 'Y') expected = '1' + (c - 'Q');
    if (c == '^') expected = '>';
    for (int i = 0; i < kMenuNameLength; ++i) {
      ASSERT_EQ(expected, static_cast<uint8_t>(entry.name[i])) << "stored byte " << stored;
    }
  }
  // Letters that are not in the table stay as they are, 'P' and 'Z' included.
  MenuEntry entry = {};
  memcpy(entry.name, "Q@block@zonePZAF\xD1\xC0^x", 20);
  CleanMenuName(&entry);
  EXPECT_EQ(std::string("1 block zonePZAF1 >x"), std::string(entry.name, 20));
}

TEST(ReadMenu, RecognisesTheFormatByItsFirstBytesAlone) {
  ScratchDir dir;
  std::vector<MenuItemSpec> items = {{"@@Pac@man", 10, 3, 0x2000, 0x2003}};
  // Same menu as ATR and as XFD: both list the same row. The file name
  // (menu.img) says nothing about the format.
  const std::string row = Row("  Pac man", "000A     03   2000  2003");
  for (bool atr : {true, false}) {
    RunResult result = RunOn(dir, MakeMenuDisk(items, atr));
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(std::string(kHeading) + row, result.text) << "atr=" << atr;
    EXPECT_EQ(atr ? 16 : 0, headerSize);
  }
  // An XFD image whose data happens to start 0x96 0x02 is taken for ATR, and
  // then its signature is looked for 16 bytes further on.
  Bytes xfd = MakeMenuDisk(items, false);
  xfd[0] = 0x96;
  xfd[1] = 0x02;
  EXPECT_EQ("Suspect image file does not contain a Kelvo menu\n", RunOn(dir, xfd).text);
}

TEST(ReadMenu, RefusesImagesWithoutTheSignature) {
  ScratchDir dir;
  const std::string suspect = "Suspect image file does not contain a Kelvo menu\n";
  for (size_t length : {0, 1, 4}) {
    RunResult result = RunOn(dir, Bytes(length, 0));
    EXPECT_EQ(suspect, result.text) << length << " bytes";
    EXPECT_EQ(1, result.status);
  }
  // Five bytes are enough to hold the signature of an XFD image; everything
  // after it reads as 0xFF, so all nine items point at sector $FFFF.
  std::string rows;
  for (int i = 0; i < 9; ++i) rows += "     FFFF     FF   FFFF  FFFF\n";
  EXPECT_EQ(kHeading + rows, RunOn(dir, Bytes{0, 0, 0x00, 0x9A, 0x64}).text);
  Bytes image = MakeMenuDisk({}, false);
  for (int i = 2; i <= 4; ++i) {
    Bytes broken = image;
    broken[i] ^= 1;
    EXPECT_EQ(suspect, RunOn(dir, broken).text) << "signature byte " << i;
  }
  // ATR header but the file ends inside the signature.
  EXPECT_EQ(suspect, RunOn(dir, Bytes{0x96, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      0x00, 0x9A})
                         .text);
  std::string outPath = dir.File("missing.txt");
  FILE* out = fopen(outPath.c_str(), "wb");
  std::string missing = dir.File("no-such-image.atr");
  const char* argv[] = {"KELVO2DOS", missing.c_str()};
  EXPECT_EQ(1, RunKelvo2Dos(2, argv, out));
  fclose(out);
  EXPECT_EQ("Disk image file not found\n", ReadFileText(outPath));
}

TEST(ReadMenu, ImagesThatEndInsideTheMenuOrAnItemHeader) {
  ScratchDir dir;
  std::vector<MenuItemSpec> items = {{"@@one", 5, 1, 0x1234, 0x5678}, {"@@two", 700, 2, 0x3000, 0x3001}};
  Bytes full = MakeMenuDisk(items, false);
  // Cut inside the start-sector table: the missing bytes read as 0xFF, so
  // every item points past the end, where its header reads as 0xFF too.
  Bytes cut(full.begin(), full.begin() + 245);
  RunResult result = RunOn(dir, cut);
  EXPECT_EQ(std::string(kHeading) +
                // Unread names are blank, not padded, so the columns move left.
                "     00FF     FF   FFFF  FFFF\n"
                "     02FF     FF   FFFF  FFFF\n"
                "     00FF     FF   FFFF  FFFF\n"
                "     00FF     FF   FFFF  FFFF\n"
                "     00FF     FF   FFFF  FFFF\n"
                "     00FF     FF   FFFF  FFFF\n"
                "     00FF     FF   FFFF  FFFF\n"
                "     FFFF     FF   FFFF  FFFF\n"
                "     FFFF     FF   FFFF  FFFF\n",
            result.text);
  // Cut inside the second name: the part that exists is kept.
  cut.assign(full.begin(), full.begin() + 313 + 20 + 3);
  result = RunOn(dir, cut);
  EXPECT_EQ(std::string(kHeading) +
                Row("  one", "0005     FF   FFFF  FFFF") +
                "  t     02BC     FF   FFFF  FFFF\n",
            result.text);
  // Cut inside the first item's header, after its count and load low byte.
  cut.assign(full.begin(), full.begin() + 128 * 4 + 3);
  result = RunOn(dir, cut);
  EXPECT_EQ(std::string(kHeading) +
                Row("  one", "0005     01   FF34  FFFF") +
                Row("  two", "02BC     FF   FFFF  FFFF"),
            result.text);
}

TEST(PrintMenu, ListsItemsUpToTheFirstEmptyOne) {
  ScratchDir dir;
  std::vector<MenuItemSpec> items;
  const char* names[] = {"@@alpha", "@@bravo", "@@charlie", "@@delta", "@@echo",
                         "@@foxtrot", "@@golf", "@@hotel", "@@india"};
  for (unsigned i = 0; i < 9; ++i) {
    items.push_back({names[i], 0x100 + 10 * i, static_cast<uint8_t>(i + 1),
                     static_cast<uint16_t>(0xA000 + i), static_cast<uint16_t>(0x0B0C + i)});
  }
  RunResult result = RunOn(dir, MakeMenuDisk(items, true, 1040));
  EXPECT_EQ(std::string(kHeading) +
                Row("  alpha", "0100     01   A000  0B0C") +
                Row("  bravo", "010A     02   A001  0B0D") +
                Row("  charlie", "0114     03   A002  0B0E") +
                Row("  delta", "011E     04   A003  0B0F") +
                Row("  echo", "0128     05   A004  0B10") +
                Row("  foxtrot", "0132     06   A005  0B11") +
                Row("  golf", "013C     07   A006  0B12") +
                Row("  hotel", "0146     08   A007  0B13") +
                Row("  india", "0150     09   A008  0B14"),
            result.text);

  // Item 3 empty: only items 1 and 2 are listed, but item 4 was still read.
  items[2].startSector = 0;
  result = RunOn(dir, MakeMenuDisk(items, true, 1040));
  EXPECT_EQ(std::string(kHeading) +
                Row("  alpha", "0100     01   A000  0B0C") +
                Row("  bravo", "010A     02   A001  0B0D"),
            result.text);
  EXPECT_EQ(4, menuTable[3].sectorCount);
  EXPECT_EQ(0xA0, menuTable[3].loadHigh);
  EXPECT_EQ(0x03, menuTable[3].loadLow);

  // First item empty: heading only.
  items[0].startSector = 0;
  EXPECT_EQ(kHeading, RunOn(dir, MakeMenuDisk(items, false, 1040)).text);

  // A name byte whose low seven bits are zero ends the printed name there.
  std::string cutName = "@@ab";
  cutName += '\x80';
  cutName += "cd";
  result = RunOn(dir, MakeMenuDisk({{cutName, 9, 1, 0x0102, 0x0304}}, false));
  EXPECT_EQ(std::string(kHeading) + "  ab     0009     01   0102  0304\n", result.text);
}

TEST(RunKelvo2Dos, UsageForWrongArgumentCounts) {
  const std::string usage =
      "KELVO2DOS 1.0 shows directory listings of .XFD and .ATR\n"
      "Kelvo menu disk images.\n"
      "If the menu item number is also specified then an attempt\n"
      "is made to convert that menu item to AtariDOS/MyDOS format\n"
      "Comments and reports are welcome at kelvo2dos@orvanta.example\n"
      "\n"
      "Usage: KELVO2DOS <filename.xfd/atr> [menu item number]\n";
  ScratchDir dir;
  for (int argc : {1, 4}) {
    std::string outPath = dir.File("usage.txt");
    FILE* out = fopen(outPath.c_str(), "wb");
    const char* argv[] = {"KELVO2DOS", "a", "b", "c"};
    EXPECT_EQ(2, RunKelvo2Dos(argc, argv, out));
    fclose(out);
    EXPECT_EQ(usage, ReadFileText(outPath)) << argc << " arguments";
  }
}

}  // namespace
