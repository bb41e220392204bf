#pragma once
// Pictures of the whole window, for scripted sessions and documentation.
#include <string>

namespace brumel {

// Reads the current framebuffer (the window as drawn so far this frame) and
// writes it as 8-bit RGB in the format of `path`'s extension (.png, .ppm,
// .tif, ...), through a temporary file; missing folders are made. Throws
// AppError naming the file.
void write_screenshot(const std::string& path);

}  // namespace brumel
