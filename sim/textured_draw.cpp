// The textured draw of one puff: the stamp is read at places displaced by two gradient
// noises animated by Seethe, so the lookup may reach any row of the shifted stamp.
#include <cstdint>

#include "render/sub_pixel_shift.h"
#include "sim/brumel.h"

void Brumel::draw_textured_puff(const Particle* p, const PuffStamp& base, const PuffPlacement& at,
                                std::int32_t first, std::int32_t last) {
  PuffStamp* shifted = shift_stamp(&base, at.fx, at.fy);
  if (!shifted) return;  // no memory for the copy: this band skips the particle
  splat_stamp_reference(at.ix, at.iy, at.opacity, shifted, first, last, p);
  stamp_free(shifted);
}
