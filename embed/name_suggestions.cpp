#include "embed/name_suggestions.h"

#include <algorithm>
#include <cctype>

namespace brumel {

namespace {

std::string lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

int edit_distance(const std::string& a_text, const std::string& b_text) {
  const std::string a = lower(a_text);
  const std::string b = lower(b_text);
  std::vector<int> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const int above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<std::string> closest_names(const std::string& wanted,
                                       const std::vector<std::string>& candidates,
                                       std::size_t limit) {
  struct Scored {
    int distance;
    std::size_t order;
    const std::string* name;
  };
  const std::string wanted_lower = lower(wanted);
  std::vector<Scored> scored;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const std::string& name = candidates[i];
    const bool seen =
        std::any_of(scored.begin(), scored.end(), [&](const Scored& s) { return *s.name == name; });
    if (seen) continue;
    const int distance = edit_distance(wanted, name);
    const int longer = static_cast<int>(std::max(wanted.size(), name.size()));
    const std::string name_lower = lower(name);
    // Containment catches "Mode" for "Mode: %s"; very short texts would match everything.
    const bool contains = wanted_lower.size() >= 3 && name_lower.size() >= 3 &&
                          (name_lower.find(wanted_lower) != std::string::npos ||
                           wanted_lower.find(name_lower) != std::string::npos);
    if (distance <= std::max(2, longer / 3) || contains) scored.push_back({distance, i, &name});
  }
  std::stable_sort(scored.begin(), scored.end(),
                   [](const Scored& x, const Scored& y) { return x.distance < y.distance; });
  std::vector<std::string> out;
  for (std::size_t i = 0; i < scored.size() && i < limit; ++i) out.push_back(*scored[i].name);
  return out;
}

std::string did_you_mean(const std::string& wanted, const std::vector<std::string>& candidates) {
  const std::vector<std::string> names = closest_names(wanted, candidates);
  if (names.empty()) return "";
  std::string text = " (did you mean ";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += ", ";
    text += "\"" + names[i] + "\"";
  }
  return text + "?)";
}

}  // namespace brumel
