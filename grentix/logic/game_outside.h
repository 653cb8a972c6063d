// What the game rules need from outside the game, kept to a few values and
// calls so that the rules build and run without any display or sound: the
// platform sets soundOn and maxFps and installs the effect player and the
// file replace; tests install a recorder, a fixed calendar clock and stand-in
// replaces. Nothing here plays, draws or measures anything itself.
#pragma once
#include <cstdint>

// The six effects, in the order the sound layer creates them.
enum SoundEffect : int32_t {
  EffectDrop,
  EffectWater,
  EffectBoom,
  EffectWow,
  EffectCoin,
  EffectLife,
  EffectCount
};

// Pan of a sound that belongs to no place on the screen.
const int kUnplacedPan = -31;

// New sounds are requested only while this is nonzero (F2 and "-nosound").
extern int soundOn;
// Highest frame rate measured so far; 0 until the first real measurement.
extern int maxFps;

// Resource name of an effect ("DROP" .. "LIFE"); "" for a value outside the six.
const char* EffectName(SoundEffect effect);

typedef void (*EffectPlayer)(SoundEffect effect, int pan);
// Installs the function that plays effects; null, the start value, drops
// every request.
void SetEffectPlayer(EffectPlayer player);
// Hands one request (pan -10000 full left .. 10000 full right) to the
// installed player. Does not look at soundOn: RequestEffect does.
void PlayEffect(SoundEffect effect, int pan);
// PlayEffect, but only while soundOn is set.
void RequestEffect(SoundEffect effect, int pan);

// What a one-step file replace gave.
enum ReplaceResult : int {
  ReplaceFailed = 0,      // the old file, if any, is still in place
  ReplaceDone = 1,        // the new file took the old one's place
  ReplaceUnsupported = -1 // the system has no such call (Windows 95, 98, Me)
};
typedef ReplaceResult (*FileReplacer)(const char* from, const char* to);
// Installs the call that puts the file from in the place of the file to in
// one step, replacing it; null, the start value, stands for a system without
// one.
void SetFileReplacer(FileReplacer replacer);
ReplaceResult ReplaceFileInOneStep(const char* from, const char* to);

typedef uint32_t (*CalendarClock)();
// Installs the clock the game's random seed is read from; null, the start
// value, is the system's clock.
void SetCalendarClock(CalendarClock clock);
// Current calendar time in whole seconds since 1970-01-01 UTC, cut to 32 bits.
uint32_t CalendarSeconds();
