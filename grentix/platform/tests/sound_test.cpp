// The sound sets on stand-in DirectSound objects that record every call, and
// the real DirectSound of this Wine prefix (silent, or ALSA's null device).
#include "sound_effects.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game_rules.h"
#include "rules_fixture.h"

namespace {

std::vector<std::string> calls;

class FakeBuffer final : public IDirectSoundBuffer {
 public:
  explicit FakeBuffer(int id, DWORD bytes) : id(id), memory(bytes) {}
  int id;
  ULONG refs = 1;
  DWORD status = 0;
  HRESULT restoreResult = DS_OK;
  DWORD split = 0;  // when set, Lock hands out two parts split here
  LONG pan = 0;
  DWORD frequency = 0;
  std::vector<uint8_t> memory;

  void Note(const std::string& what) { calls.push_back("b" + std::to_string(id) + "." + what); }
  STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
  STDMETHOD_(ULONG, Release)() override {
    Note("Release");
    return --refs;
  }
  STDMETHOD(GetCaps)(LPDSBCAPS) override { return E_NOTIMPL; }
  STDMETHOD(GetCurrentPosition)(LPDWORD, LPDWORD) override { return E_NOTIMPL; }
  STDMETHOD(GetFormat)(LPWAVEFORMATEX, DWORD, LPDWORD) override { return E_NOTIMPL; }
  STDMETHOD(GetVolume)(LPLONG) override { return E_NOTIMPL; }
  STDMETHOD(GetPan)(LPLONG) override { return E_NOTIMPL; }
  STDMETHOD(GetFrequency)(LPDWORD) override { return E_NOTIMPL; }
  STDMETHOD(GetStatus)(LPDWORD value) override {
    *value = status;
    return DS_OK;
  }
  STDMETHOD(Initialize)(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return E_NOTIMPL; }
  STDMETHOD(Lock)(DWORD, DWORD bytes, LPVOID* first, LPDWORD firstBytes, LPVOID* second, LPDWORD secondBytes,
                  DWORD) override {
    Note("Lock");
    if (bytes > memory.size()) return DSERR_INVALIDPARAM;
    DWORD cut = split ? split : bytes;
    *first = memory.data();
    *firstBytes = cut;
    *second = split ? memory.data() + split : nullptr;
    *secondBytes = split ? bytes - split : 0;
    return DS_OK;
  }
  STDMETHOD(Play)(DWORD, DWORD, DWORD flags) override {
    Note("Play" + std::to_string(flags));
    status |= DSBSTATUS_PLAYING;
    return DS_OK;
  }
  STDMETHOD(SetCurrentPosition)(DWORD position) override {
    Note("SetCurrentPosition" + std::to_string(position));
    return DS_OK;
  }
  STDMETHOD(SetFormat)(LPCWAVEFORMATEX) override { return E_NOTIMPL; }
  STDMETHOD(SetVolume)(LONG) override { return E_NOTIMPL; }
  STDMETHOD(SetPan)(LONG value) override {
    pan = value;
    Note("SetPan" + std::to_string(value));
    return DS_OK;
  }
  STDMETHOD(SetFrequency)(DWORD value) override {
    frequency = value;
    Note("SetFrequency" + std::to_string(value));
    return DS_OK;
  }
  STDMETHOD(Stop)() override {
    Note("Stop");
    status &= ~DSBSTATUS_PLAYING;
    return DS_OK;
  }
  STDMETHOD(Unlock)(LPVOID, DWORD, LPVOID, DWORD) override {
    Note("Unlock");
    return DS_OK;
  }
  STDMETHOD(Restore)() override {
    Note("Restore");
    if (restoreResult == DS_OK) status &= ~DSBSTATUS_BUFFERLOST;
    return restoreResult;
  }
};

class FakeSound : public IDirectSound {
 public:
  ULONG refs = 1;
  int createFailsFrom = -1;     // the n-th CreateSoundBuffer (from 0) and later fail
  int duplicateFailsFrom = -1;  // likewise for DuplicateSoundBuffer
  int creates = 0, duplicates = 0;
  std::vector<FakeBuffer*> buffers;
  DSBUFFERDESC lastDesc = {};
  WAVEFORMATEX lastFormat = {};

  ~FakeSound() {
    for (FakeBuffer* b : buffers) delete b;
  }
  FakeBuffer* Make(DWORD bytes) {
    buffers.push_back(new FakeBuffer(static_cast<int>(buffers.size()), bytes));
    return buffers.back();
  }
  STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
  STDMETHOD_(ULONG, Release)() override {
    calls.push_back("sound.Release");
    return --refs;
  }
  STDMETHOD(CreateSoundBuffer)(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER buffer, IUnknown*) override {
    lastDesc = *desc;
    lastFormat = *desc->lpwfxFormat;
    int n = creates++;
    if (createFailsFrom >= 0 && n >= createFailsFrom) return DSERR_OUTOFMEMORY;
    *buffer = Make(desc->dwBufferBytes);
    calls.push_back("sound.Create");
    return DS_OK;
  }
  STDMETHOD(GetCaps)(LPDSCAPS) override { return E_NOTIMPL; }
  STDMETHOD(DuplicateSoundBuffer)(LPDIRECTSOUNDBUFFER original, LPLPDIRECTSOUNDBUFFER copy) override {
    if (!original) return DSERR_INVALIDPARAM;
    int n = duplicates++;
    if (duplicateFailsFrom >= 0 && n >= duplicateFailsFrom) return DSERR_OUTOFMEMORY;
    *copy = Make(static_cast<DWORD>(static_cast<FakeBuffer*>(original)->memory.size()));
    return DS_OK;
  }
  STDMETHOD(SetCooperativeLevel)(HWND, DWORD level) override {
    calls.push_back("sound.SetCooperativeLevel" + std::to_string(level));
    return DS_OK;
  }
  STDMETHOD(Compact)() override { return E_NOTIMPL; }
  STDMETHOD(GetSpeakerConfig)(LPDWORD) override { return E_NOTIMPL; }
  STDMETHOD(SetSpeakerConfig)(DWORD) override { return E_NOTIMPL; }
  STDMETHOD(Initialize)(LPCGUID) override { return E_NOTIMPL; }
};

FakeSound* fakeSound;
HRESULT WINAPI CreateFakeSound(LPCGUID, LPDIRECTSOUND* sound, LPUNKNOWN) {
  *sound = fakeSound;
  return DS_OK;
}

class SoundTest : public RulesTest {
 protected:
  void SetUp() override {
    RulesTest::SetUp();
    calls.clear();
    fakeSound = &sound_;
  }
  void TearDown() override {
    ShutdownSound();
    SetDirectSoundCreator(nullptr);
    RulesTest::TearDown();
  }
  FakeSound sound_;
};

std::vector<std::string> Without(const std::string& prefix) {
  std::vector<std::string> kept;
  for (const std::string& c : calls) {
    if (c.find(prefix) == std::string::npos) kept.push_back(c);
  }
  return kept;
}

TEST_F(SoundTest, BuffersAreDescribedFilledAndDuplicated) {
  SoundSet* set = CreateSoundSet(&sound_, "WATER", 3);
  ASSERT_NE(nullptr, set);
  EXPECT_EQ(3, set->count);
  EXPECT_EQ(4508u, set->dataSize);
  // The first version's record: 20 bytes on 32-bit Windows, 24 on 64-bit.
  EXPECT_EQ(sizeof(void*) == 4 ? 20u : 24u, sound_.lastDesc.dwSize);
  EXPECT_EQ(static_cast<DWORD>(DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME),
            sound_.lastDesc.dwFlags);
  EXPECT_EQ(4508u, sound_.lastDesc.dwBufferBytes);
  EXPECT_EQ(WAVE_FORMAT_PCM, sound_.lastFormat.wFormatTag);
  EXPECT_EQ(22050u, sound_.lastFormat.nSamplesPerSec);
  EXPECT_EQ(16, sound_.lastFormat.wBitsPerSample);
  EXPECT_EQ(0, sound_.lastFormat.cbSize);
  ASSERT_EQ(3u, sound_.buffers.size());
  EXPECT_EQ(0, memcmp(set->data, sound_.buffers[0]->memory.data(), 4508));
  EXPECT_EQ((std::vector<std::string>{"sound.Create", "b0.Lock", "b0.Unlock"}), calls);

  // Both locked parts are filled.
  FakeBuffer two(99, 4508);
  two.split = 1000;
  EXPECT_EQ(1, FillSoundBuffer(&two, set->data, set->dataSize));
  EXPECT_EQ(0, memcmp(set->data, two.memory.data(), 4508));
  EXPECT_EQ(0, FillSoundBuffer(&two, nullptr, 10));
  EXPECT_EQ(0, FillSoundBuffer(nullptr, set->data, 10));
  ReleaseSoundSet(set);

  EXPECT_EQ(nullptr, CreateSoundSet(&sound_, "NOSUCH", 2));
  EXPECT_EQ(nullptr, CreateWaveBuffer(&sound_, "NOSUCH"));
  // A count below 1 is one copy.
  set = CreateSoundSet(&sound_, "DROP", 0);
  ASSERT_NE(nullptr, set);
  EXPECT_EQ(1, set->count);
  ReleaseSoundSet(set);
}

TEST_F(SoundTest, CopiesRotateAndTheOldestIsCutShort) {
  SoundSet* set = CreateSoundSet(&sound_, "BOOM", 2);
  ASSERT_NE(nullptr, set);
  calls.clear();
  PlaySoundSet(set, -500);
  PlaySoundSet(set, 0);
  PlaySoundSet(set, 700);
  EXPECT_EQ((std::vector<std::string>{"b0.SetPan-500", "b0.SetFrequency11025", "b0.Play0",
                                      "b1.SetPan0", "b1.SetFrequency11025", "b1.Play0",
                                      "b0.Stop", "b0.SetCurrentPosition0",
                                      "b0.SetPan700", "b0.SetFrequency11025", "b0.Play0"}),
            calls);
  ReleaseSoundSet(set);

  // A single copy still playing drops the request.
  set = CreateSoundSet(&sound_, "COIN", 1);
  ASSERT_NE(nullptr, set);
  PlaySoundSet(set, 1);
  calls.clear();
  PlaySoundSet(set, 2);
  EXPECT_TRUE(calls.empty());
  static_cast<FakeBuffer*>(set->buffers[0])->status = 0;
  PlaySoundSet(set, 3);
  EXPECT_EQ(3u, calls.size());
  ReleaseSoundSet(set);
  PlaySoundSet(nullptr, 0);
}

TEST_F(SoundTest, ALostBufferIsRestoredAndRefilled) {
  SoundSet* set = CreateSoundSet(&sound_, "WOW", 2);
  ASSERT_NE(nullptr, set);
  FakeBuffer* first = static_cast<FakeBuffer*>(set->buffers[0]);
  first->status = DSBSTATUS_BUFFERLOST;
  first->memory.assign(first->memory.size(), 0);
  calls.clear();
  PlaySoundSet(set, 5);
  EXPECT_EQ((std::vector<std::string>{"b0.Restore", "b0.Lock", "b0.Unlock", "b0.SetPan5", "b0.SetFrequency11025",
                                      "b0.Play0"}),
            calls);
  EXPECT_EQ(0, memcmp(set->data, first->memory.data(), set->dataSize));

  // One that cannot be restored is not played.
  first->status = DSBSTATUS_BUFFERLOST;
  first->restoreResult = DSERR_BUFFERLOST;
  calls.clear();
  PlaySoundSet(set, 5);
  EXPECT_EQ((std::vector<std::string>{"b0.Restore"}), calls);
  ReleaseSoundSet(set);
}

TEST_F(SoundTest, FailedDuplicatesAreMadeAfreshAndAFailedSetIsReleasedWhole) {
  sound_.duplicateFailsFrom = 1;
  SoundSet* set = CreateSoundSet(&sound_, "LIFE", 4);
  ASSERT_NE(nullptr, set);
  EXPECT_EQ(3, sound_.creates);  // the first, then two for failed duplicates
  EXPECT_EQ(4u, sound_.buffers.size());
  ReleaseSoundSet(set);

  // The third copy cannot be had at all: every buffer made is released.
  sound_.buffers.clear();
  sound_.creates = sound_.duplicates = 0;
  sound_.duplicateFailsFrom = 1;
  sound_.createFailsFrom = 2;
  calls.clear();
  EXPECT_EQ(nullptr, CreateSoundSet(&sound_, "LIFE", 4));
  ASSERT_EQ(3u, sound_.buffers.size());
  for (FakeBuffer* b : sound_.buffers) EXPECT_EQ(0u, b->refs) << b->id;

  // Without a first buffer nothing is duplicated: the set is given up.
  sound_.buffers.clear();
  sound_.creates = sound_.duplicates = 0;
  sound_.createFailsFrom = 0;
  sound_.duplicateFailsFrom = -1;
  EXPECT_EQ(nullptr, CreateSoundSet(&sound_, "DROP", 8));
  EXPECT_EQ(0, sound_.duplicates);
  EXPECT_TRUE(sound_.buffers.empty());
}

TEST_F(SoundTest, StartAndShutdownInTheirOrder) {
  SetDirectSoundCreator(CreateFakeSound);
  InitSound(nullptr);
  EXPECT_EQ("sound.SetCooperativeLevel" + std::to_string(DSSCL_EXCLUSIVE), calls[0]);
  const int copies[EffectCount] = {128, 128, 32, 128, 16, 32};
  int first = 0;
  for (int e = 0; e < EffectCount; ++e) {
    SoundSet* set = SoundSetOf(static_cast<SoundEffect>(e));
    ASSERT_NE(nullptr, set) << e;
    EXPECT_EQ(copies[e], set->count);
    EXPECT_EQ(first, static_cast<FakeBuffer*>(set->buffers[0])->id);
    first += copies[e];
  }
  EXPECT_EQ(464u, sound_.buffers.size());

  calls.clear();
  ShutdownSound();
  std::vector<std::string> released = Without("sound.");
  ASSERT_EQ(464u, released.size());
  for (int i = 0; i < 464; ++i) EXPECT_EQ("b" + std::to_string(i) + ".Release", released[i]);
  EXPECT_EQ("sound.Release", calls.back());
  for (int e = 0; e < EffectCount; ++e) EXPECT_EQ(nullptr, SoundSetOf(static_cast<SoundEffect>(e)));
  ShutdownSound();  // once is all
  EXPECT_EQ(465u, calls.size());
}

// Each request of a scripted game reaches a copy with its pan and 11,025 Hz.
TEST_F(SoundTest, AScriptedGamePlaysEachRequestWithItsPan) {
  SetDirectSoundCreator(CreateFakeSound);
  InitSound(nullptr);
  static SoundRequests requested;
  requested.clear();
  SetEffectPlayer([](SoundEffect effect, int pan) {
    requested.push_back({effect, pan});
    PlayEffectSound(effect, pan);
  });
  calls.clear();
  testCalendarSeconds = 1234;
  NewGame();
  Click();
  for (int frame = 0; frame < 3000 && game.state == Playing; ++frame) {
    // Under the first live bomb for three catches, then away.
    for (int i = 0; i < game.bombsDropped; ++i) {
      if (game.bombs[i].live) {
        game.mouseX = game.score < 3 ? game.bombs[i].x - 18 : 0;
        break;
      }
    }
    StartPlayingFrame();
    UpdateBomber();
    UpdateBombs();
    CheckBonusBucket();
  }
  ASSERT_EQ(BucketLost, game.state);
  std::vector<SoundRequest> played;
  for (size_t i = 0; i + 2 < calls.size(); ++i) {
    if (calls[i].find(".SetPan") == std::string::npos) continue;
    const std::string buffer = calls[i].substr(0, calls[i].find('.'));
    EXPECT_EQ(buffer + ".SetFrequency11025", calls[i + 1]);
    EXPECT_EQ(buffer + ".Play0", calls[i + 2]);
    int id = std::stoi(buffer.substr(1));
    int effect = 0;
    for (int e = 0, first = 0; e < EffectCount; first += SoundSetOf(static_cast<SoundEffect>(e))->count, ++e) {
      if (id >= first) effect = e;
    }
    played.push_back({static_cast<SoundEffect>(effect), std::stoi(calls[i].substr(calls[i].find("SetPan") + 6))});
  }
  EXPECT_EQ(requested, played);
  int catches = 0, drops = 0;
  for (const SoundRequest& r : requested) {
    catches += r.effect == EffectWater;
    drops += r.effect == EffectDrop;
  }
  EXPECT_GT(catches, 0);
  EXPECT_GT(drops, catches);
  EXPECT_EQ(EffectCoin, requested.front().effect);
}

// The prefix's own DirectSound. Whether it has a device is asked of
// DirectSound itself, and the test run chooses it: GRENTIX_SOUND_DEVICE=none
// with every Wine audio driver turned off, =null on ALSA's null device.
TEST_F(SoundTest, TheRealDirectSoundMakesEveryBufferOrNone) {
  LPDIRECTSOUND probe = nullptr;
  const bool device = DirectSoundCreate(nullptr, &probe, nullptr) == DS_OK && probe;
  if (probe) probe->Release();
  if (const char* chosen = getenv("GRENTIX_SOUND_DEVICE")) {
    ASSERT_EQ(strcmp(chosen, "null") == 0, device) << "GRENTIX_SOUND_DEVICE=" << chosen;
  }

  HWND window = CreateWindowExA(0, "STATIC", "sound", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  InitSound(window);
  if (!device) {
    for (int e = 0; e < EffectCount; ++e) EXPECT_EQ(nullptr, SoundSetOf(static_cast<SoundEffect>(e)));
    // Without sound no player of its own is installed: requests go on to
    // the one that was there (the fixture's recorder).
    PlayEffect(EffectBoom, 0);
    EXPECT_EQ((SoundRequests{{EffectBoom, 0}}), TakeSounds());
  } else {
    // Every copy is a buffer DirectSound answers for.
    int answering = 0;
    for (int e = 0; e < EffectCount; ++e) {
      SoundSet* set = SoundSetOf(static_cast<SoundEffect>(e));
      ASSERT_NE(nullptr, set) << e;
      for (int i = 0; i < set->count; ++i) {
        DWORD status = 0;
        answering += set->buffers[i] && set->buffers[i]->GetStatus(&status) == DS_OK;
      }
    }
    EXPECT_EQ(464, answering);
    for (int e = 0; e < EffectCount; ++e) {
      PlayEffect(static_cast<SoundEffect>(e), SoundPan(100 * e));
      DWORD status = 0;
      SoundSet* set = SoundSetOf(static_cast<SoundEffect>(e));
      set->buffers[set->current]->GetStatus(&status);
      EXPECT_NE(0u, status & DSBSTATUS_PLAYING) << e;
    }
    EXPECT_TRUE(TakeSounds().empty());  // the sound layer's player took them
  }
  ShutdownSound();
  DestroyWindow(window);
}

}  // namespace
