#include "game_outside.h"

#include <ctime>

int soundOn = 1;
int maxFps = 0;

namespace {

EffectPlayer effectPlayer = nullptr;
CalendarClock calendarClock = nullptr;
FileReplacer fileReplacer = nullptr;

}  // namespace

const char* EffectName(SoundEffect effect) {
  static const char* const kNames[EffectCount] = {"DROP", "WATER", "BOOM", "WOW", "COIN", "LIFE"};
  if (effect < 0 || effect >= EffectCount) return "";
  return kNames[effect];
}

void SetEffectPlayer(EffectPlayer player) { effectPlayer = player; }

void PlayEffect(SoundEffect effect, int pan) {
  if (effectPlayer) effectPlayer(effect, pan);
}

void RequestEffect(SoundEffect effect, int pan) {
  if (soundOn) PlayEffect(effect, pan);
}

void SetFileReplacer(FileReplacer replacer) { fileReplacer = replacer; }

ReplaceResult ReplaceFileInOneStep(const char* from, const char* to) {
  return fileReplacer ? fileReplacer(from, to) : ReplaceUnsupported;
}

void SetCalendarClock(CalendarClock clock) { calendarClock = clock; }

uint32_t CalendarSeconds() {
  if (calendarClock) return calendarClock();
#ifdef _WIN32
  // The 32-bit runtime's time() stops at 2038; the 64-bit clock goes on.
  return static_cast<uint32_t>(_time64(nullptr));
#else
  return static_cast<uint32_t>(time(nullptr));
#endif
}
