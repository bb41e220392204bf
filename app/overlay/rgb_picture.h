#pragma once
// An 8-bit RGB picture, as read back from a drawing context: what the viewer
// shows, without alpha.
#include <cstdint>
#include <string>
#include <vector>

namespace brumel {

struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> samples;  // width * height * 3, rows top first
};

// Writes the picture in the format of `path`'s extension, 8 bits a sample where
// the format has them (PNG, TIFF, PPM; EXR holds half floats), under a
// temporary name in the same folder, then renamed. Throws AppError naming the
// file. Call prepare_output first to check the name and folder.
void write_rgb_picture(const RgbPicture& picture, const std::string& path);

}  // namespace brumel
