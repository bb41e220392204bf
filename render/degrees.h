#pragma once

namespace brumel {

// Degrees to radians, in the two values the module uses.

// The simulation's angle controls (gravity angle, cone constraint) are converted with
// this value, a little off pi/180: the particles' motion depends on it bit for bit.
inline constexpr double kDegree = 0.017453292522222223;

// The overlay's arrows, circles and dashes use pi/180 itself: they are drawn in the
// viewer, not into any frame.
inline constexpr double kRadiansPerDegree = 0.017453292519943295;

}  // namespace brumel
