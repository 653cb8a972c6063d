#include "score_file.h"

#include <gtest/gtest.h>

#include "game_rules.h"
#include <unistd.h>

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
