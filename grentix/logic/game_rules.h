// The game record of Grentix and every rule that changes it: the state
// machine, the start of a game and of each wave, the bomber's walk and drops,
// the bombs' fall, catching and losing, scoring, the bonus bucket, speed
// scaling and the random source. The rules never draw; they ask for sounds
// through game_outside.h. The frames call them at fixed points of each frame.
#pragma once
#include <cstdint>

enum GameState : int32_t {
  Title = 0,        // program start; no game yet
  Ready = 1,        // a new game is set up; waiting for the first click
  WaveCleared = 2,  // every bomb of the wave was caught; waiting for a click
  Playing = 3,      // a wave is running
  BucketLost = 4,   // a bomb reached the ground, buckets are left; waiting for a click
  GameOver = 5      // the last bucket was lost
};

enum {
  kMaxBombs = 150,  // the largest wave
  kMaxBuckets = 3,
  kMaxLevel = 8,
  kBucketTopY = 370,     // bucket j is drawn at kBucketTopY + kBucketPitch * j
  kBucketPitch = 30,
  kSplashFrames = 15,    // a caught bomb's splash lasts this many frames
  kBonusStep = 1000      // points between two buckets given back
};

// Positions are screen pixels (x to the right, y downwards) of a sprite's
// top-left corner: the bomber is 64 x 64, a bucket 64 x 32, a bomb 32 x 32.
struct Bomb {
  int32_t x;     // left edge
  int32_t y;     // top edge
  int32_t live;  // nonzero while the bomb falls
};

struct Splash {
  int32_t active;
  int32_t timer;  // frames left
};

struct Game {
  GameState state;
  int32_t bomberX;              // bomber's left edge
  int32_t bomberStep;           // signed movement per frame
  int32_t bomberXAtFrameStart;
  int32_t mouseX;               // 0..575, as the platform last reported it
  int32_t playerX;              // left edge of the bucket stack in this frame
  int32_t previousPlayerX;
  int32_t bucketCount;
  int32_t score;
  int32_t scoreAtFrameStart;
  int32_t highScore;
  int32_t level;                // 1..8 (0 only inside Click)
  int32_t waveSize;
  int32_t bombsDropped;         // also the used entries of bombs
  int32_t fallStep;
  int32_t turnDivisor;          // 1 in turnDivisor chance per frame of a random turn
  int32_t dropGap;              // distance the bomber walks between two drops
  int32_t lastDropX;
  int32_t nextBonusScore;
  int32_t paramToggle;          // alternates turnDivisor and dropGap between waves
  double speedScale;            // 75 / maxFps
  Bomb bombs[kMaxBombs];
  Splash splashes[kMaxBuckets];  // index = bucket position from the top
};

// The one game record, and the credits ticker's left edge, which a new game
// also resets.
extern Game game;
extern int32_t creditsX;

// Puts game, creditsX and the random source back to their program-start
// values (high score 0: LoadHighScore reads the real one).
void ResetGameRecord();

// The game's 15-bit random source: returns 0..32767.
int GameRandom();
void SeedGameRandom(uint32_t seed);

// Pan of a sound made at screen x (0 full left .. 640 full right).
int SoundPan(int x);

// Frame-start bookkeeping of a Playing frame: remembers the bomber, score and
// bucket position the frame began with and follows the mouse.
void StartPlayingFrame();
// The part of that an idle frame does: previousPlayerX and playerX.
void FollowMouse();

// F1, in any state: a new game in Ready, random source seeded anew.
void NewGame();
// Left button: starts the waiting wave in Ready, WaveCleared and BucketLost.
void Click();
// Sets up the next wave's size, speeds and turn and drop parameters.
void PrepareWave();
// Moves the bomber and drops at most one bomb; does nothing once the whole
// wave is dropped.
void UpdateBomber();
// Lets every live bomb fall, then catches or loses it.
void UpdateBombs();
// Ends the wave when it is wholly dropped, anyBombLive is 0 and no bomb was
// lost in this frame.
void CheckWaveCleared(int anyBombLive);
// One frame of splash j's countdown: returns the splash image to show (2 the
// first, 1 the middle, 0 the last), or -1 when the splash is not active or
// has just ended (it is then marked inactive).
int StepSplash(int j);
// Gives a bucket back (at most one threshold per frame) every 1000 points.
void CheckBonusBucket();
