#include "app/colour/colour_spaces.h"

#include <cstdlib>

#include <OpenImageIO/strutil.h>

#include "app/app_error.h"

ColourSpaces::ColourSpaces() {
  const char* file = std::getenv("OCIO");
  file_ = file != nullptr ? file : "";
  config_ = std::make_unique<OIIO::ColorConfig>(file_);
  // Without OCIO the library says it read no file and serves its built-in spaces.
  const std::string error = config_->geterror();
  if (!file_.empty() && (!error.empty() || config_->getNumColorSpaces() == 0)) {
    throw AppError("cannot use the colour configuration \"" + file_ + "\" (from OCIO): " +
                   (error.empty() ? "it has no colour spaces" : error));
  }
}

std::string ColourSpaces::description() const {
  return file_.empty() ? "the built-in colour configuration"
                       : "the colour configuration \"" + file_ + "\"";
}

bool ColourSpaces::known(const std::string& name) const {
  if (same(name, kNodeSpace)) return true;
  return config_->createColorProcessor(name, kNodeSpace) != nullptr &&
         config_->createColorProcessor(kNodeSpace, name) != nullptr;
}

std::string ColourSpaces::resolve(const std::string& name, const std::string& option) const {
  const char* by_role = config_->getColorSpaceNameByRole(name);
  const std::string resolved = by_role != nullptr ? by_role : name;
  if (known(resolved)) return resolved;
  std::string offered;
  for (int i = 0; i < config_->getNumColorSpaces(); ++i) {
    const std::string space = config_->getColorSpaceNameByIndex(i);
    if (!known(space)) continue;
    offered += (offered.empty() ? "" : ", ") + space;
  }
  throw AppError(option + " \"" + name + "\": not a colour space of " + description() +
                 " (it offers " + offered + ")");
}

std::string ColourSpaces::of_plate(const OIIO::ImageSpec& spec, const std::string& given) const {
  if (!given.empty()) return resolve(given, "--input-colorspace");
  const std::string said = spec.get_string_attribute("oiio:ColorSpace");
  if (!said.empty()) {
    const char* by_role = config_->getColorSpaceNameByRole(said);
    const std::string name = by_role != nullptr ? by_role : said;
    if (known(name)) return name;
  }
  if (spec.format.is_floating_point()) {
    const char* linear = config_->getColorSpaceNameByRole("scene_linear");
    return linear != nullptr ? linear : "linear";
  }
  return kNodeSpace;
}

bool ColourSpaces::same(const std::string& a, const std::string& b) const {
  return OIIO::Strutil::iequals(a, b);
}
