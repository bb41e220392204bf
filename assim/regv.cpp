#include "assim/regv.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string in_quotes(const std::string& text) { return "\"" + text + "\""; }

// nlohmann's messages start with a "[json.exception...] " tag that helps nobody.
std::string plain_message(const char* what) {
  std::string m = what;
  if (!m.empty() && m.front() == '[') {
    auto close = m.find("] ");
    if (close != std::string::npos) m.erase(0, close + 2);
  }
  return m;
}

}  // namespace

bool RegV::check_format(const nlohmann::json& doc, std::string& error) {
  if (!doc.is_object()) {
    error = "the settings document is not a JSON object";
    return false;
  }
  auto format = doc.find("format");
  if (format == doc.end()) {
    error = std::string("the settings document has no \"format\" field (expected \"") + kFormat +
            "\")";
    return false;
  }
  if (!format->is_string() || format->get_ref<const std::string&>() != kFormat) {
    error = "the document's format is " + format->dump() + ", not \"" + kFormat + "\"";
    return false;
  }
  auto version = doc.find("version");
  if (version == doc.end()) {
    error = "the settings document has no \"version\" field";
    return false;
  }
  if (!version->is_number_integer() || version->get<long long>() != kVersion) {
    error = "the settings document has version " + version->dump() +
            "; this host reads version " + std::to_string(kVersion);
    return false;
  }
  return true;
}

std::optional<RegV> RegV::parse(std::string_view text, std::string& error) {
  if (text.size() > kLargestDocument) {
    error = "the settings document is " + std::to_string(text.size()) +
            " bytes, beyond the limit of " + std::to_string(kLargestDocument);
    return std::nullopt;
  }
  struct TooDeep {};
  // Refused while parsing: walking a document nested without end overflows the stack.
  const auto depth_guard = [](int depth, nlohmann::json::parse_event_t, const nlohmann::json&) {
    if (depth > kDeepestNesting) throw TooDeep{};
    return true;
  };
  nlohmann::json doc;
  try {
    doc = nlohmann::json::parse(text.begin(), text.end(), depth_guard);
  } catch (const nlohmann::json::exception& e) {
    error = "malformed JSON: " + plain_message(e.what());
    return std::nullopt;
  } catch (const TooDeep&) {
    error = "the settings document nests deeper than " + std::to_string(kDeepestNesting) + " levels";
    return std::nullopt;
  }
  if (!check_format(doc, error)) return std::nullopt;
  return RegV(std::move(doc));
}

std::optional<RegV> RegV::read_file(const std::string& path, std::string& error) {
  // Only a regular file: a FIFO would block and a device never ends.
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    error = "cannot read " + in_quotes(path) + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (!S_ISREG(status.st_mode)) {
    error = "cannot read " + in_quotes(path) + ": not a regular file";
    return std::nullopt;
  }
  if (static_cast<std::uintmax_t>(status.st_size) > kLargestDocument) {
    error = in_quotes(path) + ": the settings document is " + std::to_string(status.st_size) +
            " bytes, beyond the limit of " + std::to_string(kLargestDocument);
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + in_quotes(path) + ": " + std::strerror(errno);
    return std::nullopt;
  }
  // One byte more than the file had, so that a file that grew since is still refused.
  std::string text(static_cast<std::size_t>(status.st_size) + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) {
    error = "cannot read " + in_quotes(path) + ": read error";
    return std::nullopt;
  }
  text.resize(static_cast<std::size_t>(in.gcount()));
  auto doc = parse(text, error);
  if (!doc) error = in_quotes(path) + ": " + error;
  return doc;
}

bool RegV::write_file(const std::string& path, std::string& error) const {
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    error = "cannot write " + in_quotes(path) + ": " + std::strerror(errno);
    return false;
  }
  (void)::fchmod(fd, 0644);  // mkstemp makes the file private; settings are ordinary files
  const std::string text = dump() + "\n";
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "cannot write " + in_quotes(path) + ": " + std::strerror(n < 0 ? errno : EIO);
      ::close(fd);
      std::remove(temp.c_str());
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    error = "cannot write " + in_quotes(path) + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    error = "cannot write " + in_quotes(path) + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}
