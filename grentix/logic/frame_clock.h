// The game's millisecond clock and what is measured with it: the frame
// counter and frame rate that every successful flip updates, and the busy
// wait of the animations. The clock can be replaced, so that tests drive
// time themselves; differences are unsigned 32-bit, so the clock may wrap.
#pragma once
#include <cstdint>

typedef uint32_t (*MillisecondClock)();
// Installs the clock (the platform's millisecond timer, or a test's); null,
// the start value, is the standard library's steady clock.
void SetMillisecondClock(MillisecondClock clock);
uint32_t Milliseconds();

// Spins until at least ms milliseconds have passed since the call; handles
// no messages meanwhile.
void WaitMs(uint32_t ms);

// Last measured frame rate, and the successful flips since start.
extern int fps;
extern uint32_t frameCount;

// Called after every successful flip: counts the frame and, once more than a
// second has passed since the last measurement, measures fps (raising maxFps).
void CountFrame();

// Back to program start: no frames, no measurement, fps 0 (maxFps is left).
void ResetFrameClock();
