// The settings document loader as --load runs it: any bytes as a document,
// loaded into a node; it is taken whole, within every range, or refused with
// the node unchanged.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_error.h"
#include "app/embedding.h"
#include "fuzz/fuzz_node.h"

using namespace brumel;  // the harness drives the application's own functions

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/brumel_settings_fuzz_" + std::to_string(getpid()) + ".json";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  FuzzNode node, fresh;
  SettingsRequest request;
  request.load_file = path;
  RegV before;
  node.reg_save(before);
  try {
    apply_settings(node, request, 1.0, &fresh);
  } catch (const AppError&) {
    RegV after;
    node.reg_save(after);
    if (after.dump() != before.dump()) std::abort();  // a refusal changed the node
    return 0;
  }
  const double q = node.quantity->value;
  if (!(q >= 0.0 && q <= 5000.0)) std::abort();  // an out-of-range value got through
  return 0;
}
