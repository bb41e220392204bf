#pragma once
// Which output files a render writes, so that a rerun is safe: never one of
// the shot's own input files, and with --skip-existing only the frames that
// are not on disk yet (a farm reruns a failed chunk; the frames it skips are
// still simulated, so the others stay those of a whole run).
#include <optional>
#include <string>

#include "app/images/frame_metadata.h"
#include "app/shot/frame_list.h"
#include "app/images/image_sequence.h"
#include "app/shot/shot_setup.h"

namespace brumel {

// Throws AppError when a frame of `frames` or the settings document `save_file`
// (empty: none) would be written over a file the shot reads: an input or matte
// file of the frames shot.shot_start..frames.last() (the same file by another
// name, a link or "./", counts as the same).
void refuse_writing_over_inputs(const ImageSequence& output, const FrameList& frames,
                                const ShotOptions& shot, const std::string& save_file = "");

// The frames of `frames` whose output is not a regular file yet; nothing when
// every one is.
std::optional<FrameList> frames_not_on_disk(const ImageSequence& output, const FrameList& frames);

// What --skip-existing leaves of `frames`: a frame counts as done when its output
// is a regular file whose header records the frame `stamp` describes (the same
// frame, settings and shot options); a file that records other ones is rendered
// again, and one that records none (a format that keeps no brumel attributes) is
// kept, since nothing can be compared.
struct FramesOnDisk {
  std::optional<FrameList> to_write;  // nothing when every frame is done
  struct Stale {
    int frame;
    std::string why;  // stamp_difference's words, or why the header could not be read
  };
  std::vector<Stale> stale;  // frames on disk that are rendered again
  bool unchecked = false;    // some frame was kept without a record to compare
};
FramesOnDisk frames_to_write(const ImageSequence& output, const FrameList& frames,
                             const FrameStamp& stamp);

}  // namespace brumel
