#pragma once
// Numbers as a person reads and types them, shared by the host's messages.
#include <charconv>
#include <optional>
#include <string>
#include <string_view>

// The shortest text that reads back as exactly `v` ("0.1", "6000", "-0.125").
inline std::string number_text(double v) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

// `text` without leading and trailing blanks.
inline std::string_view trimmed(std::string_view text) {
  const char* blanks = " \t\r\n";
  auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  auto last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// A finite decimal number filling the whole of `text` (blanks around it allowed).
inline std::optional<double> parse_number(std::string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  double v = 0.0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  if (v - v != 0.0) return std::nullopt;  // infinity or NaN
  return v;
}
