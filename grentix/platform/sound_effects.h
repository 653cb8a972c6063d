// Grentix's six sound effects on DirectSound (the first interface version):
// each WAV resource becomes a set of static buffers that share its samples,
// used in rotation so that the same effect can sound many times at once,
// played with a pan at 11,025 Hz. Every failure is silent: the effect is then
// not heard and the game plays on. Win32 only.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include "game_outside.h"
#include "wave_file.h"

struct SoundSet {
  const uint8_t* data;  // the samples, inside the resource
  DWORD dataSize;
  int count;            // buffers, at least 1
  int current;          // the buffer used last
  LPDIRECTSOUNDBUFFER buffers[1];  // count of them
};

typedef HRESULT(WINAPI* DirectSoundCreator)(LPCGUID device, LPDIRECTSOUND* sound, LPUNKNOWN outer);
// Replaces DirectSoundCreate (null puts it back), so that tests can hand in
// stand-in objects.
void SetDirectSoundCreator(DirectSoundCreator creator);

// Starts DirectSound on the default device and makes the six sets; installs
// the rules' effect player.
void InitSound(HWND window);
// Releases the six sets and the DirectSound object.
void ShutdownSound();
// The set of an effect, or null when it is missing.
SoundSet* SoundSetOf(SoundEffect effect);

// The WAV resource name of the program's own module, parsed: 1 or 0.
int FindWaveResource(const char* name, WaveData* wave);
// A buffer of the named resource's samples, filled; null on any failure,
// also for a format the buffers cannot play.
LPDIRECTSOUNDBUFFER CreateWaveBuffer(LPDIRECTSOUND sound, const char* name);
// Copies size bytes into the buffer (both locked parts): 1 or 0.
int FillSoundBuffer(LPDIRECTSOUNDBUFFER buffer, const uint8_t* data, DWORD size);
// count copies of the named effect (below 1 counts as 1), duplicates of the
// first where the platform allows; null when any copy cannot be had.
SoundSet* CreateSoundSet(LPDIRECTSOUND sound, const char* name, int count);
void ReleaseSoundSet(SoundSet* set);
// The next copy to play, stopping the oldest when all are busy; null when
// the only copy is playing or a lost one cannot be restored.
LPDIRECTSOUNDBUFFER AcquireSoundBuffer(SoundSet* set);
// Plays one copy of the set once from its start, at pan (-10000 full left
// .. 10000 full right) and 11,025 Hz.
void PlaySoundSet(SoundSet* set, int pan);
// The rules' effect player: plays the effect's set.
void PlayEffectSound(SoundEffect effect, int pan);
