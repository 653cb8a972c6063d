#include "game_rules.h"

#include "game_outside.h"
#include "rounded_arithmetic.h"

namespace {

// The bomber turns back here whatever the random source says.
const int kBomberLeftTurn = 20;
const int kBomberRightTurn = 555;
// Random turns happen only well inside the walk.
const int kRandomTurnLeft = 50;
const int kRandomTurnRight = 520;
// A bomber at or right of this walks left when a wave starts.
const int kBomberStartsLeft = 550;
// A turn drops a bomb once the bomber is this far from the last drop.
const int kTurnDropDistance = 50;

const int kDropOffsetX = 17;  // bomb's left edge from the bomber's
const int kDropY = 67;
const int kDropSoundOffsetX = 20;

const int kCatchTop = 345;            // catch zone j: 345 + 30j < y < 375 + 30j
const int kCatchZoneHeight = 30;
const int kCatchWindowLeft = 9;       // playerX - 9 < x < playerX + 45
const int kCatchWindowRight = 45;
const int kGroundY = 420;
// Far below anything drawn: a bomb held up by a player standing under it
// stops here instead of counting on towards overflow. Nothing can catch it
// there (the lowest zone ends at 435) and it is lost like any other.
const int kLowestBombY = 1 << 24;

const int kTickerStartX = 640;

// By level; a wave always has a level of 1 to 8.
const int kWaveSizes[kMaxLevel + 1] = {0, 10, 20, 30, 40, 50, 75, 100, 150};

constexpr Game ProgramStartGame() {
  Game start = {};
  start.state = Title;
  start.bomberX = 80;
  start.bomberStep = 4;
  start.mouseX = 320;
  return start;
}

uint32_t randomState = 0;

int Magnitude(int value) { return value < 0 ? -value : value; }

int ScaledStep(int perFrameAt75) { return ScaledStepOf<double>(perFrameAt75, game.speedScale); }

// One live bomb falls a step and is caught, lost or left falling.
void MoveBomb(Bomb* bomb) {
  bomb->y = bomb->y < kLowestBombY - game.fallStep ? bomb->y + game.fallStep : kLowestBombY;
  if (bomb->y <= kCatchTop) return;

  if (game.playerX - kCatchWindowLeft < bomb->x && bomb->x < game.playerX + kCatchWindowRight) {
    for (int j = 0; j < game.bucketCount && j < kMaxBuckets; ++j) {
      int zoneTop = kCatchTop + kCatchZoneHeight * j;
      if (zoneTop < bomb->y && bomb->y < zoneTop + kCatchZoneHeight) {
        game.splashes[j].active = 1;
        game.splashes[j].timer = kSplashFrames;
        bomb->live = 0;
        RequestEffect(EffectWater, SoundPan(game.playerX));
        if (j == kMaxBuckets - 1) RequestEffect(EffectWow, kUnplacedPan);
        game.score += game.level;
        if (game.score > game.highScore) game.highScore = game.score;
        return;
      }
    }
    // On a zone boundary or below the stack: it falls on until the player
    // moves away from under it.
    return;
  }

  if (bomb->y > kGroundY) {
    // The lost bomb stays live: every live bomb explodes in the frame.
    if (game.bucketCount > 0) game.bucketCount -= 1;
    game.state = game.bucketCount >= 1 ? BucketLost : GameOver;
    for (Splash& splash : game.splashes) splash.timer = 0;
    game.bomberX = game.bomberXAtFrameStart;
  }
}

}  // namespace

Game game = ProgramStartGame();
int32_t creditsX = kTickerStartX;

void ResetGameRecord() {
  game = ProgramStartGame();
  creditsX = kTickerStartX;
  randomState = 0;
}

int GameRandom() {
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int>(randomState >> 16 & 0x7FFF);
}

void SeedGameRandom(uint32_t seed) { randomState = seed; }

int SoundPan(int x) { return PanOf<double>(x); }

void FollowMouse() {
  game.previousPlayerX = game.playerX;
  game.playerX = game.mouseX;
}

void StartPlayingFrame() {
  game.bomberXAtFrameStart = game.bomberX;
  FollowMouse();
  game.scoreAtFrameStart = game.score;
}

void NewGame() {
  RequestEffect(EffectCoin, kUnplacedPan);
  SeedGameRandom(CalendarSeconds());
  game.state = Ready;
  // The first wave runs at these speeds whatever the display rate.
  game.bomberStep = game.bomberX >= kBomberStartsLeft ? -4 : 4;
  game.bucketCount = kMaxBuckets;
  game.score = 0;
  game.level = 1;
  game.waveSize = kWaveSizes[1];
  game.bombsDropped = 0;
  game.fallStep = 1;
  game.turnDivisor = 100;
  game.dropGap = 100;
  game.lastDropX = game.bomberX;
  game.nextBonusScore = kBonusStep;
  game.paramToggle = 1;
  for (Splash& splash : game.splashes) splash = Splash{};
  creditsX = kTickerStartX;
}

void Click() {
  switch (game.state) {
    case Ready:
      game.state = Playing;
      break;
    case WaveCleared:
      PrepareWave();
      game.state = Playing;
      break;
    case BucketLost:
      // Two down and one up again in PrepareWave: the next wave is one level
      // below the lost one. From level 1 it is a full wave, not a halved one.
      if (game.level <= 1) {
        game.level = 0;
        game.state = WaveCleared;
      } else {
        game.level -= 2;
      }
      PrepareWave();
      game.state = Playing;
      break;
    default:
      break;
  }
}

void PrepareWave() {
  game.bombsDropped = 0;
  for (Splash& splash : game.splashes) splash.timer = 0;
  if (game.level < kMaxLevel) game.level += 1;
  if (game.level < 1) game.level = 1;

  game.waveSize = kWaveSizes[game.level];
  if (game.state == BucketLost) game.waveSize /= 2;

  game.speedScale = SpeedScaleOf(maxFps);
  game.bomberStep = ScaledStep(game.level + 4);
  if (game.bomberX >= kBomberStartsLeft) game.bomberStep = -game.bomberStep;
  game.fallStep = ScaledStep(game.level);

  game.paramToggle = !game.paramToggle;
  if (game.paramToggle == 0) {
    game.turnDivisor = 30;
    game.dropGap = 75;
  } else {
    game.turnDivisor = 45;
    game.dropGap = 125;
  }
}

void UpdateBomber() {
  if (game.bombsDropped >= game.waveSize || game.bombsDropped >= kMaxBombs) return;

  game.bomberX += game.bomberStep;
  bool turn = game.bomberX > kBomberRightTurn || game.bomberX < kBomberLeftTurn;
  if (!turn) {
    int r = GameRandom();
    turn = game.turnDivisor > 0 && r % game.turnDivisor == 0 &&
           kRandomTurnLeft < game.bomberX && game.bomberX < kRandomTurnRight;
  }

  int walked = Magnitude(game.bomberX - game.lastDropX);
  bool drop;
  if (turn) {
    game.bomberStep = -game.bomberStep;
    drop = walked > kTurnDropDistance;
  } else {
    drop = walked > game.dropGap;
  }
  if (!drop) return;

  game.lastDropX = game.bomberX;
  Bomb& bomb = game.bombs[game.bombsDropped];
  bomb.x = game.bomberX + kDropOffsetX;
  bomb.y = kDropY;
  bomb.live = 1;
  game.bombsDropped += 1;
  RequestEffect(EffectDrop, SoundPan(game.bomberX + kDropSoundOffsetX));
}

void UpdateBombs() {
  for (int i = 0; i < game.bombsDropped && i < kMaxBombs; ++i) {
    if (game.bombs[i].live) MoveBomb(&game.bombs[i]);
  }
}

void CheckWaveCleared(int anyBombLive) {
  if (game.bombsDropped == game.waveSize && !anyBombLive && game.state == Playing) {
    game.state = WaveCleared;
  }
}

int StepSplash(int j) {
  if (j < 0 || j >= kMaxBuckets) return -1;
  Splash& splash = game.splashes[j];
  if (!splash.active) return -1;
  splash.timer -= 1;
  if (splash.timer > 0) return splash.timer / 5;
  splash.active = 0;
  return -1;
}

void CheckBonusBucket() {
  if (game.score < game.nextBonusScore) return;
  RequestEffect(EffectLife, kUnplacedPan);
  game.nextBonusScore += kBonusStep;
  // A game that has just ended keeps no bucket.
  if (game.bucketCount < kMaxBuckets && game.state != GameOver) game.bucketCount += 1;
}
