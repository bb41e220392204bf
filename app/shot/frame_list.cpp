#include "app/shot/frame_list.h"

#include <algorithm>
#include <charconv>

#include "app/app_error.h"

namespace brumel {

namespace {

// Reads an optionally negative integer at `pos`; false when there is none.
bool read_number(const std::string& text, std::size_t& pos, long long& value) {
  const char* begin = text.data() + pos;
  const char* end = text.data() + text.size();
  if (begin == end || (*begin != '-' && (*begin < '0' || *begin > '9'))) return false;
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || value < -kLargestFrame || value > kLargestFrame) return false;
  pos += static_cast<std::size_t>(ptr - begin);
  return true;
}

struct Item {
  long long first, last, step;
};

Item parse_item(const std::string& text, const std::string& item) {
  const AppError bad("bad frame list \"" + text + "\": \"" + item +
                     "\" is not FRAME, FIRST-LAST or FIRST-LASTxSTEP (for example 1001-1100, "
                     "1-100x2, 1,5,10-20)");
  Item parsed{0, 0, 1};
  std::size_t pos = 0;
  if (!read_number(item, pos, parsed.first)) throw bad;
  parsed.last = parsed.first;
  const bool ranged = pos < item.size() && item[pos] == '-';
  if (ranged) {
    ++pos;
    if (!read_number(item, pos, parsed.last)) throw bad;
  }
  if (ranged && pos < item.size() && item[pos] == 'x') {
    ++pos;
    if (!read_number(item, pos, parsed.step)) throw bad;
    if (parsed.step < 1) {
      throw AppError("bad frame list \"" + text + "\": the step of \"" + item +
                     "\" must be 1 or more");
    }
  }
  if (pos != item.size()) throw bad;
  if (parsed.last < parsed.first) {
    throw AppError("bad frame list \"" + text + "\": in \"" + item + "\" the last frame " +
                   std::to_string(parsed.last) + " comes before the first frame " +
                   std::to_string(parsed.first));
  }
  return parsed;
}

}  // namespace

FrameList::FrameList(FrameRange range) {
  frames_.reserve(static_cast<std::size_t>(range.count()));
  for (int frame = range.first; frame <= range.last; ++frame) frames_.push_back(frame);
}

FrameList::FrameList(std::vector<int> frames) : frames_(std::move(frames)) {
  std::sort(frames_.begin(), frames_.end());
  frames_.erase(std::unique(frames_.begin(), frames_.end()), frames_.end());
  if (frames_.empty()) throw AppError("a frame list needs at least one frame");
}

bool FrameList::contains(int frame) const {
  return std::binary_search(frames_.begin(), frames_.end(), frame);
}

std::string FrameList::text() const {
  std::string out;
  for (std::size_t i = 0; i < frames_.size();) {
    std::size_t j = i;
    const long long step = i + 1 < frames_.size() ? 0LL + frames_[i + 1] - frames_[i] : 0;
    while (j + 1 < frames_.size() && 0LL + frames_[j + 1] - frames_[j] == step) ++j;
    // Two frames one apart read best as a range; further apart, as a list.
    const bool run = j - i >= 2 || (j - i == 1 && step == 1);
    if (!out.empty()) out += ',';
    out += std::to_string(frames_[i]);
    if (run) {
      out += "-" + std::to_string(frames_[j]);
      if (step > 1) out += "x" + std::to_string(step);
      i = j + 1;
    } else {
      ++i;
    }
  }
  return out;
}

FrameList parse_frame_list(const std::string& text) {
  std::vector<Item> items;
  long long total = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const Item item = parse_item(text, text.substr(start, comma - start));
    total += (item.last - item.first) / item.step + 1;
    if (total > kMaxListedFrames) {
      throw AppError("bad frame list \"" + text + "\": more than " +
                     std::to_string(kMaxListedFrames) + " frames");
    }
    items.push_back(item);
    if (comma == text.size()) break;
    start = comma + 1;
  }
  std::vector<int> frames;
  frames.reserve(static_cast<std::size_t>(total));
  for (const Item& item : items) {
    for (long long frame = item.first; frame <= item.last; frame += item.step) {
      frames.push_back(static_cast<int>(frame));
    }
  }
  return FrameList(std::move(frames));
}

void check_shot_frames(int shot_start, FrameRange frames) {
  for (const auto& [frame, what] : {std::pair{shot_start, "the shot start"},
                                    {frames.first, "frame"}, {frames.last, "frame"}}) {
    if (frame < -kLargestFrame || frame > kLargestFrame) {
      throw AppError(std::string(what) + " " + std::to_string(frame) + " is beyond the limit: frames are " +
                     std::to_string(-kLargestFrame) + " to " + std::to_string(kLargestFrame));
    }
  }
  const long long played = 0LL + frames.last - std::min(shot_start, frames.first) + 1;
  if (played > kMaxListedFrames) {
    throw AppError("the shot would play " + std::to_string(played) + " frames, from its start " +
                   std::to_string(shot_start) + " to frame " + std::to_string(frames.last) +
                   "; at most " + std::to_string(kMaxListedFrames) +
                   " can be played (give --shot-start nearer the frames)");
  }
}

}  // namespace brumel
