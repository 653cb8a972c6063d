// Test fixture for the game rules: a fresh program-start record for every
// test, a recorder in place of the sound player, a calendar clock the test
// sets, and the display rate the speeds were designed for.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "game_outside.h"
#include "game_rules.h"

struct SoundRequest {
  SoundEffect effect;
  int pan;
};

inline bool operator==(const SoundRequest& a, const SoundRequest& b) {
  return a.effect == b.effect && a.pan == b.pan;
}

inline std::ostream& operator<<(std::ostream& out, const SoundRequest& request) {
  return out << EffectName(request.effect) << "@" << request.pan;
}

using SoundRequests = std::vector<SoundRequest>;

inline SoundRequests recordedSounds;
inline uint32_t testCalendarSeconds;

inline void RecordSound(SoundEffect effect, int pan) { recordedSounds.push_back({effect, pan}); }
inline uint32_t TestCalendarClock() { return testCalendarSeconds; }

class RulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameRecord();
    soundOn = 1;
    maxFps = 75;
    recordedSounds.clear();
    testCalendarSeconds = 1;
    SetEffectPlayer(RecordSound);
    SetCalendarClock(TestCalendarClock);
  }

  void TearDown() override {
    SetEffectPlayer(nullptr);
    SetCalendarClock(nullptr);
    soundOn = 1;
    maxFps = 0;
  }

  // Takes what was recorded so far, leaving the recorder empty.
  static SoundRequests TakeSounds() {
    SoundRequests taken;
    taken.swap(recordedSounds);
    return taken;
  }
};
