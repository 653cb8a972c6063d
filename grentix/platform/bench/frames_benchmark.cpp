// Frames per second of the game drawn on the in-memory display with the
// real sprites: waiting frames, and running waves with a player who follows
// the lowest bomb (a lost bomb starts a new game).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "frame_clock.h"
#include "frames.h"
#include "game_outside.h"
#include "game_rules.h"
#include "soft_display.h"

namespace {

uint32_t now = 0;
uint32_t BenchClock() { return now++; }

std::vector<uint8_t> ReadAll(const char* path) {
  std::vector<uint8_t> bytes;
  if (FILE* file = fopen(path, "rb")) {
    int c;
    while ((c = fgetc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    fclose(file);
  }
  return bytes;
}

void Setup() {
  InstallSoftDisplay();
  SetSoftLogging(0);
  std::vector<uint8_t> sheet = ReadAll(GRENTIX_RESOURCE_DIR "/grentix.bmp");
  std::vector<uint8_t> score = ReadAll(GRENTIX_RESOURCE_DIR "/score.bmp");
  LoadSoftSprites(sheet.data(), sheet.size(), score.data(), score.size());
  SetMillisecondClock(BenchClock);
  soundOn = 0;
  maxFps = 75;
  ResetGameRecord();
}

void FollowLowestBomb() {
  int lowestY = -1;
  for (int i = 0; i < game.bombsDropped; ++i) {
    if (game.bombs[i].live && game.bombs[i].y > lowestY) {
      lowestY = game.bombs[i].y;
      int x = game.bombs[i].x - 18;
      game.mouseX = x < 0 ? 0 : x > 575 ? 575 : x;
    }
  }
}

void BM_IdleFrame(benchmark::State& state) {
  Setup();
  for (auto _ : state) IdleFrame();
  state.counters["frames/s"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IdleFrame);

void BM_GameFrame(benchmark::State& state) {
  Setup();
  for (auto _ : state) {
    if (game.state != Playing) {
      if (game.state != WaveCleared) NewGame();
      Click();
    }
    FollowLowestBomb();
    GameFrame();
  }
  state.counters["frames/s"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GameFrame);

}  // namespace

BENCHMARK_MAIN();
