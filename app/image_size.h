#pragma once
// An image size as given on the command line ("1280x720").
#include <string>

struct ImageSize {
  int width = 1280;
  int height = 720;
  bool operator==(const ImageSize&) const = default;
};

// Parses "WxH" with W and H from 1 to 16384. Throws AppError naming the text.
ImageSize parse_image_size(const std::string& text);
