#include "score_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "game_outside.h"
#include "game_rules.h"
#include "test_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const char kScoreFile[] = "Grentix.his";

// Each test runs in its own empty folder, made current, with a fresh record.
class ScoreFileTest : public ::testing::Test {
 protected:
  ScoreFileTest() : inDir_(dir_.path()) { ResetGameRecord(); }
  ~ScoreFileTest() override { SetFileReplacer(nullptr); }

  ScratchDir dir_;
  CurrentDir inDir_;
};

TEST_F(ScoreFileTest, RoundTripIsFourLittleEndianBytes) {
  struct Case {
    int32_t score;
    Bytes bytes;
  };
  const Case cases[] = {
      {0, {0, 0, 0, 0}},
      {10000, {0x10, 0x27, 0, 0}},
      {0x12345678, {0x78, 0x56, 0x34, 0x12}},
      {-2, {0xFE, 0xFF, 0xFF, 0xFF}},
      {INT32_MIN, {0, 0, 0, 0x80}},
  };
  for (const Case& c : cases) {
    game.highScore = c.score;
    SaveHighScore();
    EXPECT_EQ(c.bytes, ReadFileBytes(dir_.File(kScoreFile))) << c.score;
    game.highScore = 1;
    LoadHighScore();
    EXPECT_EQ(c.score, game.highScore);
  }

  // Saving replaces a longer file whole.
  WriteFileBytes(dir_.File(kScoreFile), Bytes(64, 0xAA));
  game.highScore = 5;
  SaveHighScore();
  EXPECT_EQ((Bytes{5, 0, 0, 0}), ReadFileBytes(dir_.File(kScoreFile)));
}

TEST_F(ScoreFileTest, ShortLongAndMissingFiles) {
  struct Case {
    Bytes bytes;
    int32_t score;
  };
  const Case cases[] = {
      {{}, 0},
      {{0x7F}, 0x7F},
      {{0x10, 0x27}, 10000},
      {{0x01, 0x02, 0x83}, 0x830201},
      {{0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF, 0xFF}, 0x04030201},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileBytes(dir_.File(kScoreFile), c.bytes));
    game.highScore = -1;  // every byte set: a short file must not keep any
    LoadHighScore();
    EXPECT_EQ(c.score, game.highScore) << c.bytes.size() << " bytes";
  }

  // Missing: 0, not whatever was there before.
  ASSERT_EQ(0, remove(dir_.File(kScoreFile).c_str()));
  game.highScore = 300;
  LoadHighScore();
  EXPECT_EQ(0, game.highScore);
  EXPECT_FALSE(FileExists(dir_.File(kScoreFile)));
}

TEST_F(ScoreFileTest, AFolderInTheFilesPlaceIsNeitherReadNorWritten) {
  ASSERT_TRUE(MakeDir(dir_.File(kScoreFile)));
  game.highScore = 300;
  LoadHighScore();
  EXPECT_EQ(0, game.highScore);

  game.highScore = 1234;
  SaveHighScore();  // silent
  EXPECT_EQ(1234, game.highScore);
  LoadHighScore();
  EXPECT_EQ(0, game.highScore);
}

TEST_F(ScoreFileTest, AFailedSaveKeepsTheStoredScore) {
  WriteFileBytes(dir_.File(kScoreFile), {0x10, 0x27, 0, 0});
  LoadHighScore();
  EXPECT_EQ(10000, game.highScore);
  // The new file cannot be made: the old one stays as it was.
  ASSERT_TRUE(MakeDir(dir_.File("Grentix.his.new")));
  game.highScore = 12;
  SaveHighScore();
  EXPECT_EQ((Bytes{0x10, 0x27, 0, 0}), ReadFileBytes(dir_.File(kScoreFile)));
  ASSERT_EQ(0, rmdir(dir_.File("Grentix.his.new").c_str()));
  SaveHighScore();
  EXPECT_EQ((Bytes{12, 0, 0, 0}), ReadFileBytes(dir_.File(kScoreFile)));
  EXPECT_FALSE(FileExists(dir_.File("Grentix.his.new")));
}

// Windows 95, 98 and Me cannot replace a file in one step: the stored score
// waits under the old name until the new file is in place.
TEST_F(ScoreFileTest, WithoutAOneStepReplaceTheStoredScoreWaitsAside) {
  SetFileReplacer(nullptr);
  const std::string oldFile = dir_.File("Grentix.his.old");
  WriteFileBytes(dir_.File(kScoreFile), {0x10, 0x27, 0, 0});
  LoadHighScore();
  game.highScore = 10001;
  SaveHighScore();
  EXPECT_EQ((Bytes{0x11, 0x27, 0, 0}), ReadFileBytes(dir_.File(kScoreFile)));
  EXPECT_FALSE(FileExists(oldFile));
  EXPECT_FALSE(FileExists(dir_.File("Grentix.his.new")));

  // Cut short once the score had moved aside: it is found there, and the
  // next save puts the score file back.
  ASSERT_EQ(0, rename(dir_.File(kScoreFile).c_str(), oldFile.c_str()));
  WriteFileBytes(dir_.File("Grentix.his.new"), {0x12, 0x27, 0, 0});
  LoadHighScore();
  EXPECT_EQ(10001, game.highScore);
  SaveHighScore();
  EXPECT_EQ((Bytes{0x11, 0x27, 0, 0}), ReadFileBytes(dir_.File(kScoreFile)));
  EXPECT_FALSE(FileExists(oldFile));

  // A short score file yields to a whole one kept aside, and only to that.
  WriteFileBytes(dir_.File(kScoreFile), {0x05});
  WriteFileBytes(oldFile, {0x20, 0x4E, 0, 0});
  LoadHighScore();
  EXPECT_EQ(20000, game.highScore);
  WriteFileBytes(oldFile, {0x20, 0x4E});
  LoadHighScore();
  EXPECT_EQ(5, game.highScore);

  // The score cannot be moved aside (a folder holds the old name): nothing
  // is replaced, and nothing is lost.
  ASSERT_EQ(0, remove(oldFile.c_str()));
  ASSERT_TRUE(MakeDir(oldFile));
  ASSERT_TRUE(MakeDir(dir_.File("Grentix.his.old/keep")));
  game.highScore = 30000;
  SaveHighScore();
  EXPECT_EQ((Bytes{0x05}), ReadFileBytes(dir_.File(kScoreFile)));
  EXPECT_FALSE(FileExists(dir_.File("Grentix.his.new")));
  ASSERT_EQ(0, rmdir(dir_.File("Grentix.his.old/keep").c_str()));
  ASSERT_EQ(0, rmdir(oldFile.c_str()));
}

// Where the system replaces in one step, that call alone puts the file in
// place, and its failure keeps the stored score.
TEST_F(ScoreFileTest, AOneStepReplaceIsUsedWhereTheSystemHasOne) {
  static std::vector<std::string> replaced;
  static ReplaceResult answer;
  replaced.clear();
  SetFileReplacer([](const char* from, const char* to) {
    replaced.push_back(std::string(from) + ">" + to);
    if (answer == ReplaceDone) {
      remove(to);  // Windows' rename replaces nothing
      EXPECT_EQ(0, rename(from, to));
    }
    return answer;
  });
  WriteFileBytes(dir_.File(kScoreFile), {0x10, 0x27, 0, 0});
  LoadHighScore();
  answer = ReplaceDone;
  game.highScore = 10001;
  SaveHighScore();
  EXPECT_EQ((Bytes{0x11, 0x27, 0, 0}), ReadFileBytes(dir_.File(kScoreFile)));

  answer = ReplaceFailed;
  game.highScore = 10002;
  SaveHighScore();
  EXPECT_EQ((Bytes{0x11, 0x27, 0, 0}), ReadFileBytes(dir_.File(kScoreFile)));
  EXPECT_FALSE(FileExists(dir_.File("Grentix.his.new")));
  EXPECT_FALSE(FileExists(dir_.File("Grentix.his.old")));
  EXPECT_EQ((std::vector<std::string>{"Grentix.his.new>Grentix.his", "Grentix.his.new>Grentix.his"}), replaced);
}

#ifdef _WIN32
TEST_F(ScoreFileTest, AFileThatCannotBeReadIsNotOverwritten) {
  WriteFileBytes(dir_.File(kScoreFile), {0x39, 0x30, 0, 0});
  // Another program holds the file open and shares it with no one.
  HANDLE held = CreateFileA(kScoreFile, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  game.highScore = 77;
  LoadHighScore();
  EXPECT_EQ(0, game.highScore);
  CloseHandle(held);
  game.highScore = 40;
  SaveHighScore();
  EXPECT_EQ((Bytes{0x39, 0x30, 0, 0}), ReadFileBytes(dir_.File(kScoreFile)));
  // Once it reads again, saving works as before.
  LoadHighScore();
  EXPECT_EQ(12345, game.highScore);
  game.highScore = 12346;
  SaveHighScore();
  EXPECT_EQ((Bytes{0x3A, 0x30, 0, 0}), ReadFileBytes(dir_.File(kScoreFile)));
}
#endif

}  // namespace
