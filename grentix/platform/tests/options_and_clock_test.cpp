// The command line, the mouse position and the frame clock.
#include <gtest/gtest.h>

#include <string>

#include "command_line.h"
#include "frames_fixture.h"

namespace {

using OptionsTest = FramesTest;
using ClockTest = FramesTest;

struct Options {
  int scanlines, showFps, soundOn;
};

Options Parse(const std::string& line) {
  scanlines = 0;
  showFps = 0;
  soundOn = 1;
  ParseCommandLine(line.c_str());
  return {scanlines, showFps, soundOn};
}

bool operator==(const Options& a, const Options& b) {
  return a.scanlines == b.scanlines && a.showFps == b.showFps && a.soundOn == b.soundOn;
}
std::ostream& operator<<(std::ostream& out, const Options& o) {
  return out << "scanlines " << o.scanlines << " fps " << o.showFps << " sound " << o.soundOn;
}

TEST_F(OptionsTest, OnlyExactWordsBetweenSpacesAreOptions) {
  const Options none = {0, 0, 1};
  EXPECT_EQ(none, Parse(""));
  EXPECT_STREQ(" ", textBuffer);
  EXPECT_EQ((Options{1, 1, 1}), Parse("   -fps    -scanlines"));
  EXPECT_STREQ("   -fps    -scanlines ", textBuffer);
  EXPECT_EQ((Options{0, 0, 0}), Parse("-nosound"));
  EXPECT_EQ((Options{1, 1, 0}), Parse("-scanlines -nosound -fps -fps"));
  EXPECT_EQ(none, Parse("-FPS -Scanlines -NOSOUND"));
  EXPECT_EQ(none, Parse("/fps /scanlines /nosound"));
  EXPECT_EQ(none, Parse("-fps-nosound"));
  EXPECT_EQ(none, Parse("-fps\t-nosound"));  // a tab does not separate
  EXPECT_EQ(none, Parse("x-fps -fpsx -fp"));
  EXPECT_EQ((Options{0, 1, 1}), Parse("game.exe -fps"));

  // 254 characters fit; the rest of a longer line is cut off.
  std::string fill(244, 'a');
  EXPECT_EQ((Options{0, 0, 0}), Parse(fill + " -nosound"));  // 253 characters
  EXPECT_EQ(none, Parse(fill + "aaaa -nosound"));            // the option is past the cut
  EXPECT_EQ(255u, std::string(textBuffer).size());
  EXPECT_EQ(' ', textBuffer[254]);
  // A word the cut went through is not an option, even if what is left is one.
  EXPECT_EQ(none, Parse(std::string(250, 'a') + " -fpsx"));
  EXPECT_EQ((Options{0, 1, 1}), Parse(std::string(249, 'a') + " -fps extra words after the cut"));
  // One long word, ending in an option.
  EXPECT_EQ(none, Parse(std::string(296, 'x') + "-fps"));
  EXPECT_EQ(none, Parse(std::string(251, '-') + "-fps"));
  EXPECT_EQ(none, Parse(std::string(1000, ' ') + "-fps"));
  EXPECT_EQ((Options{0, 1, 1}), Parse(std::string(250, ' ') + "-fps"));
  ParseCommandLine(nullptr);
  EXPECT_STREQ(" ", textBuffer);
}

TEST_F(OptionsTest, MouseIsTheUnsignedLowWordUpTo575) {
  EXPECT_EQ(0, MouseXFromLParam(0));
  EXPECT_EQ(320, MouseXFromLParam(320));
  EXPECT_EQ(575, MouseXFromLParam(575));
  EXPECT_EQ(575, MouseXFromLParam(576));
  EXPECT_EQ(575, MouseXFromLParam(639));
  EXPECT_EQ(100, MouseXFromLParam(0x01F40064));  // the high word is y
  EXPECT_EQ(575, MouseXFromLParam(0x0000FFFF));  // -1 as a 16-bit number
  EXPECT_EQ(575, MouseXFromLParam(0xFFFF8000));
}

TEST_F(ClockTest, FrameRateIsMeasuredOverMoreThanASecond) {
  uint32_t now = 0;
  SetMillisecondClock(nullptr);
  static uint32_t* clock;
  clock = &now;
  SetMillisecondClock([]() { return *clock; });
  maxFps = 0;

  // The first measurement runs from time 0.
  now = 900;
  CountFrame();
  EXPECT_EQ(0, fps);
  now = 1001;
  CountFrame();
  EXPECT_EQ(1, fps);  // 2 frames in 1001 ms
  EXPECT_EQ(1, maxFps);
  // 100 frames in the next 1.25 s: 80 fps, measured only past 1000 ms.
  for (int i = 1; i <= 100; ++i) {
    now = 1001 + i * 1250 / 100;
    CountFrame();
    if (i < 81) {
      EXPECT_EQ(1, fps) << i;
    }
  }
  EXPECT_EQ(102u, frameCount);
  EXPECT_EQ(80, fps);
  EXPECT_EQ(80, maxFps);
  // A slower stretch lowers fps but not maxFps: 20 frames in 2238 ms.
  now += 2000;
  CountFrame();
  EXPECT_EQ(8, fps);
  EXPECT_EQ(80, maxFps);

  // Across the clock's wrap the differences stay right.
  ResetFrameClock();
  now = 0xFFFFFF00u;
  CountFrame();
  for (int i = 1; i <= 60; ++i) {
    now = 0xFFFFFF00u + i * 20;  // wraps after the 13th frame
    CountFrame();
  }
  EXPECT_EQ(50, fps);
  EXPECT_EQ(80, maxFps);
}

TEST_F(ClockTest, WaitMsSpinsUntilTheTimeHasPassed) {
  // The test clock moves on by one with each reading.
  testMilliseconds = 0xFFFFFFF0u;
  WaitMs(30);
  EXPECT_EQ(0xFFFFFFF0u + 31, testMilliseconds);  // wrapped: the start and 30 more readings
  uint32_t before = testMilliseconds;
  WaitMs(0);
  EXPECT_EQ(before + 2, testMilliseconds);
  // On the real clock it takes at least as long as asked.
  SetMillisecondClock(nullptr);
  uint32_t start = Milliseconds();
  WaitMs(15);
  EXPECT_GE(Milliseconds() - start, 15u);
}

}  // namespace
