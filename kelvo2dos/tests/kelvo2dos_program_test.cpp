// Runs the built KELVO2DOS program as a separate process on images built here
// and compares what it prints and writes. The same test runs natively and,
// cross-compiled, under Wine against KELVO2DOS.exe, where the console text
// ends its lines with CR LF.
#include <gtest/gtest.h>

#include <string>

#include "menu_disk_builder.h"
#include "test_files.h"

namespace {

struct ProgramRun {
  int status;
  std::string text;
};

ProgramRun RunKelvo(const ScratchDir& dir, const std::string& arguments) {
  std::string program = ProgramBeside("KELVO2DOS");
  EXPECT_EQ(std::string::npos, program.find(' ')) << "build paths must not hold spaces";
  int status = RunProgram(dir.path(), program + (arguments.empty() ? "" : " " + arguments), "stdout.txt");
  return {status, ReadFileText(dir.File("stdout.txt"))};
}

const char kHeading[] =
    "\n"
    "Name                   StartSec  #Sec  Load  Run\n"
    "-------------------------------------------------\n";

std::vector<MenuItemSpec> FullMenu() {
  return {
      {"Q@block@zone", 0x0010, 4, 0x2000, 0x2010},
      {"@@Pac@man@Jr", 0x0020, 0, 0x3000, 0x3000},
      {"@@wrap@around", 0x0030, 2, 0xFF80, 0x0600},
      {"@@Zaxxon", 0x0040, 0x10, 0x0700, 0x0A00},
      {"@@Kaboom^", 0x0060, 1, 0x8000, 0x8001},
      {"@@Frogger@GHI", 0x0080, 3, 0x1000, 0x1000},
      {"@@Jumpman@@Junior", 0x00A0, 5, 0x4000, 0x4100},
      {"@@Oil@s@well", 0x00C0, 1, 0x2800, 0x2800},
      {"@@Miner@QWSX", 0x02C0, 7, 0x2400, 0x2444},
  };
}

const char kFullListing[] =
    "1 block zone             0010     04   2000  2010\n"
    "  Pac man Jr             0020     00   3000  3000\n"
    "  wrap around            0030     02   FF80  0600\n"
    "  Zaxxon                 0040     10   0700  0A00\n"
    "  Kaboom>                0060     01   8000  8001\n"
    "  Frogger '()            0080     03   1000  1000\n"
    "  Jumpman  Junior        00A0     05   4000  4100\n"
    "  Oil s well             00C0     01   2800  2800\n"
    "  Miner 1738             02C0     07   2400  2444\n";

TEST(Kelvo2DosProgram, ListsFullAndPartialMenus) {
  ScratchDir dir;
  for (bool atr : {true, false}) {
    std::string name = atr ? "full.atr" : "full.xfd";
    ASSERT_TRUE(WriteFileBytes(dir.File(name), MakeMenuDisk(FullMenu(), atr)));
    ProgramRun run = RunKelvo(dir, name);
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(ConsoleText(std::string(kHeading) + kFullListing), run.text) << name;
  }
  std::vector<MenuItemSpec> partial = FullMenu();
  partial[2] = {};
  ASSERT_TRUE(WriteFileBytes(dir.File("partial.xfd"), MakeMenuDisk(partial, false)));
  ProgramRun run = RunKelvo(dir, "partial.xfd");
  EXPECT_EQ(ConsoleText(std::string(kHeading) +
                        "1 block zone             0010     04   2000  2010\n"
                        "  Pac man Jr             0020     00   3000  3000\n"),
            run.text);
}

TEST(Kelvo2DosProgram, ConvertsItemsByteForByte) {
  ScratchDir dir;
  std::vector<MenuItemSpec> items = FullMenu();
  items[2] = {};  // empty item before the ones converted below
  for (bool atr : {true, false}) {
    std::string name = atr ? "menu.atr" : "menu.xfd";
    Bytes image = MakeMenuDisk(items, atr);
    ASSERT_TRUE(WriteFileBytes(dir.File(name), image));
    struct Case {
      const char* item;
      int index;
      const char* output;
      const char* label;
    } cases[] = {
        {"1", 0, "blockzon.obj", "block zone        "},
        {"2", 1, "PacmanJr.obj", "Pac man Jr        "},  // no sectors: 18 bytes
        {"4", 3, "Zaxxon.obj", "Zaxxon            "},     // follows the empty item 3
        {"+9", 8, "Miner.obj", "Miner 1738        "},
    };
    for (const Case& c : cases) {
      ProgramRun run = RunKelvo(dir, name + " " + c.item);
      EXPECT_EQ(0, run.status) << c.item;
      std::string expectedTail = std::string("\nCreating ") + c.output + " from " + c.label + "\n";
      ASSERT_GE(run.text.size(), ConsoleText(expectedTail).size());
      EXPECT_EQ(ConsoleText(expectedTail), run.text.substr(run.text.size() - ConsoleText(expectedTail).size()));
      EXPECT_EQ(ExpectedLoadFile(image, atr, items[c.index]), ReadFileBytes(dir.File(c.output)))
          << name << " item " << c.item;
    }
    EXPECT_EQ(18u, ReadFileBytes(dir.File("PacmanJr.obj")).size());
    EXPECT_EQ(6 + 16 * 128 + 12u, ReadFileBytes(dir.File("Zaxxon.obj")).size());
  }
  // The wrapped end address, through the real program.
  items = FullMenu();
  Bytes image = MakeMenuDisk(items, true);
  ASSERT_TRUE(WriteFileBytes(dir.File("wrap.atr"), image));
  RunKelvo(dir, "wrap.atr 3");
  Bytes file = ReadFileBytes(dir.File("wraparou.obj"));
  ASSERT_EQ(18 + 256u, file.size());
  EXPECT_EQ((Bytes{0xFF, 0xFF, 0x80, 0xFF, 0x7F, 0x00}), Bytes(file.begin(), file.begin() + 6));
}

TEST(Kelvo2DosProgram, MessagesAndUsage) {
  ScratchDir dir;
  ProgramRun run = RunKelvo(dir, "");
  EXPECT_EQ(ConsoleText("KELVO2DOS 1.0 shows directory listings of .XFD and .ATR\n"
                        "Kelvo menu disk images.\n"
                        "If the menu item number is also specified then an attempt\n"
                        "is made to convert that menu item to AtariDOS/MyDOS format\n"
                        "Comments and reports are welcome at kelvo2dos@orvanta.example\n"
                        "\n"
                        "Usage: KELVO2DOS <filename.xfd/atr> [menu item number]\n"),
            run.text);
  EXPECT_EQ(2, run.status);
  EXPECT_EQ(run.text, RunKelvo(dir, "a b c").text);

  run = RunKelvo(dir, "missing.atr");
  EXPECT_EQ(ConsoleText("Disk image file not found\n"), run.text);
  EXPECT_EQ(1, run.status);

  ASSERT_TRUE(WriteFileBytes(dir.File("blank.xfd"), Bytes(92160, 0)));
  EXPECT_EQ(ConsoleText("Suspect image file does not contain a Kelvo menu\n"),
            RunKelvo(dir, "blank.xfd").text);

  ASSERT_TRUE(WriteFileBytes(dir.File("menu.atr"), MakeMenuDisk(FullMenu(), true)));
  run = RunKelvo(dir, "menu.atr 10");
  EXPECT_EQ(ConsoleText(std::string(kHeading) + kFullListing + "\n*** Not a valid menu selection ***\n"),
            run.text);
  EXPECT_EQ(1, run.status);
}

}  // namespace
