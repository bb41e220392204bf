#include "app/images/image_sequence.h"

#include <cstdio>
#include <cstdlib>

#include "app/app_error.h"

namespace brumel {

namespace {

AppError pattern_error(const std::string& pattern, const std::string& why) {
  return AppError("file name \"" + pattern + "\": " + why +
                  " (frame patterns are ####, @@@@ or %04d, one per name)");
}

// Wider padding than a frame number's digits and sign could fill would make every
// frame's name the same once the name is cut to its buffer.
void check_padding(const std::string& pattern, int width) {
  if (width < 1 || width > kWidestPadding) {
    throw pattern_error(pattern, "padding must be 1 to " + std::to_string(kWidestPadding) + " digits");
  }
}

}  // namespace

ImageSequence::ImageSequence(std::string pattern) : pattern_(std::move(pattern)) {
  std::string literal;  // the text before the pattern, then after it
  bool found = false;
  for (std::size_t i = 0; i < pattern_.size();) {
    const char c = pattern_[i];
    if (c == '#' || c == '@') {
      std::size_t end = i;
      while (end < pattern_.size() && pattern_[end] == c) ++end;
      if (found) throw pattern_error(pattern_, "more than one frame pattern");
      found = true;
      width_ = static_cast<int>(end - i);
      check_padding(pattern_, width_);
      prefix_ = literal;
      literal.clear();
      i = end;
    } else if (c == '%') {
      if (i + 1 < pattern_.size() && pattern_[i + 1] == '%') {
        literal += '%';
        i += 2;
        continue;
      }
      std::size_t end = i + 1;
      const bool zero = end < pattern_.size() && pattern_[end] == '0';
      if (zero) ++end;
      std::size_t digits_begin = end;
      while (end < pattern_.size() && pattern_[end] >= '0' && pattern_[end] <= '9') ++end;
      if (end >= pattern_.size() || pattern_[end] != 'd') {
        throw pattern_error(pattern_, "'%' is not followed by a frame pattern");
      }
      if (found) throw pattern_error(pattern_, "more than one frame pattern");
      found = true;
      const std::string digits = pattern_.substr(digits_begin, end - digits_begin);
      // %d pads nothing; %4d would pad with blanks, which no frame name wants.
      width_ = digits.empty() ? 1 : std::atoi(digits.c_str());
      if (!zero && width_ > 1) throw pattern_error(pattern_, "use %0Nd, not %Nd, for padding");
      check_padding(pattern_, width_);
      sign_in_width_ = true;
      prefix_ = literal;
      literal.clear();
      i = end + 1;
    } else {
      literal += c;
      ++i;
    }
  }
  if (found) {
    suffix_ = literal;
  } else {
    prefix_ = literal;  // "%%" read as '%'
  }
}

std::string ImageSequence::frame_path(int frame) const {
  if (!is_sequence()) return prefix_;
  char digits[kWidestPadding + 16];  // the padding, or a sign and ten digits
  // '#' and '@' give the digits their width after the sign; %0Nd counts the sign, as printf.
  const int width = width_ + (frame < 0 && !sign_in_width_ ? 1 : 0);
  std::snprintf(digits, sizeof digits, "%0*d", width, frame);
  return prefix_ + digits + suffix_;
}

}  // namespace brumel
