#include "app/colour/colour_spaces.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <OpenImageIO/imagebufalgo.h>
#include <OpenImageIO/strutil.h>

#include "app/app_error.h"

namespace brumel {

namespace {

// Lists names for a message: "a, b, c".
std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

ColourSpaces::ColourSpaces(const ColourRequest& request) {
  const char* from_environment = std::getenv("OCIO");
  file_ = !request.config_file.empty() ? request.config_file
                                       : from_environment != nullptr ? from_environment : "";
  const std::string source = request.config_file.empty() ? " (from OCIO)" : " (--colorconfig)";
  // The library would read OCIO by itself for an empty name: a file given must be there.
  std::error_code error_code;
  if (!file_.empty() && !std::filesystem::is_regular_file(file_, error_code)) {
    throw AppError("cannot use the colour configuration \"" + file_ + "\"" + source + ": no such file");
  }
  config_ = std::make_unique<OIIO::ColorConfig>(file_);
  // Without a file the library says it read none and serves its built-in spaces.
  const std::string error = config_->geterror();
  if (!file_.empty() && (!error.empty() || config_->getNumColorSpaces() == 0)) {
    throw AppError("cannot use the colour configuration \"" + file_ + "\"" + source + ": " +
                   (error.empty() ? "it has no colour spaces" : error));
  }
  const char* linear = config_->getColorSpaceNameByRole("scene_linear");
  if (linear == nullptr) throw AppError(description() + " has no scene_linear role");
  scene_linear_ = linear;
  node_space_ = request.node_space.empty() ? find_node_space()
                                           : resolve(request.node_space, "--node-colorspace");
}

std::string ColourSpaces::description() const {
  return file_.empty() ? "the built-in colour configuration"
                       : "the colour configuration \"" + file_ + "\"";
}

bool ColourSpaces::converts(const std::string& space) const {
  // Both ways to scene-linear, where frames are composited, and to the node's space
  // once it is known, where every plate goes: a space the library can take to one
  // and not the other (OpenImageIO's built-in "Rec709" to sRGB) is no use to a shot.
  for (const std::string& other : {scene_linear_, node_space_}) {
    if (other.empty() || same(space, other)) continue;
    const bool both = config_->createColorProcessor(space, other) != nullptr &&
                      config_->createColorProcessor(other, space) != nullptr;
    config_->geterror();  // a space that does not convert is no error of the shot's
    if (!both) return false;
  }
  return true;
}

std::string ColourSpaces::named(const std::string& name) const {
  if (name.empty()) return "";
  const std::vector<std::string> spaces = config_->getColorSpaceNames();
  const auto is = [&](const std::string& other) { return same(other, name); };
  auto found = std::find_if(spaces.begin(), spaces.end(), is);
  if (found == spaces.end()) {
    found = std::find_if(spaces.begin(), spaces.end(), [&](const std::string& space) {
      const std::vector<std::string> aliases = config_->getAliases(space);
      return std::any_of(aliases.begin(), aliases.end(), is);
    });
  }
  std::string space;
  if (found != spaces.end()) {
    space = *found;
  } else if (const char* by_role = config_->getColorSpaceNameByRole(name)) {
    space = by_role;
  }
  return !space.empty() && converts(space) ? space : "";
}

std::string ColourSpaces::resolve(const std::string& name, const std::string& option) const {
  const std::string space = named(name);
  if (!space.empty()) return space;
  std::vector<std::string> offered = config_->getColorSpaceNames();
  std::erase_if(offered, [&](const std::string& s) { return !converts(s); });
  throw AppError(option + " \"" + name + "\": not a colour space of " + description() +
                 " (it offers " + listed(offered) + "; their aliases and roles such as " +
                 "scene_linear are accepted too)");
}

bool ColourSpaces::decodes_as_srgb(const std::string& space) const {
  const OIIO::ColorProcessorHandle decode = config_->createColorProcessor(space, scene_linear_);
  config_->geterror();
  if (!decode) return false;
  for (const float encoded : {0.0f, 0.04f, 0.2f, 0.5f, 0.8f, 1.0f}) {
    float rgb[3] = {encoded, encoded, encoded};
    decode->apply(rgb);
    const float expected = OIIO::sRGB_to_linear(encoded);
    // Loose enough for a white point adapted between the spaces' primaries.
    for (const float value : rgb) {
      if (!(std::fabs(value - expected) <= 2e-3f)) return false;
    }
  }
  return true;
}

std::string ColourSpaces::find_node_space() const {
  for (const char* name : kNodeSpaceNames) {
    const std::string space = named(name);
    if (!space.empty()) return space;
  }
  for (const char* role : kNodeSpaceRoles) {
    const char* space = config_->getColorSpaceNameByRole(role);
    if (space != nullptr && converts(space) && decodes_as_srgb(space)) return space;
  }
  std::vector<std::string> names(std::begin(kNodeSpaceNames), std::end(kNodeSpaceNames));
  std::vector<std::string> roles(std::begin(kNodeSpaceRoles), std::end(kNodeSpaceRoles));
  throw AppError(description() + " has no sRGB space for the node (none named or aliased " +
                 listed(names) + ", and no role of " + listed(roles) +
                 " decodes as sRGB); name the node's space with --node-colorspace SPACE");
}

const std::string& ColourSpaces::of_samples(bool floating_point) const {
  return floating_point ? scene_linear_ : node_space_;
}

std::string ColourSpaces::of_plate(const OIIO::ImageSpec& spec, const std::string& given) const {
  if (!given.empty()) return resolve(given, "--input-colorspace");
  const std::string said = named(spec.get_string_attribute("oiio:ColorSpace"));
  return !said.empty() ? said : of_samples(spec.format.is_floating_point());
}

std::shared_ptr<const std::vector<float>> ColourSpaces::sample_table(const std::string& from,
                                                                   const std::string& to) const {
  const std::string key = from + '\n' + to;
  if (const auto kept = sample_tables_.find(key); kept != sample_tables_.end()) return kept->second;
  std::shared_ptr<const std::vector<float>> table;
  const OIIO::ColorProcessorHandle processor = config_->createColorProcessor(from, to);
  config_->geterror();
  if (processor && !processor->hasChannelCrosstalk()) {
    // Every sample once, in all four channels of a frame of the node's layout, converted
    // by the same call a whole frame is.
    OIIO::ImageBuf all(OIIO::ImageSpec(256, 256, 4, OIIO::TypeDesc::UINT16));
    auto* samples = static_cast<std::uint16_t*>(all.localpixels());
    for (std::size_t i = 0; i < std::size_t{65536} * 4; ++i) samples[i] = static_cast<std::uint16_t>(i / 4);
    const OIIO::ImageBuf out =
        OIIO::ImageBufAlgo::colorconvert(all.copy(OIIO::TypeDesc::FLOAT), from, to, false, "", "", config_.get());
    if (!out.has_error()) {
      const auto* values = static_cast<const float*>(out.localpixels());
      table = std::make_shared<const std::vector<float>>(values, values + std::size_t{65536} * 4);
    }
  }
  sample_tables_.emplace(key, table);
  return table;
}

bool ColourSpaces::same(const std::string& a, const std::string& b) const {
  return OIIO::Strutil::iequals(a, b);
}

}  // namespace brumel
