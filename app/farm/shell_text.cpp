#include "app/farm/shell_text.h"

#include <algorithm>
#include <cstdio>

#include "app/app_error.h"

namespace brumel {

namespace {

bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// `value` on one line: control characters as C escapes, the rest as given.
std::string visible(const std::string& value) {
  std::string text;
  for (const char c : value) {
    if (c == '\n') {
      text += "\\n";
    } else if (c == '\t') {
      text += "\\t";
    } else if (is_control(c)) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(c));
      text += escape;
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace

std::string shell_word(const std::string& text) {
  const bool plain = !text.empty() && text.find_first_not_of(
                                          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                          "0123456789_-+=./:,@%") == std::string::npos;
  if (plain) return text;
  std::string word = "'";
  for (const char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

std::string shell_line(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) line += (line.empty() ? "" : " ") + shell_word(word);
  return line;
}

void refuse_control_characters(const std::string& option, const std::string& value) {
  if (std::none_of(value.begin(), value.end(), is_control)) return;
  throw AppError(option + " \"" + visible(value) +
                 "\": a farm cannot pass a newline or other control character safely to the "
                 "shell and the farm manager that run each chunk; rename it");
}

}  // namespace brumel
