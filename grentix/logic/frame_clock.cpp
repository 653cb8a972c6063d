#include "frame_clock.h"

#include "game_outside.h"

#include <chrono>

int fps = 0;
uint32_t frameCount = 0;

namespace {

MillisecondClock millisecondClock = nullptr;
uint32_t lastMeasureTime = 0;
uint32_t lastMeasureFrames = 0;

uint32_t SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

void SetMillisecondClock(MillisecondClock clock) { millisecondClock = clock; }

uint32_t Milliseconds() { return millisecondClock ? millisecondClock() : SteadyMilliseconds(); }

void WaitMs(uint32_t ms) {
  uint32_t start = Milliseconds();
  while (Milliseconds() - start < ms) {
  }
}

void CountFrame() {
  frameCount += 1;
  uint32_t now = Milliseconds();
  uint32_t elapsed = now - lastMeasureTime;
  if (elapsed <= 1000) return;
  // The first measurement runs from time 0 and means nothing; later ones
  // are real. 64 bits, so that no frame count can overflow the product.
  fps = static_cast<int>(static_cast<uint64_t>(frameCount - lastMeasureFrames) * 1000u / elapsed);
  lastMeasureTime = now;
  lastMeasureFrames = frameCount;
  if (fps > maxFps) maxFps = fps;
}

void ResetFrameClock() {
  fps = 0;
  frameCount = 0;
  lastMeasureTime = 0;
  lastMeasureFrames = 0;
}
