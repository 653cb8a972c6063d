#include "sound_effects.h"

namespace {

const DWORD kPlaybackRate = 11025;
// Copies of each effect, in the order the sets are made and released.
const int kCopies[EffectCount] = {128, 128, 32, 128, 16, 32};

DirectSoundCreator createDirectSound = nullptr;
LPDIRECTSOUND directSound = nullptr;
SoundSet* sets[EffectCount] = {};

bool IsPlaying(LPDIRECTSOUNDBUFFER buffer, DWORD* status) {
  *status = 0;
  if (buffer->GetStatus(status) != DS_OK) *status = 0;
  return (*status & DSBSTATUS_PLAYING) != 0;
}

}  // namespace

void SetDirectSoundCreator(DirectSoundCreator creator) { createDirectSound = creator; }

int FindWaveResource(const char* name, WaveData* wave) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, name, "WAV");
  if (!found) return 0;
  HGLOBAL loaded = LoadResource(module, found);
  if (!loaded) return 0;
  const void* image = LockResource(loaded);
  DWORD size = SizeofResource(module, found);
  if (!image || !size) return 0;
  return ParseWave(static_cast<const uint8_t*>(image), size, wave);
}

LPDIRECTSOUNDBUFFER CreateWaveBuffer(LPDIRECTSOUND sound, const char* name) {
  WaveData wave;
  if (!sound || !FindWaveResource(name, &wave) || !IsPlayablePcm(wave.format) || !wave.dataSize) return nullptr;
  // Plain PCM has no extra format bytes, whatever the chunk said.
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = wave.format.channels;
  format.nSamplesPerSec = wave.format.samplesPerSec;
  format.nAvgBytesPerSec = wave.format.avgBytesPerSec;
  format.nBlockAlign = wave.format.blockAlign;
  format.wBitsPerSample = wave.format.bitsPerSample;
  DSBUFFERDESC desc = {};
  // The first version's description (size, flags, bytes, reserved, format),
  // which every DirectSound takes: 20 bytes on 32-bit Windows, 24 on 64-bit,
  // where a 32-bit record's size is refused.
  desc.dwSize = sizeof(DSBUFFERDESC1);
  desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
  desc.dwBufferBytes = wave.dataSize;
  desc.lpwfxFormat = &format;
  LPDIRECTSOUNDBUFFER buffer = nullptr;
  if (sound->CreateSoundBuffer(&desc, &buffer, nullptr) != DS_OK || !buffer) return nullptr;
  if (!FillSoundBuffer(buffer, wave.data, wave.dataSize)) {
    buffer->Release();
    return nullptr;
  }
  return buffer;
}

int FillSoundBuffer(LPDIRECTSOUNDBUFFER buffer, const uint8_t* data, DWORD size) {
  if (!buffer || !data || !size) return 0;
  void* first = nullptr;
  void* second = nullptr;
  DWORD firstBytes = 0, secondBytes = 0;
  if (buffer->Lock(0, size, &first, &firstBytes, &second, &secondBytes, 0) != DS_OK) return 0;
  DWORD copied = firstBytes < size ? firstBytes : size;
  if (first) CopyMemory(first, data, copied);
  if (second) CopyMemory(second, data + copied, secondBytes < size - copied ? secondBytes : size - copied);
  buffer->Unlock(first, firstBytes, second, secondBytes);
  return 1;
}

SoundSet* CreateSoundSet(LPDIRECTSOUND sound, const char* name, int count) {
  WaveData wave;
  if (!FindWaveResource(name, &wave)) return nullptr;
  if (count < 1) count = 1;
  SoundSet* set = static_cast<SoundSet*>(
      HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SoundSet) + (count - 1) * sizeof(LPDIRECTSOUNDBUFFER)));
  if (!set) return nullptr;
  set->count = count;
  set->data = wave.data;
  set->dataSize = wave.dataSize;
  set->buffers[0] = CreateWaveBuffer(sound, name);
  // Without a first buffer there is nothing to duplicate, and a set whose
  // first copy is missing never plays.
  if (!set->buffers[0]) {
    ReleaseSoundSet(set);
    return nullptr;
  }
  for (int i = 1; i < count; ++i) {
    if (sound->DuplicateSoundBuffer(set->buffers[0], &set->buffers[i]) != DS_OK) set->buffers[i] = nullptr;
    if (!set->buffers[i]) set->buffers[i] = CreateWaveBuffer(sound, name);
    if (!set->buffers[i]) {
      ReleaseSoundSet(set);
      return nullptr;
    }
  }
  return set;
}

void ReleaseSoundSet(SoundSet* set) {
  if (!set) return;
  for (int i = 0; i < set->count; ++i) {
    if (set->buffers[i]) set->buffers[i]->Release();
    set->buffers[i] = nullptr;
  }
  HeapFree(GetProcessHeap(), 0, set);
}

LPDIRECTSOUNDBUFFER AcquireSoundBuffer(SoundSet* set) {
  if (!set || !set->buffers[set->current]) return nullptr;
  DWORD status;
  if (IsPlaying(set->buffers[set->current], &status)) {
    if (set->count == 1) return nullptr;
    set->current = (set->current + 1) % set->count;
    LPDIRECTSOUNDBUFFER next = set->buffers[set->current];
    if (!next) return nullptr;
    // The copy next in turn is normally the one started longest ago.
    if (next->GetStatus(&status) != DS_OK) {
      status = 0;
    } else if (status & DSBSTATUS_PLAYING) {
      next->Stop();
      next->SetCurrentPosition(0);
    }
  }
  LPDIRECTSOUNDBUFFER buffer = set->buffers[set->current];
  if (status & DSBSTATUS_BUFFERLOST) {
    if (buffer->Restore() != DS_OK) return nullptr;
    if (!FillSoundBuffer(buffer, set->data, set->dataSize)) return nullptr;
  }
  return buffer;
}

void PlaySoundSet(SoundSet* set, int pan) {
  LPDIRECTSOUNDBUFFER buffer = AcquireSoundBuffer(set);
  if (!buffer) return;
  buffer->SetPan(pan);
  buffer->SetFrequency(kPlaybackRate);
  buffer->Play(0, 0, 0);
}

SoundSet* SoundSetOf(SoundEffect effect) { return effect >= 0 && effect < EffectCount ? sets[effect] : nullptr; }

void PlayEffectSound(SoundEffect effect, int pan) { PlaySoundSet(SoundSetOf(effect), pan); }

void InitSound(HWND window) {
  DirectSoundCreator create = createDirectSound ? createDirectSound : DirectSoundCreate;
  if (create(nullptr, &directSound, nullptr) != DS_OK || !directSound) {
    directSound = nullptr;
    return;
  }
  if (directSound->SetCooperativeLevel(window, DSSCL_EXCLUSIVE) != DS_OK) {
    directSound->Release();
    directSound = nullptr;
    return;
  }
  for (int e = 0; e < EffectCount; ++e) {
    sets[e] = CreateSoundSet(directSound, EffectName(static_cast<SoundEffect>(e)), kCopies[e]);
  }
  SetEffectPlayer(PlayEffectSound);
}

void ShutdownSound() {
  if (!directSound) return;
  SetEffectPlayer(nullptr);
  for (SoundSet*& set : sets) {
    ReleaseSoundSet(set);
    set = nullptr;
  }
  directSound->Release();
  directSound = nullptr;
}
