#include "app/shot/output_files.h"

#include <filesystem>
#include <map>

#include "app/app_error.h"

namespace brumel {

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
                                const ShotOptions& shot, const std::string& save_file) {
  std::map<std::string, std::string> written;  // file -> what writes it
  for (const int frame : frames.frames()) {
    written.emplace(same_file_key(output.frame_path(frame)), "output \"" + output.pattern() + "\"");
    if (!output.is_sequence()) break;
  }
  if (!save_file.empty()) written.emplace(same_file_key(save_file), "--save \"" + save_file + "\"");
  for (const auto& [pattern, what] : {std::pair{shot.input, "input"}, {shot.matte, "matte"}}) {
    if (pattern.empty()) continue;
    const ImageSequence files(pattern);
    const int last = files.is_sequence() ? frames.last() : shot.shot_start;
    for (int frame = shot.shot_start; frame <= last; ++frame) {
      const std::string path = files.frame_path(frame);
      const auto writer = written.find(same_file_key(path));
      if (writer != written.end()) {
        throw AppError(writer->second + " would write over the " + what + " file \"" + path +
                       "\"; write to another name or folder");
      }
    }
  }
}

std::optional<FrameList> frames_not_on_disk(const ImageSequence& output, const FrameList& frames) {
  std::vector<int> missing;
  for (const int frame : frames.frames()) {
    std::error_code error;
    // Only a regular file is a frame written before: a folder of that name is not.
    if (!std::filesystem::is_regular_file(output.frame_path(frame), error)) missing.push_back(frame);
  }
  if (missing.empty()) return std::nullopt;
  return FrameList(std::move(missing));
}

FramesOnDisk frames_to_write(const ImageSequence& output, const FrameList& frames,
                             const FrameStamp& stamp) {
  FramesOnDisk result;
  std::vector<int> missing;
  for (const int frame : frames.frames()) {
    const std::string path = output.frame_path(frame);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
      missing.push_back(frame);
      continue;
    }
    FrameStamp wanted = stamp;
    wanted.frame = frame;
    std::string why;
    try {
      const std::optional<StampedImage> on_disk = read_stamp(path);
      if (on_disk) why = stamp_difference(*on_disk, wanted);
      result.unchecked = result.unchecked || !on_disk;
    } catch (const AppError& e) {
      why = e.what();
    }
    if (why.empty()) continue;
    missing.push_back(frame);
    result.stale.push_back({frame, why});
  }
  if (!missing.empty()) result.to_write = FrameList(std::move(missing));
  return result;
}

}  // namespace brumel
