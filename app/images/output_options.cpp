#include "app/images/output_options.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "app/app_error.h"

namespace brumel {

namespace {

// What OpenImageIO 2.4's writers keep as asked. Each leaves out what its writer
// would quietly turn into something else: EXR writes 8- and 16-bit integers as
// half, PNG writes half and float as 8-bit, TIFF writes half as float, JPEG
// writes everything as 8-bit, HDR everything as float, and EXR and TIFF write an
// unknown compression as zip.
struct FormatChoices {
  const char* format;       // OpenImageIO's name of the format
  const char* datatype;     // written without --datatype
  std::vector<std::string> datatypes;
  std::vector<std::string> compressions;  // empty: nothing to choose
  bool quality = false;                   // takes --quality
  // Compressions that also take a zlib level, "zip:1" (fastest) to "zip:9" (smallest).
  std::vector<std::string> leveled = {};
};

constexpr int kFastestLevel = 1, kSmallestLevel = 9;

const std::vector<FormatChoices>& formats() {
  static const std::vector<FormatChoices> table{
      {"openexr", "half", {"half", "float"},
       {"none", "rle", "zip", "zips", "piz", "pxr24", "b44", "b44a", "dwaa", "dwab"},
       false,
       {"zip", "zips"}},
      {"tiff", "uint16", {"uint8", "uint16", "float"}, {"none", "lzw", "zip", "packbits"}},
      {"png", "uint16", {"uint8", "uint16"}, {"zip"}, false, {"zip"}},
      {"dpx", "uint16", {"uint8", "uint16", "float"}, {}},
      {"jpeg", "uint8", {"uint8"}, {}, true},
      {"hdr", "float", {}, {}},
  };
  return table;
}

// Any other format is written from 16-bit samples as its writer converts them.
const FormatChoices kOtherFormat{"", "uint16", {}, {}};

const FormatChoices& choices_for(const std::string& format_name) {
  for (const FormatChoices& f : formats()) {
    if (format_name == f.format) return f;
  }
  return kOtherFormat;
}

bool offers(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

std::string listed(const std::vector<std::string>& list) {
  std::string text;
  for (const std::string& item : list) text += (text.empty() ? "" : ", ") + item;
  return text;
}

// The name of "NAME:LEVEL" and its level; level 0 when there is none, -1 when what
// follows the colon is no level the format's NAME takes.
std::pair<std::string, int> split_level(const FormatChoices& format, const std::string& value) {
  const std::size_t colon = value.find(':');
  if (colon == std::string::npos) return {value, 0};
  const std::string name = value.substr(0, colon);
  const std::string digits = value.substr(colon + 1);
  const bool level = digits.size() == 1 && digits[0] >= '0' + kFastestLevel &&
                     digits[0] <= '0' + kSmallestLevel && offers(format.leveled, name);
  return {name, level ? digits[0] - '0' : -1};
}

// " (zip and zips also take a level: zip:1, fastest, to zip:9, smallest)"
std::string levels_offered(const FormatChoices& format) {
  if (format.leveled.empty()) return "";
  std::string names;
  for (std::size_t i = 0; i < format.leveled.size(); ++i) {
    names += (i == 0 ? "" : i + 1 == format.leveled.size() ? " and " : ", ") + format.leveled[i];
  }
  const std::string& first = format.leveled.front();
  return " (" + names + (format.leveled.size() == 1 ? " also takes" : " also take") + " a level: " +
         first + ":" + std::to_string(kFastestLevel) + ", fastest, to " + first + ":" +
         std::to_string(kSmallestLevel) + ", smallest)";
}

}  // namespace

void check_output_options(const OutputOptions& options, const std::string& path) {
  if (options.datatype.empty() && options.compression.empty() && options.quality == 0) return;
  const auto output = OIIO::ImageOutput::create(path);
  if (!output) return;  // prepare_output names the unknown format
  const FormatChoices& format = choices_for(output->format_name());
  const std::string the_output =
      "the " + std::filesystem::path(path).extension().string() + " output";
  if (!options.datatype.empty() && !offers(format.datatypes, options.datatype)) {
    throw AppError("--datatype " + options.datatype + ": " + the_output +
                   (format.datatypes.empty() ? " offers no choice of data type"
                                             : " offers " + listed(format.datatypes)));
  }
  if (!options.compression.empty()) {
    if (format.compressions.empty()) {
      throw AppError("--compression " + options.compression + ": " + the_output +
                     " offers no choice of compression" +
                     (format.quality ? " (its --quality sets how much)" : ""));
    }
    // B44 packs half samples only: float ones are stored as they are.
    std::vector<std::string> offered = format.compressions;
    if (options.datatype == "float") {
      std::erase_if(offered, [](const std::string& c) { return c.rfind("b44", 0) == 0; });
    }
    const auto [name, level] = split_level(format, options.compression);
    if (level < 0 || !offers(offered, name)) {
      const bool narrowed = offered.size() < format.compressions.size();
      throw AppError("--compression " + options.compression + ": " +
                     (narrowed ? "with --datatype float " : "") + the_output + " offers " +
                     listed(offered) + (narrowed ? " (b44 and b44a pack half samples only)" : "") +
                     levels_offered(format));
    }
  }
  if (options.quality != 0 && !format.quality) {
    throw AppError("--quality " + std::to_string(options.quality) + ": " + the_output +
                   " has no quality to set; only JPEG (.jpg) does");
  }
}

OutputEncoding output_encoding(const OutputOptions& options, const std::string& format_name) {
  const FormatChoices& format = choices_for(format_name);
  OutputEncoding encoding;
  encoding.type = OIIO::TypeDesc(options.datatype.empty() ? format.datatype : options.datatype);
  encoding.compression = options.compression;
  if (options.quality != 0) encoding.compression = "jpeg:" + std::to_string(options.quality);
  // The PNG writer takes its zlib level on its own; "zip" is what it always does.
  if (format_name == "png" && !options.compression.empty()) {
    const int level = split_level(format, options.compression).second;
    if (level > 0) encoding.png_level = level;
    encoding.compression.clear();
  }
  return encoding;
}

bool writes_float_samples(const OutputOptions& options, const std::string& path) {
  const auto output = OIIO::ImageOutput::create(path);
  if (!output) return false;  // prepare_output names the unknown format
  return output_encoding(options, output->format_name()).type.is_floating_point();
}

}  // namespace brumel
