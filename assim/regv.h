#pragma once
// RegV: a node's saved settings, as a versioned JSON document. The host writes it
// with a project and hands it back to FXNode_load.
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

class RegV {
 public:
  static constexpr int kVersion = 1;
  static constexpr const char* kFormat = "brumel-node-settings";
  // A complete document is about 20 KB and three levels deep; far beyond these it
  // is no settings document, and would cost memory or stack to walk.
  static constexpr std::size_t kLargestDocument = std::size_t{16} << 20;
  static constexpr int kDeepestNesting = 64;

  RegV() = default;
  explicit RegV(nlohmann::json doc) : doc_(std::move(doc)) {}

  // Parses a document; on failure returns nothing and says why in `error`
  // (malformed JSON, larger or deeper than the limits above, wrong format name or version).
  static std::optional<RegV> parse(std::string_view text, std::string& error);
  // True when `doc` is an object naming this format and version; else says why.
  static bool check_format(const nlohmann::json& doc, std::string& error);
  // Reads a regular file (not a FIFO or device); errors name the file.
  static std::optional<RegV> read_file(const std::string& path, std::string& error);
  // Writes to a temporary file beside `path` and renames it, so a failed write
  // never leaves a half-written document. Returns false and says why on failure.
  bool write_file(const std::string& path, std::string& error) const;

  // Doubles are written so that they read back bit for bit.
  std::string dump() const {
    return doc_.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  }
  const nlohmann::json& doc() const { return doc_; }
  nlohmann::json& doc() { return doc_; }

 private:
  nlohmann::json doc_;
};
