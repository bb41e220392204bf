#pragma once
// The limits a farm job asks Slurm for (--mem, --time), checked here in Slurm's
// own forms so that a mistake is named before anything is written or submitted,
// not found in a log once the job has been queued.
#include <string>

namespace brumel {

// Throws AppError naming --mem and `value` unless it is a memory size above zero
// as sbatch takes it: a whole number with an optional unit K, M, G or T
// (megabytes without one), such as 4G or 500M.
void check_slurm_memory(const std::string& value);

// Throws AppError naming --time and `value` unless it is a time limit above zero
// as sbatch takes it: MINUTES, MINUTES:SECONDS, HOURS:MINUTES:SECONDS, DAYS-HOURS,
// DAYS-HOURS:MINUTES or DAYS-HOURS:MINUTES:SECONDS (the fields after the
// first below 60, hours after days below 24).
void check_slurm_time(const std::string& value);

}  // namespace brumel
