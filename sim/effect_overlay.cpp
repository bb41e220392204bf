#include "sim/brumel.h"

// The viewer overlay of the effect: the particle wireframe, the side view and
// the handles. Nothing is drawn until the overlay primitives exist.
void Brumel::draw() {}
