#pragma once
// PNG's row filters: the one libpng's writer picks when it may pick any, and the filtered
// row, in vector code (the best instruction set of the machine, chosen at run time) or by
// the plain rule beside it.
#include <cstddef>
#include <cstdint>

namespace brumel {

// PNG's row filters, numbered as the file numbers them.
enum class PngRowFilter : int { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// The filter with the least sum of residual magnitudes (a residual byte r counts
// min(r, 256 - r)), the lowest-numbered on ties: libpng's writer's heuristic. `row` and
// `above` hold `bytes` unfiltered bytes of a row and of the row above it (zeros above the
// first row); `pixel_bytes` (1 to 8) is the distance to the left neighbour.
PngRowFilter choose_png_row_filter(const std::uint8_t* row, const std::uint8_t* above,
                                   std::size_t bytes, std::size_t pixel_bytes);

// The same choice, a byte at a time: the reference of the vector code.
PngRowFilter choose_png_row_filter_reference(const std::uint8_t* row, const std::uint8_t* above,
                                             std::size_t bytes, std::size_t pixel_bytes);

// Writes the row filtered by `filter` into `filtered` (`bytes` bytes, the filter's own byte
// not included): each byte less its prediction from the left, above and upper-left bytes,
// modulo 256. Arguments as for choose_png_row_filter.
void filter_png_row(PngRowFilter filter, const std::uint8_t* row, const std::uint8_t* above,
                    std::size_t bytes, std::size_t pixel_bytes, std::uint8_t* filtered);

// The same row, a byte at a time.
void filter_png_row_reference(PngRowFilter filter, const std::uint8_t* row, const std::uint8_t* above,
                              std::size_t bytes, std::size_t pixel_bytes, std::uint8_t* filtered);

}  // namespace brumel
