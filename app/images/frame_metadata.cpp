#include "app/images/frame_metadata.h"

#include <nlohmann/json.hpp>
#include <OpenImageIO/strutil.h>

#include <charconv>
#include <filesystem>
#include <set>

#include "app/app_error.h"
#include "app/images/image_io.h"

namespace brumel {

namespace {

// OpenImageIO's "format:ext,ext;format:ext" list as {format} or {ext}.
std::set<std::string> from_library_list(const char* attribute, bool extensions) {
  std::set<std::string> names;
  const std::string list = OIIO::get_string_attribute(attribute);
  for (const auto& entry : OIIO::Strutil::splitsv(list, ";")) {
    const std::size_t colon = entry.find(':');
    if (!extensions) {
      for (const auto& name : OIIO::Strutil::splitsv(entry.substr(0, colon), ",")) {
        names.insert(OIIO::Strutil::lower(name));
      }
    } else if (colon != std::string::npos) {
      for (const auto& ext : OIIO::Strutil::splitsv(entry.substr(colon + 1), ",")) {
        names.insert(OIIO::Strutil::lower(ext));
      }
    }
  }
  return names;
}

// Attributes that say how the plate's file was encoded, not what it shows: a
// writer would take them as instructions (a 10-bit DPX plate's bit depth, a
// JPEG plate's chroma subsampling) or refuse them, so they are never carried.
bool describes_encoding(const std::string& name) {
  static const std::set<std::string> names{"compression", "compressionquality", "planarconfig",
                                           "textureformat", "wrapmodes"};
  static const std::set<std::string> formats = from_library_list("format_list", false);
  const std::string lower = OIIO::Strutil::lower(name);
  if (names.count(lower) != 0) return true;
  const std::size_t colon = lower.find(':');
  if (colon == std::string::npos) return false;
  const std::string space = lower.substr(0, colon);
  // "ICCProfile:..." are read out of the profile, which itself is carried.
  if (space == "iccprofile") return true;
  if (space == "oiio") return lower != "oiio:colorspace" && lower != "oiio:gamma";
  return formats.count(space) != 0;
}

std::optional<int> int_attribute(const OIIO::ImageSpec& spec, const char* name) {
  const OIIO::ParamValue* p = spec.find_attribute(name);
  if (p == nullptr) return std::nullopt;
  if (p->type() == OIIO::TypeInt) return p->get_int();
  if (p->type() != OIIO::TypeString) return std::nullopt;
  const std::string text = p->get_string();
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string software_name() { return "brumel " BRUMEL_VERSION; }

void add_frame_metadata(OIIO::ImageSpec& spec, const OIIO::ImageSpec& from, const FrameStamp& stamp,
                        const std::string& format_name) {
  // The TIFF writer puts these in an Exif directory, which it links wrongly when it
  // writes through a proxy (the file then has no readable first directory).
  const bool tiff = format_name == "tiff";
  for (const OIIO::ParamValue& p : from.extra_attribs) {
    const std::string name = p.name().string();
    if (describes_encoding(name)) continue;
    if (tiff && (OIIO::Strutil::iequals(name, "oiio:ColorSpace") ||
                 OIIO::Strutil::istarts_with(name, "Exif:") ||
                 OIIO::Strutil::istarts_with(name, "GPS:"))) {
      continue;
    }
    spec.attribute(p.name(), p.type(), p.data());
  }
  spec.attribute("Software", software_name());
  if (stamp.settings.empty()) return;
  // PNG keeps text chunks only.
  const bool text_only = format_name == "png";
  for (const auto& [name, value] : {std::pair{kFrameAttribute, stamp.frame},
                                    std::pair{kShotStartAttribute, stamp.shot_start},
                                    std::pair{kPrerollAttribute, stamp.preroll ? 1 : 0},
                                    std::pair{kElementAttribute, stamp.element ? 1 : 0}}) {
    if (text_only) {
      spec.attribute(name, std::to_string(value));
    } else {
      spec.attribute(name, value);
    }
  }
  if (!stamp.input_colorspace.empty()) spec.attribute(kInputSpaceAttribute, stamp.input_colorspace);
  spec.attribute(kOutputSpaceAttribute, stamp.output_colorspace);
  spec.attribute(kSettingsAttribute, stamp.settings);
}

bool is_image_name(const std::string& path) {
  static const std::set<std::string> extensions = from_library_list("extension_list", true);
  const std::string extension = std::filesystem::path(path).extension().string();
  return !extension.empty() && extensions.count(OIIO::Strutil::lower(extension.substr(1))) != 0;
}

std::optional<StampedImage> read_stamp(const std::string& path) {
  const OIIO::ImageSpec spec = read_image_spec(path);
  const OIIO::ParamValue* settings = spec.find_attribute(kSettingsAttribute, OIIO::TypeString);
  if (settings == nullptr) return std::nullopt;
  StampedImage image;
  image.settings = settings->get_string();
  image.frame = int_attribute(spec, kFrameAttribute);
  image.shot_start = int_attribute(spec, kShotStartAttribute);
  image.preroll = int_attribute(spec, kPrerollAttribute).value_or(0) != 0;
  image.element = int_attribute(spec, kElementAttribute).value_or(0) != 0;
  image.input_colorspace = spec.get_string_attribute(kInputSpaceAttribute);
  image.output_colorspace = spec.get_string_attribute(kOutputSpaceAttribute);
  image.size = ImageSize{spec.full_width, spec.full_height};
  return image;
}

StampedImage read_stamped_image(const std::string& path) {
  std::optional<StampedImage> image;
  try {
    image = read_stamp(path);
  } catch (const AppError& e) {
    throw AppError(std::string("--load: ") + e.what());
  }
  if (!image) {
    throw AppError("--load: image \"" + path + "\" holds no brumel settings (no \"" +
                   kSettingsAttribute + "\" attribute): give an image written by brumel render "
                   "as .exr or .png, the formats that keep them, or a settings document");
  }
  return *image;
}

namespace {

// The first widget whose saved entry differs between two settings documents, as
// "\"NAME\" is THERE there, HERE here"; a general line when they cannot be compared.
std::string settings_difference(const std::string& there, const std::string& here) {
  const auto a = nlohmann::json::parse(there, nullptr, false);
  const auto b = nlohmann::json::parse(here, nullptr, false);
  const auto widgets = [](const nlohmann::json& doc) {
    return doc.is_object() ? doc.value("widgets", nlohmann::json::array()) : nlohmann::json::array();
  };
  const nlohmann::json wa = widgets(a), wb = widgets(b);
  for (std::size_t i = 0; wa.is_array() && wb.is_array() && i < wa.size() && i < wb.size(); ++i) {
    if (wa[i] == wb[i] || !wa[i].is_object() || !wb[i].is_object()) continue;
    const auto shown = [](const nlohmann::json& entry) {
      const auto keys = entry.find("keys");
      return entry.value("value", nlohmann::json()).dump() +
             (keys != entry.end() && !keys->empty() ? " with keys " + keys->dump() : "");
    };
    return "\"" + wb[i].value("name", std::string("#") + std::to_string(i)) + "\" is " +
           shown(wa[i]) + " there, " + shown(wb[i]) + " here";
  }
  return "its settings document differs";
}

std::string shown_space(const std::string& space) { return space.empty() ? "none" : space; }

}  // namespace

std::string stamp_difference(const StampedImage& on_disk, const FrameStamp& wanted) {
  if (on_disk.frame != wanted.frame) {
    return "it records frame " + (on_disk.frame ? std::to_string(*on_disk.frame) : "none");
  }
  if (on_disk.shot_start != wanted.shot_start) {
    return "its shot starts at " + (on_disk.shot_start ? std::to_string(*on_disk.shot_start) : "none") +
           ", here at " + std::to_string(wanted.shot_start);
  }
  const auto on_off = [](bool b) { return b ? "on" : "off"; };
  if (on_disk.preroll != wanted.preroll) {
    return std::string("its pre-roll is ") + on_off(on_disk.preroll) + ", here " + on_off(wanted.preroll);
  }
  if (on_disk.element != wanted.element) {
    return on_disk.element ? "it is the element, here the composite" : "it is the composite, here the element";
  }
  if (on_disk.input_colorspace != wanted.input_colorspace ||
      on_disk.output_colorspace != wanted.output_colorspace) {
    return "its colour spaces are " + shown_space(on_disk.input_colorspace) + " to " +
           shown_space(on_disk.output_colorspace) + ", here " + shown_space(wanted.input_colorspace) +
           " to " + shown_space(wanted.output_colorspace);
  }
  if (on_disk.settings != wanted.settings) return settings_difference(on_disk.settings, wanted.settings);
  return "";
}

}  // namespace brumel
