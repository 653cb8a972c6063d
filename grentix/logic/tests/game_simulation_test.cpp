// Whole games played through the rules alone, frame by frame, in the order the
// frames call them: a player who follows the falling bombs and one who never
// moves.
#include <gtest/gtest.h>

#include "game_rules.h"
#include "rules_fixture.h"

namespace {

const int kFrameLimit = 200000;

// What a Playing frame does to the record, without the drawing: each live
// bomb also takes a random draw for its fuse image when nothing was lost.
void PlayFrame() {
  StartPlayingFrame();
  UpdateBomber();
  UpdateBombs();
  bool lost = game.state != Playing;
  int anyBombLive = 0;
  for (int i = 0; i < game.bombsDropped; ++i) {
    if (!game.bombs[i].live) continue;
    anyBombLive = 1;
    if (!lost) GameRandom();
  }
  CheckWaveCleared(anyBombLive);
  CheckBonusBucket();
}

// Puts the stack under the lowest live bomb.
void FollowLowestBomb() {
  const Bomb* lowest = nullptr;
  for (int i = 0; i < game.bombsDropped; ++i) {
    const Bomb& bomb = game.bombs[i];
    if (bomb.live && (!lowest || bomb.y > lowest->y)) lowest = &bomb;
  }
  if (!lowest) return;
  int x = lowest->x - 18;
  game.mouseX = x < 0 ? 0 : x > 575 ? 575 : x;
}

int CountSounds(const SoundRequests& sounds, SoundEffect effect) {
  int count = 0;
  for (const SoundRequest& sound : sounds) count += sound.effect == effect;
  return count;
}

using SimulationTest = RulesTest;

TEST_F(SimulationTest, APlayerWhoFollowsTheBombsClearsWaveAfterWave) {
  testCalendarSeconds = 851990400;
  game.highScore = 250;
  NewGame();
  Click();
  int wavesCleared = 0;
  int bombsDropped = 0;
  int frames = 0;
  while (wavesCleared < 6 && frames < kFrameLimit) {
    FollowLowestBomb();
    PlayFrame();
    ++frames;
    ASSERT_EQ(3, game.bucketCount) << "frame " << frames;
    if (game.state == WaveCleared) {
      ++wavesCleared;
      bombsDropped += game.bombsDropped;
      EXPECT_EQ(wavesCleared, game.level);
      Click();
    }
  }
  ASSERT_EQ(6, wavesCleared);
  EXPECT_EQ(10 + 20 + 30 + 40 + 50 + 75, bombsDropped);
  // Each bomb scores its wave's level: 1 x 10 + 2 x 20 + ... + 6 x 75.
  EXPECT_EQ(1000, game.score);
  EXPECT_EQ(1000, game.highScore);
  EXPECT_EQ(2000, game.nextBonusScore);
  EXPECT_EQ(7, game.level);

  SoundRequests sounds = TakeSounds();
  EXPECT_EQ(1, CountSounds(sounds, EffectCoin));
  EXPECT_EQ(bombsDropped, CountSounds(sounds, EffectDrop));
  EXPECT_EQ(bombsDropped, CountSounds(sounds, EffectWater));
  EXPECT_EQ(1, CountSounds(sounds, EffectLife));
  EXPECT_EQ(0, CountSounds(sounds, EffectBoom));
  for (const SoundRequest& sound : sounds) {
    EXPECT_GE(sound.pan, -10000);
    EXPECT_LE(sound.pan, 10000);
  }
}

TEST_F(SimulationTest, APlayerWhoStandsStillLosesEveryBucket) {
  for (int on : {1, 0}) {
    ResetGameRecord();
    soundOn = on;
    TakeSounds();
    testCalendarSeconds = 851990400;
    game.mouseX = 400;
    NewGame();
    Click();
    int losses = 0;
    int frames = 0;
    while (game.state != GameOver && frames < kFrameLimit) {
      PlayFrame();
      ++frames;
      if (game.state == BucketLost || game.state == GameOver) {
        ++losses;
        EXPECT_EQ(3 - losses, game.bucketCount);
        for (const Splash& splash : game.splashes) EXPECT_EQ(0, splash.timer);
      }
      if (game.state == WaveCleared || game.state == BucketLost) Click();
    }
    ASSERT_EQ(GameOver, game.state) << "soundOn " << on;
    EXPECT_EQ(3, losses);
    EXPECT_EQ(0, game.bucketCount);
    Click();
    EXPECT_EQ(GameOver, game.state);
    EXPECT_EQ(game.score, game.highScore);
    SoundRequests sounds = TakeSounds();
    if (on) {
      EXPECT_EQ(1, CountSounds(sounds, EffectCoin));
      EXPECT_LT(0, CountSounds(sounds, EffectDrop));
    } else {
      EXPECT_TRUE(sounds.empty());
    }
  }
}

}  // namespace
