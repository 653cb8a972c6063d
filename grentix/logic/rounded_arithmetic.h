// The rules' few results in double precision (the speed scale, the speed
// steps and the sound pans), computed so that every build gets the same
// numbers as SSE arithmetic gives: the scale by integer division, and every
// intermediate of a step or a pan rounded to a double before the next, also
// where the processor computes wider (x87). Wide is the type each of those
// is computed in: the game uses double, whatever the processor keeps in its
// registers; tests use long double, x87's own width, to show that the wider
// steps round to the same results.
#pragma once
#include <cmath>
#include <cstdint>
#include <limits>

template <typename Wide>
double RoundedToDouble(Wide value) {
  // A store to memory is what drops x87's extra bits.
  volatile double stored = static_cast<double>(value);
  return stored;
}

// numerator / denominator (denominator at least 1) rounded to the nearest
// double, ties to even, in integer long division: an x87 division would round
// twice (to 64 bits, then to 53) and miss by one bit at some rates.
inline double QuotientAsDouble(uint32_t numerator, uint32_t denominator) {
  if (numerator == 0) return 0.0;
  uint64_t rest = numerator, divisor = denominator;
  int exponent = 0;
  // Shift until divisor <= rest < 2 * divisor: the quotient is 1.xxx times 2^exponent.
  for (; rest < divisor; --exponent) rest <<= 1;
  for (; rest >= 2 * divisor; ++exponent) divisor <<= 1;
  uint64_t bits = 0;
  for (int i = 0; i < 53; ++i) {
    bits <<= 1;
    if (rest >= divisor) {
      bits |= 1;
      rest -= divisor;
    }
    rest <<= 1;
  }
  // rest is now twice the remainder: above the divisor, past half a unit.
  if (rest > divisor || (rest == divisor && (bits & 1))) bits += 1;
  return std::ldexp(static_cast<double>(bits), exponent - 52);
}

// 75 / maxFps; infinite while no rate has been measured (maxFps 0).
inline double SpeedScaleOf(int maxFps) {
  if (maxFps <= 0) return std::numeric_limits<double>::infinity();
  return QuotientAsDouble(75, static_cast<uint32_t>(maxFps));
}

// perFrameAt75 x speedScale, rounded to the nearest pixel, at least 1. A value
// no int can hold (an infinite scale) counts as below 1.
template <typename Wide>
int ScaledStepOf(int perFrameAt75, double speedScale) {
  double scaled = RoundedToDouble(static_cast<Wide>(perFrameAt75) * static_cast<Wide>(speedScale));
  double step = RoundedToDouble(static_cast<Wide>(scaled) + static_cast<Wide>(0.5));
  if (!(step >= 1.0 && step < 2147483648.0)) return 1;
  return static_cast<int>(step);
}

// x / 640 mapped onto -10000 (full left) .. 10000 (full right), truncated
// toward zero.
template <typename Wide>
int PanOf(int x) {
  double share = RoundedToDouble(static_cast<Wide>(x) * static_cast<Wide>(0.0015625));
  double scaled = RoundedToDouble(static_cast<Wide>(share) * static_cast<Wide>(20000));
  double pan = RoundedToDouble(static_cast<Wide>(scaled) - static_cast<Wide>(10000));
  return static_cast<int>(pan);
}
