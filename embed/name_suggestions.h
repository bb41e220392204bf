#pragma once
// "Did you mean" for names a person typed: widget names, demo names.
#include <string>
#include <vector>

namespace brumel {

// Levenshtein distance between a and b, ignoring letter case.
int edit_distance(const std::string& a, const std::string& b);

// The candidates closest to `wanted` by edit_distance, closest first (ties in
// the candidates' order, duplicates once), at most `limit` of them, and only
// those close enough to be a plausible typo: within a third of the longer name
// (at least 2 edits), or containing `wanted` / contained in it (3 letters or more).
std::vector<std::string> closest_names(const std::string& wanted,
                                       const std::vector<std::string>& candidates,
                                       std::size_t limit = 3);

// " (did you mean "A", "B"?)" for closest_names, or "" when there are none.
std::string did_you_mean(const std::string& wanted, const std::vector<std::string>& candidates);

}  // namespace brumel
