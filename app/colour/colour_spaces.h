#pragma once
// The colour configuration of a shot: OpenColorIO's, through OpenImageIO, from the
// file the OCIO environment variable names, else OpenImageIO's built-in one (linear,
// sRGB). The node works on display-referred values, in kNodeSpace.
#include <memory>
#include <string>

#include <OpenImageIO/color.h>
#include <OpenImageIO/imageio.h>

class ColourSpaces {
 public:
  static constexpr const char* kNodeSpace = "sRGB";

  // Loads the configuration. Throws AppError when OCIO names a file that cannot be used.
  ColourSpaces();

  // The configuration's name for `name` (a colour space or a role such as
  // "scene_linear"). Throws AppError naming `option`, the value and what the
  // configuration offers when no conversion to or from the node's space exists.
  std::string resolve(const std::string& name, const std::string& option) const;

  // The colour space of a plate: `given` when not empty (resolved), else the one its
  // header names when the configuration knows it, else scene-linear for float samples
  // and kNodeSpace for integer ones.
  std::string of_plate(const OIIO::ImageSpec& spec, const std::string& given) const;

  // Whether two resolved names are one space (names differ only in case: "Linear").
  bool same(const std::string& a, const std::string& b) const;
  // Not const: the library caches its processors in it.
  OIIO::ColorConfig& config() const { return *config_; }
  // "the built-in configuration" or "the configuration \"<file>\"", for messages.
  std::string description() const;

 private:
  bool known(const std::string& name) const;
  std::unique_ptr<OIIO::ColorConfig> config_;
  std::string file_;
};
