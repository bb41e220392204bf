#include "app/commands/progress_events.h"

namespace brumel {

void write_event(std::FILE* out, const nlohmann::ordered_json& event) {
  // Paths are bytes from the command line; invalid UTF-8 is replaced, never thrown on.
  const std::string line = event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::fprintf(out, "%s\n", line.c_str());
  std::fflush(out);
}

void write_error_event(std::FILE* out, const std::string& message) {
  write_event(out, {{"event", "error"}, {"message", message}});
}

}  // namespace brumel
