#pragma once
// The metadata of a written frame: the plate's own, carried through, and what
// `brumel render` records of its shot, so that a frame can be rendered again
// from its header (`brumel render --load frame.exr`).
#include <OpenImageIO/imageio.h>

#include <optional>
#include <string>

#include "app/images/image_size.h"

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
  ImageSize size;  // the display window's size: the shot's --size
};

// Reads the stamp from the header of `path`. Throws AppError naming the file
// when it cannot be read or holds no settings document.
StampedImage read_stamped_image(const std::string& path);
