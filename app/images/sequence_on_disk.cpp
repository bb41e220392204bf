#include "app/images/sequence_on_disk.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace brumel {

std::vector<int> frames_on_disk(const ImageSequence& sequence) {
  if (!sequence.is_sequence()) return {};
  // The text around the number is what two frames far apart have in common.
  const std::string a = sequence.frame_path(0);
  const std::string b = sequence.frame_path(123456789);
  std::size_t head = 0;
  while (head < a.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
  const std::string prefix = a.substr(0, head);
  const std::string suffix = a.substr(a.size() - tail);
  if (suffix.find('/') != std::string::npos) return {};  // the number names a folder
  const std::size_t slash = prefix.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : prefix.substr(0, slash + 1);
  const std::string start = prefix.substr(folder.size());

  std::vector<int> frames;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, error), end;
       !error && it != end; it.increment(error)) {
    const std::string file = it->path().filename().string();
    if (file.size() <= start.size() + suffix.size() || file.compare(0, start.size(), start) != 0 ||
        file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    const char* begin = file.data() + start.size();
    const char* stop = file.data() + file.size() - suffix.size();
    int frame = 0;
    auto [ptr, ec] = std::from_chars(begin, stop, frame);
    // Only the pattern's own spelling of the number: "f.0007.png" for ####, not "f.7.png".
    if (ec != std::errc() || ptr != stop || sequence.frame_path(frame) != folder + file) continue;
    frames.push_back(frame);
  }
  std::sort(frames.begin(), frames.end());
  return frames;
}

std::optional<int> first_frame_on_disk(const ImageSequence& sequence) {
  const std::vector<int> frames = frames_on_disk(sequence);
  if (frames.empty()) return std::nullopt;
  return frames.front();
}

}  // namespace brumel
