#pragma once
// Which output files a render writes, so that a rerun is safe: never one of
// the shot's own input files, and with --skip-existing only the frames that
// are not on disk yet (a farm reruns a failed chunk; the frames it skips are
// still simulated, so the others stay those of a whole run).
#include <optional>
#include <string>

#include "app/shot/frame_list.h"
#include "app/images/image_sequence.h"
#include "app/shot/shot_setup.h"

// Throws AppError when a frame of `frames` or the settings document `save_file`
// (empty: none) would be written over a file the shot reads: an input or matte
// file of the frames shot.shot_start..frames.last() (the same file by another
// name, a link or "./", counts as the same).
void refuse_writing_over_inputs(const ImageSequence& output, const FrameList& frames,
                                const ShotOptions& shot, const std::string& save_file = "");

// The frames of `frames` whose output is not a regular file yet; nothing when
// every one is.
std::optional<FrameList> frames_not_on_disk(const ImageSequence& output, const FrameList& frames);
