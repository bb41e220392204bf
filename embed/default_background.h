#pragma once
// The plate used when no input is given: a dusk sky, so that a render works on
// a fresh machine with nothing else at hand.
#include "embed/host_image.h"

namespace brumel {

// A dusk sky of width x height: deep blue at the top through violet to an
// orange glow at the horizon (four fifths down), a dark ground below; opaque.
// The same size always gives the same samples.
HostImage default_background(int width, int height);

}  // namespace brumel
