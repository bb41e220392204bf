#pragma once
// Running another program (a farm manager's client such as sbatch) without a
// shell: the arguments reach it as given, whatever characters they hold.
#include <string>
#include <vector>

namespace brumel {

struct ChildResult {
  int status = -1;  // the exit status; -1 when it could not start or did not exit
  std::string out;  // its standard output; its standard error goes to ours
};

// Runs `args[0]` (looked up in PATH) with `args` and waits for it. Throws
// AppError naming the program when it cannot be started.
ChildResult run_child(const std::vector<std::string>& args);

}  // namespace brumel
