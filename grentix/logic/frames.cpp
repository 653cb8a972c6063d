#include "frames.h"

#include "frame_clock.h"
#include "game_display.h"
#include "game_outside.h"
#include "game_rules.h"

namespace {

const DisplayRect kTopBand = {0, 0, kScreenWidth, 85};
const DisplayRect kMiddleBand = {0, 85, kScreenWidth, 450};
const DisplayRect kBottomBand = {0, 450, kScreenWidth, kScreenHeight};
const int kTopIndex = 182;
const int kMiddleIndex = 76;
const int kBottomIndex = 0;

const int kScoreX = 390;
const int kHighScoreX = 160;
const int kFpsX = 4;
const int kNumberY = 4;
const int kBomberY = 25;
const int kHeldBombOffsetX = 16;
const int kHeldBombY = 62;
const int kSplashTopY = 360;  // splash j at kSplashTopY + kBucketPitch * j

const uint32_t kBlastMs = 180;
const uint32_t kBlastFrameMs = 20;
const uint32_t kPauseBeforeLastBombMs = 50;
const uint32_t kPauseBeforeFlashMs = 100;
const int kFlashes = 10;
const uint32_t kFlashMs = 30;

const Sprite kSplashImages[3] = {SpriteSplashA, SpriteSplashB, SpriteSplashC};

void FillBands(DisplayTarget target) {
  FillRectIndex(target, kTopBand, kTopIndex);
  FillRectIndex(target, kMiddleBand, kMiddleIndex);
  FillRectIndex(target, kBottomBand, kBottomIndex);
}

void DrawScoreAndFps() {
  DrawNumber(game.score, kScoreX, kNumberY, TargetBack);
  if (showFps) DrawNumber(fps, kFpsX, kNumberY, TargetBack);
}

int BucketsShown() { return game.bucketCount < kMaxBuckets ? game.bucketCount : kMaxBuckets; }

void DrawBucketsAndSplashes() {
  for (int j = 0; j < BucketsShown(); ++j) {
    DrawSprite(TargetBack, game.playerX, kBucketTopY + kBucketPitch * j, SpriteBucket);
    int image = StepSplash(j);
    if (image >= 0) DrawSprite(TargetBack, game.playerX, kSplashTopY + kBucketPitch * j, kSplashImages[image]);
  }
}

// The bomb bursts where it was last shown, one step above where it is now.
void ExplodeBomb(int index) {
  const Bomb& bomb = game.bombs[index];
  int y = bomb.y - game.fallStep;
  DrawSprite(TargetVisible, bomb.x, y, SpriteImpact);
  RequestEffect(EffectBoom, SoundPan(bomb.x));
  uint32_t start = Milliseconds();
  while (Milliseconds() - start < kBlastMs) {
    DrawSprite(TargetVisible, bomb.x, y, static_cast<Sprite>(SpriteBlast0 + GameRandom() % 5));
    if (scanlines) DrawScanlines(TargetVisible);
    WaitMs(kBlastFrameMs);
  }
  DrawSprite(TargetVisible, bomb.x, y, SpriteBlast5);
  FillRectIndex(TargetVisible, kBottomBand, kBottomIndex);
  if (scanlines) DrawScanlines(TargetVisible);
  if (index == game.bombsDropped - 2) WaitMs(kPauseBeforeLastBombMs);
}

void Flash() {
  WaitMs(kPauseBeforeFlashMs);
  RequestEffect(EffectBoom, kUnplacedPan);
  for (int i = 0; i < kFlashes; ++i) {
    FillRectIndex(TargetVisible, kTopBand, GameRandom() % 255);
    FillRectIndex(TargetVisible, kMiddleBand, GameRandom() % 255);
    DrawNumber(game.scoreAtFrameStart, kScoreX, kNumberY, TargetVisible);
    DrawSprite(TargetVisible, game.bomberXAtFrameStart, kBomberY, SpriteBomberGrin);
    for (int j = 0; j < BucketsShown(); ++j) {
      DrawSprite(TargetVisible, game.previousPlayerX, kBucketTopY + kBucketPitch * j, SpriteBucket);
    }
    if (scanlines) DrawScanlines(TargetVisible);
    WaitMs(kFlashMs);
  }
}

}  // namespace

void GameFrame() {
  StartPlayingFrame();
  UpdateBomber();
  UpdateBombs();
  // Only a lost bomb ends Playing inside the rules.
  bool lost = game.state != Playing;

  FillBands(TargetBack);
  DrawScoreAndFps();
  if (lost) {
    DrawSprite(TargetVisible, game.bomberXAtFrameStart, kBomberY, SpriteBomberGrin);
  } else {
    DrawSprite(TargetBack, game.bomberX, kBomberY, SpriteBomber);
  }

  int anyBombLive = 0;
  for (int i = 0; i < game.bombsDropped && i < kMaxBombs; ++i) {
    const Bomb& bomb = game.bombs[i];
    if (!bomb.live) continue;
    anyBombLive = 1;
    if (lost) {
      ExplodeBomb(i);
    } else {
      DrawSprite(TargetBack, bomb.x, bomb.y, GameRandom() % 2 ? SpriteFuseB : SpriteFuseA);
    }
  }
  if (lost) Flash();

  CheckWaveCleared(anyBombLive);
  DrawBucketsAndSplashes();
  if (scanlines) DrawScanlines(TargetBack);
  PresentFrame();
  CheckBonusBucket();
}

void IdleFrame() {
  FollowMouse();
  FillBands(TargetBack);
  bool showsTicker = game.state == Title || game.state == GameOver;
  if (game.state != Title) DrawNumber(game.score, kScoreX, kNumberY, TargetBack);
  if (showFps) DrawNumber(fps, kFpsX, kNumberY, TargetBack);
  if (showsTicker) {
    DrawTextOverlay();
    DrawNumber(game.highScore, kHighScoreX, kNumberY, TargetBack);
  }
  DrawSprite(TargetBack, game.bomberX, kBomberY, showsTicker ? SpriteBomberGrin : SpriteBomber);
  if (!showsTicker) DrawSprite(TargetBack, game.bomberX + kHeldBombOffsetX, kHeldBombY, SpriteHeldBomb);
  DrawBucketsAndSplashes();
  if (scanlines) DrawScanlines(TargetBack);
  PresentFrame();
}

void DrawGameFrame() {
  switch (game.state) {
    case Playing:
      GameFrame();
      break;
    case Title:
    case Ready:
    case WaveCleared:
    case BucketLost:
    case GameOver:
      IdleFrame();
      break;
    default:
      break;
  }
}
