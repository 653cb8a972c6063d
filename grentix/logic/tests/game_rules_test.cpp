#include "game_rules.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string>

#include "rounded_arithmetic.h"
#include "rules_fixture.h"

namespace {

// A running level-1 wave (as after F1 and a click) with the bucket stack at
// playerX, no bomb dropped yet and no sound recorded.
void StartPlaying(int playerX) {
  NewGame();
  Click();
  game.mouseX = playerX;
  StartPlayingFrame();
  recordedSounds.clear();
}

// Puts a live bomb in table entry index so that it reaches y after one fall.
void PlaceBomb(int index, int x, int yAfterFall) {
  game.bombs[index] = {x, yAfterFall - game.fallStep, 1};
  if (game.bombsDropped <= index) game.bombsDropped = index + 1;
}

using RandomTest = RulesTest;
using NewGameTest = RulesTest;
using ClickTest = RulesTest;
using WaveTest = RulesTest;
using BomberTest = RulesTest;
using CatchTest = RulesTest;
using LossTest = RulesTest;
using WaveClearTest = RulesTest;
using BonusTest = RulesTest;

TEST_F(RandomTest, DrawsTheFifteenBitSequenceFromTheCalendarSeed) {
  // The generator's well-known sequence from seed 1.
  SeedGameRandom(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int value : expected) EXPECT_EQ(value, GameRandom());

  // NewGame seeds from the calendar clock, every time.
  testCalendarSeconds = 1;
  NewGame();
  EXPECT_EQ(41, GameRandom());
  GameRandom();
  NewGame();
  EXPECT_EQ(41, GameRandom());

  // Without a test clock the seed is the system's calendar time.
  SetCalendarClock(nullptr);
  uint32_t before = static_cast<uint32_t>(time(nullptr));
  uint32_t seconds = CalendarSeconds();
  uint32_t after = static_cast<uint32_t>(time(nullptr));
  EXPECT_LE(before, seconds);
  EXPECT_GE(after, seconds);
}

TEST_F(RandomTest, PanMapsTheScreenOntoFullLeftToFullRight) {
  EXPECT_EQ(-10000, SoundPan(0));
  EXPECT_EQ(-9968, SoundPan(1));    // -9968.75, truncated toward zero
  EXPECT_EQ(0, SoundPan(320));
  EXPECT_EQ(9968, SoundPan(639));   // 9968.75
  EXPECT_EQ(10000, SoundPan(640));
  EXPECT_EQ(-7500, SoundPan(80));
  EXPECT_EQ(-4874, SoundPan(164));  // -4874.999... in doubles, truncated toward zero
  EXPECT_EQ(std::string("DROP"), EffectName(EffectDrop));
  EXPECT_EQ(std::string("LIFE"), EffectName(EffectLife));
  EXPECT_EQ(std::string(""), EffectName(EffectCount));
}

TEST_F(NewGameTest, SetsUpAGameFromAnyStateAndLeavesTheRestAlone) {
  // Mid-wave, everything disturbed.
  game.state = Playing;
  game.bomberX = 300;
  game.bomberXAtFrameStart = 290;
  game.mouseX = 200;
  game.playerX = 210;
  game.previousPlayerX = 220;
  game.bucketCount = 1;
  game.score = 777;
  game.scoreAtFrameStart = 770;
  game.highScore = 5000;
  game.level = 6;
  game.waveSize = 37;
  game.bombsDropped = 12;
  game.fallStep = 9;
  game.turnDivisor = 30;
  game.dropGap = 75;
  game.lastDropX = 10;
  game.nextBonusScore = 3000;
  game.paramToggle = 0;
  game.speedScale = 1.5;
  game.bombs[5] = {100, 200, 1};
  game.splashes[1] = {1, 7};
  creditsX = -50;

  NewGame();
  EXPECT_EQ(Ready, game.state);
  EXPECT_EQ(300, game.bomberX);
  EXPECT_EQ(4, game.bomberStep);
  EXPECT_EQ(3, game.bucketCount);
  EXPECT_EQ(0, game.score);
  EXPECT_EQ(1, game.level);
  EXPECT_EQ(10, game.waveSize);
  EXPECT_EQ(0, game.bombsDropped);
  EXPECT_EQ(1, game.fallStep);
  EXPECT_EQ(100, game.turnDivisor);
  EXPECT_EQ(100, game.dropGap);
  EXPECT_EQ(300, game.lastDropX);
  EXPECT_EQ(1000, game.nextBonusScore);
  EXPECT_EQ(1, game.paramToggle);
  EXPECT_EQ(0, game.splashes[1].active);
  EXPECT_EQ(0, game.splashes[1].timer);
  EXPECT_EQ(640, creditsX);
  // Untouched.
  EXPECT_EQ(290, game.bomberXAtFrameStart);
  EXPECT_EQ(200, game.mouseX);
  EXPECT_EQ(210, game.playerX);
  EXPECT_EQ(220, game.previousPlayerX);
  EXPECT_EQ(770, game.scoreAtFrameStart);
  EXPECT_EQ(5000, game.highScore);
  EXPECT_EQ(1.5, game.speedScale);
  EXPECT_EQ(1, game.bombs[5].live);
  EXPECT_EQ((SoundRequests{{EffectCoin, -31}}), TakeSounds());

  // The first step points away from the right edge.
  game.bomberX = 560;
  NewGame();
  EXPECT_EQ(-4, game.bomberStep);
  game.bomberX = 550;
  NewGame();
  EXPECT_EQ(-4, game.bomberStep);
  game.bomberX = 549;
  NewGame();
  EXPECT_EQ(4, game.bomberStep);

  soundOn = 0;
  TakeSounds();
  NewGame();
  EXPECT_EQ(Ready, game.state);
  EXPECT_TRUE(TakeSounds().empty());
}

TEST_F(ClickTest, StartsOnlyAWaitingWave) {
  for (GameState state : {Title, Playing, GameOver}) {
    ResetGameRecord();
    game.state = state;
    game.level = 3;
    Click();
    EXPECT_EQ(state, game.state);
    EXPECT_EQ(3, game.level);
  }

  // From Ready only the state changes: the first wave runs with the values of
  // NewGame, whatever maxFps says.
  maxFps = 150;
  NewGame();
  Game ready = game;
  Click();
  EXPECT_EQ(Playing, game.state);
  ready.state = Playing;
  EXPECT_EQ(0, memcmp(&ready, &game, sizeof game));
}

TEST_F(WaveTest, SizesAndLevelsAfterClearsAndLosses) {
  NewGame();
  Click();
  // Cleared waves climb to level 8 and stay there.
  const int sizes[] = {20, 30, 40, 50, 75, 100, 150, 150, 150};
  int level = 1;
  for (int size : sizes) {
    game.state = WaveCleared;
    Click();
    level = level < 8 ? level + 1 : 8;
    EXPECT_EQ(Playing, game.state);
    EXPECT_EQ(level, game.level);
    EXPECT_EQ(size, game.waveSize);
  }

  struct Loss {
    int lostLevel, nextLevel, nextSize;
  };
  const Loss losses[] = {{5, 4, 20}, {2, 1, 5}, {1, 1, 10}, {8, 7, 50}, {7, 6, 37}, {3, 2, 10}};
  for (const Loss& loss : losses) {
    game.level = loss.lostLevel;
    game.state = BucketLost;
    game.bombsDropped = 9;
    game.splashes[0] = {1, 11};
    game.splashes[2] = {1, 4};
    Click();
    EXPECT_EQ(Playing, game.state) << "lost at level " << loss.lostLevel;
    EXPECT_EQ(loss.nextLevel, game.level) << "lost at level " << loss.lostLevel;
    EXPECT_EQ(loss.nextSize, game.waveSize) << "lost at level " << loss.lostLevel;
    EXPECT_EQ(0, game.bombsDropped);
    // Timers stop; the flags are left for the frames to clear.
    EXPECT_EQ(0, game.splashes[0].timer);
    EXPECT_EQ(0, game.splashes[2].timer);
    EXPECT_EQ(1, game.splashes[0].active);
  }
}

TEST_F(WaveTest, TurnAndDropParametersAlternateAfterTheFirstWave) {
  NewGame();
  EXPECT_EQ(100, game.turnDivisor);
  EXPECT_EQ(100, game.dropGap);
  const int expected[][2] = {{30, 75}, {45, 125}, {30, 75}, {45, 125}};
  for (const auto& pair : expected) {
    PrepareWave();
    EXPECT_EQ(pair[0], game.turnDivisor);
    EXPECT_EQ(pair[1], game.dropGap);
  }
  // A loss alternates them too.
  game.state = BucketLost;
  Click();
  EXPECT_EQ(30, game.turnDivisor);
  EXPECT_EQ(75, game.dropGap);
}

TEST_F(WaveTest, SpeedsAreScaledToTheMeasuredFrameRate) {
  struct Case {
    int fps, level, bomberStep, fallStep;
  };
  const Case cases[] = {
      {150, 8, 6, 4},  {60, 8, 15, 10}, {150, 1, 3, 1}, {60, 1, 6, 1},
      // Half-way values round up the same way on every build.
      {70, 3, 8, 3},   {250, 1, 2, 1},
      // No rate measured yet: an infinite scale, and both steps 1.
      {0, 1, 1, 1},    {0, 8, 1, 1},
      // A rate far above the design's gives steps below 1, which become 1.
      {1000, 8, 1, 1},
  };
  for (const Case& c : cases) {
    maxFps = c.fps;
    game.bomberX = 300;
    game.level = c.level - 1;
    PrepareWave();
    EXPECT_EQ(c.bomberStep, game.bomberStep) << "maxFps " << c.fps << " level " << c.level;
    EXPECT_EQ(c.fallStep, game.fallStep) << "maxFps " << c.fps << " level " << c.level;
  }
  maxFps = 0;
  PrepareWave();
  EXPECT_TRUE(std::isinf(game.speedScale));

  // At the design rate a level-L wave walks L + 4 and falls L per frame.
  maxFps = 75;
  for (int level = 1; level <= 8; ++level) {
    game.level = level - 1;
    PrepareWave();
    EXPECT_EQ(level + 4, game.bomberStep);
    EXPECT_EQ(level, game.fallStep);
  }

  // A bomber near the right edge starts the wave walking left.
  game.level = 2;
  game.bomberX = 550;
  PrepareWave();
  EXPECT_EQ(-7, game.bomberStep);
  game.bomberX = 549;
  PrepareWave();
  EXPECT_EQ(8, game.bomberStep);
}

// x87 computes each step of a speed or a pan with 64-bit significands before
// the step is rounded to a double; the results must be SSE's, so that the
// 32-bit game plays the same game as every other build.
TEST(RoundedArithmeticTest, WiderStepsRoundToTheSameSpeedsAndPans) {
  // long double must carry more bits than a double here, or nothing is shown.
  volatile long double third = 1.0L / 3;
  ASSERT_NE(static_cast<long double>(static_cast<double>(third)), third);

  // Far beyond any place a bomber, a bomb or the buckets can reach.
  for (int x = -(1 << 20); x <= 1 << 20; ++x) ASSERT_EQ(PanOf<double>(x), PanOf<long double>(x)) << "x " << x;
  // The scale is a correctly rounded division, as SSE's; the steps from it
  // agree for every rate up to 100,000 frames per second.
  for (int fps = 1; fps <= 200000; ++fps) ASSERT_EQ(75.0 / fps, SpeedScaleOf(fps)) << "maxFps " << fps;
  for (int fps : {INT_MAX - 1, INT_MAX}) EXPECT_EQ(75.0 / fps, SpeedScaleOf(fps)) << "maxFps " << fps;
  for (int fps = 0; fps <= 100000; ++fps) {
    double scale = SpeedScaleOf(fps);
    for (int perFrame = 1; perFrame <= kMaxLevel + 4; ++perFrame) {
      ASSERT_EQ(ScaledStepOf<double>(perFrame, scale), ScaledStepOf<long double>(perFrame, scale))
          << "maxFps " << fps << ", " << perFrame << " per frame at 75";
    }
  }
  // Where the wider value, kept unrounded, would truncate to -9874, and where
  // exact arithmetic would give -4875 and 8 (7.5 rounded up).
  EXPECT_EQ(-9875, PanOf<long double>(4));
  EXPECT_EQ(-4874, PanOf<long double>(164));
  EXPECT_EQ(7, ScaledStepOf<long double>(11, SpeedScaleOf(110)));
}

TEST_F(BomberTest, TurnsAtTheEdgesWithoutDrawingARandomNumber) {
  StartPlaying(0);
  SeedGameRandom(1);
  game.bomberX = 552;
  game.lastDropX = 506;  // 50 behind after the step: a turn drops only beyond 50
  game.bomberStep = 4;
  UpdateBomber();
  EXPECT_EQ(556, game.bomberX);
  EXPECT_EQ(-4, game.bomberStep);
  EXPECT_EQ(0, game.bombsDropped);
  EXPECT_EQ(41, GameRandom()) << "no number may be drawn outside 20..555";

  SeedGameRandom(1);
  game.bomberX = 23;
  game.lastDropX = 500;
  game.bomberStep = -4;
  UpdateBomber();
  EXPECT_EQ(19, game.bomberX);
  EXPECT_EQ(4, game.bomberStep);
  ASSERT_EQ(1, game.bombsDropped);
  EXPECT_EQ(19, game.lastDropX);
  EXPECT_EQ(36, game.bombs[0].x);
  EXPECT_EQ(67, game.bombs[0].y);
  EXPECT_EQ(1, game.bombs[0].live);
  EXPECT_EQ(41, GameRandom());
  EXPECT_EQ((SoundRequests{{EffectDrop, SoundPan(39)}}), TakeSounds());

  // Exactly at the edges the bomber walks on (and a number is drawn).
  for (int x : {555, 20}) {
    SeedGameRandom(1);
    game.turnDivisor = 100;  // 41 mod 100: no random turn
    game.bomberStep = 0;
    game.bomberX = x;
    game.lastDropX = x;
    UpdateBomber();
    EXPECT_EQ(0, game.bomberStep);
    EXPECT_EQ(18467, GameRandom()) << "x " << x;
  }
}

TEST_F(BomberTest, TurnsAtRandomOnlyInsideTheMiddleOfTheWalk) {
  StartPlaying(0);
  // Seed 1 draws 41 first: a divisor of 41 turns, 40 does not.
  struct Case {
    int xAfterStep, divisor;
    bool turns;
  };
  const Case cases[] = {{300, 41, true}, {300, 40, false}, {51, 41, true}, {50, 41, false},
                        {519, 41, true}, {520, 41, false}, {300, 1, true}};
  for (const Case& c : cases) {
    SeedGameRandom(1);
    game.turnDivisor = c.divisor;
    game.bomberStep = 4;
    game.bomberX = c.xAfterStep - 4;
    game.lastDropX = c.xAfterStep;
    UpdateBomber();
    EXPECT_EQ(c.xAfterStep, game.bomberX);
    EXPECT_EQ(c.turns ? -4 : 4, game.bomberStep) << "x " << c.xAfterStep << " divisor " << c.divisor;
  }
}

TEST_F(BomberTest, DropsAfterTheGapOrFiftyPixelsAtATurn) {
  StartPlaying(0);
  game.dropGap = 100;
  game.turnDivisor = 40;  // seed 1 never turns at random on its first draw
  struct Case {
    int walked, divisor;
    bool drops;
  };
  // Walking on: strictly more than dropGap. Turning: strictly more than 50.
  const Case cases[] = {{100, 40, false}, {101, 40, true}, {-101, 40, true},
                        {50, 41, false},  {51, 41, true},  {-51, 41, true}};
  for (const Case& c : cases) {
    SeedGameRandom(1);
    game.bombsDropped = 0;
    game.turnDivisor = c.divisor;
    game.bomberStep = 4;
    game.bomberX = 296;
    game.lastDropX = 300 - c.walked;
    UpdateBomber();
    EXPECT_EQ(c.drops ? 1 : 0, game.bombsDropped) << "walked " << c.walked << " divisor " << c.divisor;
  }

  // One drop per frame at most, then the next needs the gap again.
  SeedGameRandom(1);
  game.turnDivisor = 40;
  game.bombsDropped = 0;
  game.bomberX = 100;
  game.lastDropX = 0;
  game.bomberStep = 4;
  UpdateBomber();
  UpdateBomber();
  EXPECT_EQ(1, game.bombsDropped);
  EXPECT_EQ(104, game.lastDropX);

  // The bomb dropped in this frame also falls in this frame.
  game.mouseX = 575;
  StartPlayingFrame();
  UpdateBombs();
  EXPECT_EQ(68, game.bombs[0].y);
}

TEST_F(BomberTest, StandsStillOnceTheWaveIsDropped) {
  StartPlaying(0);
  game.waveSize = 3;
  game.bombsDropped = 3;
  game.bomberX = 300;
  game.lastDropX = 0;
  SeedGameRandom(1);
  UpdateBomber();
  EXPECT_EQ(300, game.bomberX);
  EXPECT_EQ(3, game.bombsDropped);
  EXPECT_EQ(41, GameRandom());
  EXPECT_TRUE(TakeSounds().empty());

  // The program-start record has no wave at all: nothing moves.
  ResetGameRecord();
  UpdateBomber();
  UpdateBombs();
  EXPECT_EQ(80, game.bomberX);
  EXPECT_EQ(Title, game.state);
}

TEST_F(CatchTest, CatchWindowAndZonesAtTheirBoundaries) {
  StartPlaying(100);
  game.level = 2;  // points per catch
  struct Case {
    int x, y;
    int caughtBy;  // bucket, or -1 for still falling
  };
  const Case cases[] = {
      // Window: strictly between playerX - 9 and playerX + 45.
      {91, 360, -1}, {92, 360, 0}, {144, 360, 0}, {145, 360, -1},
      // Zones: strictly between 345 + 30j and 375 + 30j.
      {120, 345, -1}, {120, 346, 0}, {120, 374, 0}, {120, 375, -1},
      {120, 376, 1},  {120, 404, 1}, {120, 405, -1}, {120, 406, 2},
      {120, 434, 2},  {120, 435, -1}, {120, 436, -1},
  };
  for (const Case& c : cases) {
    TakeSounds();
    game.bombsDropped = 0;
    game.score = 10;
    game.highScore = 11;
    for (Splash& splash : game.splashes) splash = Splash{};
    PlaceBomb(0, c.x, c.y);
    UpdateBombs();
    const Bomb& bomb = game.bombs[0];
    EXPECT_EQ(c.y, bomb.y);
    EXPECT_EQ(Playing, game.state) << "x " << c.x << " y " << c.y;
    EXPECT_EQ(3, game.bucketCount);
    if (c.caughtBy < 0) {
      EXPECT_EQ(1, bomb.live) << "x " << c.x << " y " << c.y;
      EXPECT_EQ(10, game.score);
      EXPECT_TRUE(TakeSounds().empty());
      continue;
    }
    EXPECT_EQ(0, bomb.live) << "x " << c.x << " y " << c.y;
    EXPECT_EQ(12, game.score);
    EXPECT_EQ(12, game.highScore);
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(j == c.caughtBy ? 1 : 0, game.splashes[j].active) << "y " << c.y << " bucket " << j;
      EXPECT_EQ(j == c.caughtBy ? 15 : 0, game.splashes[j].timer) << "y " << c.y << " bucket " << j;
    }
    SoundRequests expected = {{EffectWater, SoundPan(100)}};
    if (c.caughtBy == 2) expected.push_back({EffectWow, -31});
    EXPECT_EQ(expected, TakeSounds()) << "y " << c.y;
  }

  // The high score follows only when the score passes it.
  game.bombsDropped = 0;
  game.score = 10;
  game.highScore = 500;
  PlaceBomb(0, 120, 360);
  UpdateBombs();
  EXPECT_EQ(12, game.score);
  EXPECT_EQ(500, game.highScore);

  // Fewer buckets: the lower zones catch nothing.
  game.bucketCount = 1;
  game.bombsDropped = 0;
  PlaceBomb(0, 120, 380);
  UpdateBombs();
  EXPECT_EQ(1, game.bombs[0].live);

  // Silent catches.
  soundOn = 0;
  TakeSounds();
  game.bucketCount = 3;
  game.bombsDropped = 0;
  PlaceBomb(0, 120, 420);
  UpdateBombs();
  EXPECT_EQ(0, game.bombs[0].live);
  EXPECT_TRUE(TakeSounds().empty());
}

TEST_F(LossTest, ABombUnderTheStackIsLostOnlyWhenThePlayerMovesAway) {
  StartPlaying(200);
  game.bucketCount = 1;
  game.fallStep = 7;
  PlaceBomb(0, 210, 375);  // on the boundary: falls past the only bucket
  UpdateBombs();
  for (int frame = 0; frame < 100; ++frame) {
    StartPlayingFrame();
    UpdateBombs();
    CheckWaveCleared(game.bombs[0].live);
  }
  EXPECT_EQ(375 + 100 * 7, game.bombs[0].y);
  EXPECT_EQ(1, game.bombs[0].live);
  EXPECT_EQ(Playing, game.state);
  EXPECT_EQ(1, game.bucketCount);

  // However long the player stands there, y never overflows.
  game.bombs[0].y = INT_MAX - 3;
  UpdateBombs();
  EXPECT_GT(game.bombs[0].y, 435);
  EXPECT_EQ(1, game.bombs[0].live);

  // Outside the catch window, below the ground line: lost.
  game.mouseX = 300;
  game.bomberX = 400;
  StartPlayingFrame();
  game.bomberX = 404;  // moved in this frame, then put back by the loss
  UpdateBombs();
  EXPECT_EQ(GameOver, game.state);
  EXPECT_EQ(0, game.bucketCount);
  EXPECT_EQ(1, game.bombs[0].live);  // it explodes in the frame
  EXPECT_EQ(400, game.bomberX);
}

TEST_F(LossTest, AtTheGroundLineAndSeveralInOnePass) {
  StartPlaying(0);
  PlaceBomb(0, 300, 420);  // on the line: not yet
  UpdateBombs();
  EXPECT_EQ(Playing, game.state);
  EXPECT_EQ(3, game.bucketCount);
  game.bombs[0].y = 420;
  game.splashes[1] = {1, 9};
  UpdateBombs();  // 421
  EXPECT_EQ(BucketLost, game.state);
  EXPECT_EQ(2, game.bucketCount);
  EXPECT_EQ(1, game.splashes[1].active);
  EXPECT_EQ(0, game.splashes[1].timer);

  // Entry by entry, in table order: L lost, C caught by bucket 0, - a free
  // entry (not live) that is skipped. The state follows the last loss, a loss
  // stops every splash timer, and the count never goes below 0.
  struct Case {
    int buckets;
    const char* entries;
    GameState state;
    int bucketsLeft, score, splashTimer;
  };
  const Case cases[] = {
      {3, "L", BucketLost, 2, 0, 0},   {3, "LCL", BucketLost, 1, 1, 0}, {3, "LLC", BucketLost, 1, 1, 15},
      {3, "LLL", GameOver, 0, 0, 0},   {1, "LL", GameOver, 0, 0, 0},    {3, "L--L", BucketLost, 1, 0, 0},
      {3, "LLLL", GameOver, 0, 0, 0},  {3, "C-C", Playing, 3, 2, 15},
  };
  for (const Case& c : cases) {
    StartPlaying(0);
    game.bucketCount = c.buckets;
    std::string entries = c.entries;
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i] == 'C') {
        PlaceBomb(i, 10, 350);
      } else {
        PlaceBomb(i, 300, 430);
        game.bombs[i].live = entries[i] == 'L';
      }
    }
    UpdateBombs();
    EXPECT_EQ(c.state, game.state) << c.buckets << " buckets, " << entries;
    EXPECT_EQ(c.bucketsLeft, game.bucketCount) << c.buckets << " buckets, " << entries;
    EXPECT_EQ(c.score, game.score) << c.buckets << " buckets, " << entries;
    EXPECT_EQ(c.splashTimer, game.splashes[0].timer) << c.buckets << " buckets, " << entries;
    for (size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i] == 'L' ? 1 : 0, game.bombs[i].live) << entries << " entry " << i;
    }
  }
}

TEST_F(WaveClearTest, OnlyAWhollyDroppedWaveWithNoLiveBombWhilePlaying) {
  StartPlaying(0);
  game.waveSize = 10;
  game.bombsDropped = 9;
  CheckWaveCleared(0);
  EXPECT_EQ(Playing, game.state);
  game.bombsDropped = 10;
  CheckWaveCleared(1);
  EXPECT_EQ(Playing, game.state);
  for (GameState state : {BucketLost, GameOver}) {
    game.state = state;
    CheckWaveCleared(0);
    EXPECT_EQ(state, game.state);
  }
  game.state = Playing;
  CheckWaveCleared(0);
  EXPECT_EQ(WaveCleared, game.state);
}

TEST_F(BonusTest, OneThresholdPerFrameAndNeverMoreThanThreeBuckets) {
  StartPlaying(0);
  game.score = 999;
  CheckBonusBucket();
  EXPECT_EQ(1000, game.nextBonusScore);
  EXPECT_TRUE(TakeSounds().empty());

  // Three buckets: the sound and the next threshold, no fourth bucket.
  game.score = 1000;
  CheckBonusBucket();
  EXPECT_EQ(2000, game.nextBonusScore);
  EXPECT_EQ(3, game.bucketCount);
  EXPECT_EQ((SoundRequests{{EffectLife, -31}}), TakeSounds());

  // A jump past two thresholds is worked off one frame at a time.
  game.bucketCount = 1;
  game.score = 3500;
  CheckBonusBucket();
  EXPECT_EQ(3000, game.nextBonusScore);
  EXPECT_EQ(2, game.bucketCount);
  CheckBonusBucket();
  EXPECT_EQ(4000, game.nextBonusScore);
  EXPECT_EQ(3, game.bucketCount);
  CheckBonusBucket();
  EXPECT_EQ(4000, game.nextBonusScore);
  EXPECT_EQ(2u, TakeSounds().size());

  // In the frame of a loss the bucket comes back at once.
  game.state = BucketLost;
  game.bucketCount = 1;
  game.score = 4003;
  CheckBonusBucket();
  EXPECT_EQ(2, game.bucketCount);

  // A game that has just ended stays ended.
  game.state = GameOver;
  game.bucketCount = 0;
  game.score = 5001;
  CheckBonusBucket();
  EXPECT_EQ(6000, game.nextBonusScore);
  EXPECT_EQ(0, game.bucketCount);

  soundOn = 0;
  TakeSounds();
  game.state = Playing;
  game.score = 6000;
  CheckBonusBucket();
  EXPECT_EQ(7000, game.nextBonusScore);
  EXPECT_TRUE(TakeSounds().empty());
}

}  // namespace

namespace {

using SplashTest = RulesTest;

TEST_F(SplashTest, ACatchShowsThreeImagesForFiveFiveAndFourFrames) {
  game.splashes[1] = {1, kSplashFrames};
  std::string shown;
  for (int frame = 0; frame < 16; ++frame) {
    int image = StepSplash(1);
    shown += image < 0 ? '-' : static_cast<char>('0' + image);
  }
  EXPECT_EQ("22222111110000--", shown);
  EXPECT_EQ(0, game.splashes[1].active);
  EXPECT_EQ(0, game.splashes[1].timer);

  // A stopped timer (after a loss) ends the splash at its next step.
  game.splashes[0] = {1, 0};
  EXPECT_EQ(-1, StepSplash(0));
  EXPECT_EQ(0, game.splashes[0].active);
  // Only the three buckets have splashes.
  EXPECT_EQ(-1, StepSplash(3));
  EXPECT_EQ(-1, StepSplash(-1));
}

}  // namespace
