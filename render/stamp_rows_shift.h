#pragma once
// Rows of a sub-pixel shifted stamp written into the caller's buffers, vectorised (the
// best instruction set of the machine, chosen at run time): for draws that shift a stamp
// per particle and keep their planes from one particle to the next.
#include <cstdint>

#include "render/puff_stamp.h"

namespace brumel {

// Rows first_row..last_row of shift_stamp(stamp, fx, fy), bit for bit: `density` and
// `shade` each receive last_row - first_row + 1 rows of stamp.width + 2 samples (row
// first_row first). False, writing nothing, when shift_stamp_rows would give no stamp
// for these arguments (a null or empty stamp, or a range outside rows 0..height + 1).
bool shift_stamp_rows_into(const PuffStamp* stamp, float fx, float fy, std::int32_t first_row,
                           std::int32_t last_row, std::int32_t* density, float* shade);

}  // namespace brumel
