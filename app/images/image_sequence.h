#pragma once
// An image file name that may hold a frame number pattern: a run of '#' or '@'
// (cloud.####.png, cloud.@@@@.png: one digit each) or a printf-style %d / %0Nd
// (cloud.%04d.png).
// A name without a pattern is a single image used for every frame.
#include <string>

namespace brumel {

// The widest padding a frame pattern may ask for (############ or %012d).
inline constexpr int kWidestPadding = 12;

class ImageSequence {
 public:
  // Parses the pattern. Throws AppError when the name holds more than one
  // pattern, padding of more than kWidestPadding digits, or a '%' that is not a
  // frame pattern ("%%" stands for a plain '%').
  explicit ImageSequence(std::string pattern);

  const std::string& pattern() const { return pattern_; }
  bool is_sequence() const { return width_ > 0; }
  // The file of frame `frame`: the number zero-padded to the pattern's width,
  // a negative number's sign before the padding ('#' and '@': -0003 for ####;
  // %0Nd counts the sign as printf does: -003 for %04d); the name itself for a
  // single image.
  std::string frame_path(int frame) const;

 private:
  std::string pattern_;
  std::string prefix_;
  std::string suffix_;
  int width_ = 0;  // digits of padding; 0 = no pattern
  bool sign_in_width_ = false;  // %0Nd: a negative frame's sign takes one of the N places
};

}  // namespace brumel
