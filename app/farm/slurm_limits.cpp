#include "app/farm/slurm_limits.h"

#include <regex>

#include "app/app_error.h"

namespace brumel {

namespace {

constexpr const char* kTimeForms =
    "MINUTES, MINUTES:SECONDS, HOURS:MINUTES:SECONDS, DAYS-HOURS, DAYS-HOURS:MINUTES or "
    "DAYS-HOURS:MINUTES:SECONDS";

// True when `text` (digits only) holds a digit other than 0.
bool above_zero(const std::string& text) { return text.find_first_of("123456789") != std::string::npos; }

// A field after the first: at most two digits, below `limit`.
bool within(const std::ssub_match& field, int limit) {
  return !field.matched || (field.length() <= 2 && std::stoi(field.str()) < limit);
}

}  // namespace

void check_slurm_memory(const std::string& value) {
  static const std::regex form("([0-9]{1,9})[KMGTkmgt]?");
  std::smatch m;
  if (!std::regex_match(value, m, form) || !above_zero(m[1].str())) {
    throw AppError("--mem \"" + value + "\": expected the memory of a chunk as sbatch takes it, "
                   "a whole number above 0 with an optional unit K, M, G or T (4G, 500M)");
  }
}

void check_slurm_time(const std::string& value) {
  // Days and hours, or one to three colon fields: every field a number.
  static const std::regex with_days("([0-9]{1,5})-([0-9]{1,2})(?::([0-9]{1,2}))?(?::([0-9]{1,2}))?");
  static const std::regex without_days("([0-9]{1,7})(?::([0-9]{1,2}))?(?::([0-9]{1,2}))?");
  std::smatch m;
  bool valid = false;
  if (std::regex_match(value, m, with_days)) {
    valid = within(m[2], 24) && within(m[3], 60) && within(m[4], 60);
  } else if (std::regex_match(value, m, without_days)) {
    valid = within(m[2], 60) && within(m[3], 60);
  }
  if (!valid || !above_zero(value)) {
    throw AppError("--time \"" + value + "\": expected the time limit of a chunk as sbatch takes "
                   "it, above 0: " + kTimeForms + " (2:00:00 for two hours)");
  }
}

}  // namespace brumel
