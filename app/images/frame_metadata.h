#pragma once
// The metadata of a written frame: the plate's own, carried through, and what
// `brumel render` records of its shot, so that a frame can be rendered again
// from its header (`brumel render --load frame.exr`).
#include <OpenImageIO/imageio.h>

#include <optional>
#include <string>

#include "app/images/image_size.h"

namespace brumel {

// What brumel records in every frame it writes.
struct FrameStamp {
  int frame = 0;
  int shot_start = 0;
  bool preroll = false;  // "Restart+PreR" was pressed before the shot's first frame
  // The shot's settings document, as --save writes it; empty for an image of no
  // shot, which is stamped with Software alone.
  std::string settings;
  // How the frame was made of the plate: --element, and the colour spaces used
  // (the input's empty without an input).
  bool element = false;
  std::string input_colorspace, output_colorspace;
};

// Attribute names. "brumel:frame", "brumel:shot_start" and "brumel:preroll" are
// integers, written as text where the format keeps text only (PNG).
inline constexpr const char* kSettingsAttribute = "brumel:settings";
inline constexpr const char* kFrameAttribute = "brumel:frame";
inline constexpr const char* kShotStartAttribute = "brumel:shot_start";
inline constexpr const char* kPrerollAttribute = "brumel:preroll";
inline constexpr const char* kElementAttribute = "brumel:element";
inline constexpr const char* kInputSpaceAttribute = "brumel:input_colorspace";
inline constexpr const char* kOutputSpaceAttribute = "brumel:output_colorspace";

// "brumel VERSION", as `brumel --version` prints it.
std::string software_name();

// Adds to `spec` (for a writer of OpenImageIO's format `format_name`) the
// attributes of `from` (the frame's: the plate's metadata) except those that
// describe how the file they were read from was encoded (its compression, bit
// depth, planar layout, its format's own "openexr:", "dpx:", ... tags and
// OpenImageIO's "oiio:" notes other than "oiio:ColorSpace" and "oiio:Gamma"),
// and for TIFF those its writer cannot write through a proxy (Exif, GPS and the
// colour space), then Software and the stamp.
void add_frame_metadata(OIIO::ImageSpec& spec, const OIIO::ImageSpec& from, const FrameStamp& stamp,
                        const std::string& format_name);

// Whether `path` names an image by its extension (one OpenImageIO reads):
// --load reads such a file as an image written by `brumel render`.
bool is_image_name(const std::string& path);

// What an image written by `brumel render` holds of its shot.
struct StampedImage {
  std::string settings;  // the settings document
  std::optional<int> frame, shot_start;
  bool preroll = false;
  bool element = false;
  std::string input_colorspace, output_colorspace;  // empty when not recorded
  // The shot's --size: an image's display window, a saved shot's size (nothing
  // when the document holds none).
  std::optional<ImageSize> size;
  std::string frames;  // a saved shot's --frames (frame list text); empty for an image
};

// Reads the stamp from the header of `path`. Throws AppError naming the file
// when it cannot be read or holds no settings document.
StampedImage read_stamped_image(const std::string& path);

// The stamp of an image file's header; nothing when it records no settings
// document (another program's image, or a format that keeps no brumel
// attributes). Throws AppError naming the file when it cannot be read.
std::optional<StampedImage> read_stamp(const std::string& path);

// Why a frame stamped `on_disk` is not the frame `wanted` describes, in a few
// words naming the first thing that differs ("\"Seed\" is 7 there, 1 here");
// empty when it is that frame.
std::string stamp_difference(const StampedImage& on_disk, const FrameStamp& wanted);

}  // namespace brumel
