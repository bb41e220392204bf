#pragma once
// The colour configuration of a shot: OpenColorIO's, through OpenImageIO, from the
// file --colorconfig or the OCIO environment variable names, else OpenImageIO's
// built-in one (linear, sRGB). Spaces are named as the configuration names them, by
// their names, aliases or roles (any case). The node works on display-referred values,
// in node_space().
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <OpenImageIO/color.h>
#include <OpenImageIO/imageio.h>

namespace brumel {

// Where the node's space is looked for, in this order: a space named or aliased so (any
// case), else the space of such a role when its greys decode as the sRGB curve does.
inline constexpr const char* kNodeSpaceNames[] = {
    "sRGB", "sRGB - Texture", "srgb_tx", "Utility - sRGB - Texture", "sRGB Encoded Rec.709 (sRGB)",
    "srgb_texture"};
inline constexpr const char* kNodeSpaceRoles[] = {"matte_paint", "color_picking", "texture_paint"};

// How the command line chooses the configuration and the node's space.
struct ColourRequest {
  std::string config_file;  // --colorconfig; empty: the file OCIO names, else the built-in one
  std::string node_space;   // --node-colorspace; empty: found in the configuration
};

class ColourSpaces {
 public:
  // Loads the configuration and finds its scene-linear space and the node's. Throws
  // AppError when the file cannot be used, it has no scene_linear role, or no space
  // is the node's (the message names --node-colorspace).
  explicit ColourSpaces(const ColourRequest& request = {});

  // The space the node works in (sRGB-encoded Rec.709): --node-colorspace, else the first
  // of kNodeSpaceNames that names or aliases a space, else the space of the first of
  // kNodeSpaceRoles whose greys decode as the sRGB curve does into scene_linear(). The
  // configuration's scene_linear role.
  const std::string& node_space() const { return node_space_; }
  const std::string& scene_linear() const { return scene_linear_; }

  // The configuration's name for `name` (a space's name, an alias or a role, any case).
  // Throws AppError naming `option`, the value and the spaces the configuration offers
  // when it names no space that converts to and from scene-linear and the node's space.
  std::string resolve(const std::string& name, const std::string& option) const;

  // The space of a file by its samples alone, as for input so for output: scene_linear()
  // for float ones, node_space() for 8- and 16-bit ones.
  const std::string& of_samples(bool floating_point) const;

  // The colour space of a plate: `given` when not empty (resolved), else the one its
  // header names when the configuration knows it, else of_samples.
  std::string of_plate(const OIIO::ImageSpec& spec, const std::string& given) const;

  // Whether two resolved names are one space (names differ only in case: "Linear").
  bool same(const std::string& a, const std::string& b) const;
  // The conversion from `from` to `to` of every 16-bit sample: entry v * 4 + c is
  // channel c of converting (not unpremultiplying) a float frame whose channel c holds
  // v / 65535 as OpenImageIO converts 16-bit samples to float, that is the very value
  // the conversion of a whole frame gives there. Null when the conversion mixes
  // channels (no table can hold it). Made at the first call for a pair and kept; call
  // from one thread.
  std::shared_ptr<const std::vector<float>> sample_table(const std::string& from,
                                                         const std::string& to) const;

  // Not const: the library caches its processors in it.
  OIIO::ColorConfig& config() const { return *config_; }
  // "the built-in colour configuration" or "the colour configuration \"<file>\"", for messages.
  std::string description() const;

 private:
  // The configuration's name for a name, alias or role; empty when none converts.
  std::string named(const std::string& name) const;
  bool converts(const std::string& space) const;
  std::string find_node_space() const;
  bool decodes_as_srgb(const std::string& space) const;

  std::unique_ptr<OIIO::ColorConfig> config_;
  std::string file_;
  std::string scene_linear_;
  std::string node_space_;
  mutable std::map<std::string, std::shared_ptr<const std::vector<float>>> sample_tables_;
};

}  // namespace brumel
