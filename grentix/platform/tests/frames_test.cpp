// Whole frames on the in-memory display: what each state shows, a running
// wave, a lost bomb with its explosions and flash, and the last catch of a
// wave.
#include "frames.h"

#include <gtest/gtest.h>

#include "frames_fixture.h"

namespace {

// Rows no scanline, text or sprite of these tests reaches.
const int kTopPixelY = 50, kMiddlePixelY = 300, kBottomPixelY = 479;

class FrameTest : public FramesTest {
 protected:
  // A running level-1 wave with the stack at playerX and the bomber at 300,
  // where it neither drops nor turns in the next frame.
  void StartWave(int playerX) {
    NewGame();
    Click();
    game.bomberX = 300;
    game.lastDropX = 300;
    game.bomberStep = 4;
    game.mouseX = playerX;
    game.playerX = playerX;
    recordedSounds.clear();
  }

  void PlaceBomb(int index, int x, int y) {
    game.bombs[index] = {x, y, 1};
    if (game.bombsDropped <= index) game.bombsDropped = index + 1;
  }

  static bool ShowsBands(DisplayTarget target) {
    return SoftPixel(target, 630, kTopPixelY) == 182 && SoftPixel(target, 630, kMiddlePixelY) == 76 &&
           SoftPixel(target, 630, kBottomPixelY) == 0;
  }
};

TEST_F(FrameTest, EachWaitingStateShowsItsOwnScene) {
  struct Case {
    GameState state;
    int buckets;
    bool score, highScore, grin, heldBomb, ticker, gameOver;
  };
  const Case cases[] = {
      {Title, 0, false, true, true, false, true, false},
      {Ready, 3, true, false, false, true, false, false},
      {WaveCleared, 3, true, false, false, true, false, false},
      {BucketLost, 2, true, false, false, true, false, false},
      {GameOver, 0, true, true, true, false, true, true},
  };
  const int tickerInk = NearestPaletteIndex(136, 132, 252);
  const int gameOverInk = NearestPaletteIndex(136, 0, 40);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    InstallSoftDisplay();
    InstallTestSprites();
    game.state = c.state;
    game.bucketCount = c.buckets;
    game.score = 1234;
    game.highScore = 5678;
    game.bomberX = 80;
    game.mouseX = 300;
    creditsX = 200;
    IdleFrame();
    ASSERT_TRUE(ShowsBands(TargetVisible));
    EXPECT_EQ(c.score ? "1234" : "....", DigitsAt(TargetVisible, 390, 4, 4));
    EXPECT_EQ(c.highScore ? "5678" : "....", DigitsAt(TargetVisible, 160, 4, 4));
    EXPECT_EQ(c.grin ? SpriteBomberGrin : SpriteBomber, SpriteAt(TargetVisible, 84, 30));
    EXPECT_EQ(c.heldBomb ? SpriteHeldBomb : (c.grin ? SpriteBomberGrin : SpriteBomber),
              SpriteAt(TargetVisible, 100, 70));
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(j < c.buckets ? SpriteBucket : -1, SpriteAt(TargetVisible, 305, 375 + 30 * j)) << j;
    }
    EXPECT_EQ(c.ticker ? tickerInk : 0, SoftPixel(TargetVisible, 205, 465));
    EXPECT_EQ(c.ticker ? 199 : 200, creditsX);
    EXPECT_EQ(c.gameOver ? gameOverInk : 76, SoftPixel(TargetVisible, 256, 255));
    EXPECT_EQ(300, game.playerX);
  }
  // One frame counted per state.
  EXPECT_EQ(5u, frameCount);
}

TEST_F(FrameTest, IdleBucketsFollowTheMouseAndTheFrameRateShowsWhenAsked) {
  game.state = Ready;
  game.bucketCount = 3;
  game.mouseX = 0;
  IdleFrame();
  EXPECT_EQ(SpriteBucket, SpriteAt(TargetVisible, 5, 435));
  game.mouseX = 575;
  showFps = 1;
  fps = 87;
  IdleFrame();
  EXPECT_EQ(0, game.previousPlayerX);
  EXPECT_EQ(575, game.playerX);
  EXPECT_EQ(-1, SpriteAt(TargetVisible, 5, 435));
  EXPECT_EQ(SpriteBucket, SpriteAt(TargetVisible, 636, 435));
  EXPECT_EQ("87", DigitsAt(TargetVisible, 4, 4, 2));

  // Scanlines outside a wave reach the bottom band: the ticker's ink there
  // is cut by black rows.
  game.state = Title;
  scanlines = 1;
  creditsX = 100;
  IdleFrame();
  const int tickerInk = NearestPaletteIndex(136, 132, 252);
  EXPECT_EQ(tickerInk, SoftPixel(TargetVisible, 105, 461));
  EXPECT_EQ(0, SoftPixel(TargetVisible, 105, 462));
  EXPECT_EQ(109, SoftPixel(TargetVisible, 630, 51));
}

TEST_F(FrameTest, APlayingFrameMovesEverythingAndShowsTheWave) {
  StartWave(200);
  game.score = 42;
  PlaceBomb(0, 120, 150);
  PlaceBomb(1, 400, 200);
  game.bombs[1].live = 0;  // caught earlier: not drawn
  scanlines = 1;
  GameFrame();
  EXPECT_EQ(Playing, game.state);
  EXPECT_EQ(304, game.bomberX);
  EXPECT_EQ(151, game.bombs[0].y);
  ASSERT_TRUE(ShowsBands(TargetVisible));
  EXPECT_EQ("42", DigitsAt(TargetVisible, 390, 4, 2));
  EXPECT_EQ(SpriteBomber, SpriteAt(TargetVisible, 310, 30));
  int fuse = SpriteAt(TargetVisible, 125, 156);
  EXPECT_TRUE(fuse == SpriteFuseA || fuse == SpriteFuseB) << fuse;
  EXPECT_EQ(-1, SpriteAt(TargetVisible, 405, 206));
  for (int j = 0; j < 3; ++j) EXPECT_EQ(SpriteBucket, SpriteAt(TargetVisible, 205, 376 + 30 * j));
  // Scanlines, but none in the bottom band during a wave.
  EXPECT_EQ(8, SoftPixel(TargetVisible, 630, 301));
  for (const SoftCall& call : Calls(CallFill)) EXPECT_FALSE(call.y >= 450 && call.y != 450) << call.y;
  // Nothing drawn on the visible surface, one frame shown.
  EXPECT_TRUE(Calls(CallCopy, TargetVisible).empty());
  EXPECT_EQ(1u, Calls(CallFlip).size());
  EXPECT_EQ(1u, frameCount);
}

TEST_F(FrameTest, ALostBombExplodesEveryLiveBombInOrderThenFlashesTenTimes) {
  StartWave(400);
  game.score = 7;
  game.bombsDropped = 3;
  game.waveSize = 3;  // no more drops: the bomber stands still
  PlaceBomb(0, 60, 200);
  PlaceBomb(1, 150, 420);  // outside the catch window: lost at y 421
  PlaceBomb(2, 260, 100);
  game.bombs[2].live = 1;
  game.playerX = 380;  // the stack a frame ago; the mouse is at 400
  uint32_t start = testMilliseconds;
  GameFrame();
  uint32_t end = testMilliseconds;

  EXPECT_EQ(BucketLost, game.state);
  EXPECT_EQ(2, game.bucketCount);
  EXPECT_EQ(300, game.bomberXAtFrameStart);

  const std::vector<SoftCall> copies = Calls(CallCopy, TargetVisible);
  ASSERT_FALSE(copies.empty());
  EXPECT_EQ(SpriteBomberGrin, copies[0].index);
  EXPECT_EQ(300, copies[0].x);
  // Each bomb in table order: Impact, blasts for 180 ms, Blast5, one step
  // above where it now is.
  const int xs[3] = {60, 150, 260};
  const int ys[3] = {200, 420, 100};
  size_t at = 1;
  uint32_t lastBlastEnd = 0;
  for (int b = 0; b < 3; ++b) {
    SCOPED_TRACE(b);
    ASSERT_LT(at, copies.size());
    EXPECT_EQ(SpriteImpact, copies[at].index);
    EXPECT_EQ(xs[b], copies[at].x);
    EXPECT_EQ(ys[b], copies[at].y);
    uint32_t impactTime = copies[at].time;
    if (b == 2) {
      EXPECT_GE(impactTime - lastBlastEnd, 50u);
    }
    ++at;
    int blasts = 0;
    while (at < copies.size() && copies[at].index >= SpriteBlast0 && copies[at].index <= SpriteBlast4) {
      EXPECT_EQ(xs[b], copies[at].x);
      ++blasts;
      ++at;
    }
    EXPECT_GE(blasts, 8);
    EXPECT_LE(blasts, 9);
    ASSERT_LT(at, copies.size());
    EXPECT_EQ(SpriteBlast5, copies[at].index);
    EXPECT_GE(copies[at].time - impactTime, 180u);
    lastBlastEnd = copies[at].time;
    ++at;
  }
  // Ten flashes, each with the grinning bomber and two buckets where the
  // stack was a frame before.
  int flashes = 0;
  uint32_t previousFlash = 0;
  while (at < copies.size()) {
    int grins = 0, buckets = 0;
    for (; at < copies.size() && copies[at].index != SpriteBomberGrin; ++at) {
    }
    if (at == copies.size()) break;
    EXPECT_GE(copies[at].time - (flashes == 0 ? lastBlastEnd : previousFlash), flashes == 0 ? 100u : 30u);
    previousFlash = copies[at].time;
    ++grins;
    ++at;
    for (; at < copies.size() && copies[at].index == SpriteBucket; ++at) {
      EXPECT_EQ(380, copies[at].x);
      ++buckets;
    }
    EXPECT_EQ(1, grins);
    EXPECT_EQ(2, buckets);
    ++flashes;
  }
  EXPECT_EQ(10, flashes);
  EXPECT_GE(end - start, 100u + 300u + 3 * 180u + 50u);

  // Sounds: one boom per bomb at its place, one for the flash.
  EXPECT_EQ((SoundRequests{{EffectBoom, SoundPan(60)},
                           {EffectBoom, SoundPan(150)},
                           {EffectBoom, SoundPan(260)},
                           {EffectBoom, -31}}),
            TakeSounds());

  // The last flash is now on the back buffer: its colours, the score the
  // frame began with, the bomber, two buckets and no third.
  const std::vector<SoftCall> visibleFills = Calls(CallFill, TargetVisible);
  ASSERT_GE(visibleFills.size(), 2u);
  EXPECT_EQ(visibleFills[visibleFills.size() - 2].index, SoftPixel(TargetBack, 630, kTopPixelY));
  EXPECT_EQ(visibleFills.back().index, SoftPixel(TargetBack, 630, kMiddlePixelY));
  EXPECT_LT(visibleFills.back().index, 255);
  EXPECT_EQ("7", DigitsAt(TargetBack, 390, 4, 1));
  EXPECT_EQ(SpriteBomberGrin, SpriteAt(TargetBack, 305, 30));
  EXPECT_EQ(SpriteBucket, SpriteAt(TargetBack, 385, 405));
  EXPECT_EQ(-1, SpriteAt(TargetBack, 385, 435));
  // The frame then shows the bands, the score and the remaining buckets,
  // with no bomber and no bomb.
  EXPECT_TRUE(ShowsBands(TargetVisible));
  EXPECT_EQ(-1, SpriteAt(TargetVisible, 310, 30));
  EXPECT_EQ(-1, SpriteAt(TargetVisible, 65, 205));
  EXPECT_EQ(SpriteBucket, SpriteAt(TargetVisible, 405, 405));
  EXPECT_EQ(-1, SpriteAt(TargetVisible, 405, 435));
  EXPECT_EQ(1u, frameCount);
}

TEST_F(FrameTest, TheLastCatchOfAWaveShowsTheWaveAndEndsIt) {
  StartWave(200);
  game.waveSize = 2;
  game.bombsDropped = 2;
  game.bombs[0] = {100, 80, 0};
  PlaceBomb(1, 210, 359);  // caught by the top bucket at y 360
  scanlines = 1;
  GameFrame();
  EXPECT_EQ(WaveCleared, game.state);
  EXPECT_EQ(1, game.score);
  // Still the regular scene: frowning bomber on the back buffer, buckets, and
  // the first splash image over the top bucket.
  EXPECT_EQ(SpriteBomber, SpriteAt(TargetVisible, 300, 30));
  EXPECT_EQ(SpriteSplashC, SpriteAt(TargetVisible, 205, 366));
  EXPECT_EQ(SpriteBucket, SpriteAt(TargetVisible, 205, 396));
  // The state changed in step 7, so the bottom band gets its scanlines.
  bool bottomScanline = false;
  for (const SoftCall& call : Calls(CallFill)) bottomScanline |= call.y == 478;
  EXPECT_TRUE(bottomScanline);
  EXPECT_TRUE(Calls(CallCopy, TargetVisible).empty());

  // The next frame waits, the bomber holding a bomb; the splash goes on.
  DrawGameFrame();
  EXPECT_EQ(SpriteHeldBomb, SpriteAt(TargetVisible, 340, 70));
  EXPECT_EQ(SpriteSplashC, SpriteAt(TargetVisible, 205, 366));
  EXPECT_EQ(13, game.splashes[0].timer);
  EXPECT_EQ(2u, frameCount);

  // A state value outside the six draws nothing.
  game.state = static_cast<GameState>(9);
  DrawGameFrame();
  EXPECT_EQ(2u, frameCount);
}

}  // namespace
