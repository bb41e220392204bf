#pragma once
// `brumel info`: what the node module offers: its name, type id, description
// and widget table, as text or JSON.
#include <string>

namespace brumel {

struct InfoOptions {
  std::string module_path;  // empty: BrumelKv.node next to the executable
  bool json = false;
  std::string demo;  // --demo: list what this demo preset sets instead of the table
};

// Prints the node's description to standard output. Returns 0; throws
// AppError when the module cannot be loaded.
int run_info(const InfoOptions& options);

}  // namespace brumel
