#include "app/shot/output_files.h"

#include <filesystem>
#include <set>

#include "app/app_error.h"

namespace {

// One spelling per file: links, "..", "./" and the current folder resolved.
std::string same_file_key(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return path;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
  return (error ? absolute.lexically_normal() : canonical).string();
}

}  // namespace

void refuse_writing_over_inputs(const ImageSequence& output, const FrameList& frames,
                                const ShotOptions& shot) {
  std::set<std::string> outputs;
  for (const int frame : frames.frames()) {
    outputs.insert(same_file_key(output.frame_path(frame)));
    if (!output.is_sequence()) break;
  }
  for (const auto& [pattern, what] : {std::pair{shot.input, "input"}, {shot.matte, "matte"}}) {
    if (pattern.empty()) continue;
    const ImageSequence files(pattern);
    const int last = files.is_sequence() ? frames.last() : shot.shot_start;
    for (int frame = shot.shot_start; frame <= last; ++frame) {
      const std::string path = files.frame_path(frame);
      if (outputs.count(same_file_key(path)) != 0) {
        throw AppError(std::string("output \"") + output.pattern() + "\" would write over the " +
                       what + " file \"" + path + "\"; write the frames to another name or folder");
      }
    }
  }
}

std::optional<FrameList> frames_not_on_disk(const ImageSequence& output, const FrameList& frames) {
  std::vector<int> missing;
  for (const int frame : frames.frames()) {
    std::error_code error;
    if (!std::filesystem::exists(output.frame_path(frame), error)) missing.push_back(frame);
  }
  if (missing.empty()) return std::nullopt;
  return FrameList(std::move(missing));
}
