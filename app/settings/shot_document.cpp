#include "app/settings/shot_document.h"

#include "app/app_error.h"
#include "assim/regv.h"

namespace brumel {

namespace {

constexpr const char* kShotMember = "shot";

// The field `name` of the shot member, of the JSON type `is` accepts; nothing
// when absent. Throws AppError naming the file and the field.
const nlohmann::json* field(const nlohmann::json& shot, const char* name, bool (nlohmann::json::*is)() const,
                            const char* what, const std::string& path) {
  const auto it = shot.find(name);
  if (it == shot.end()) return nullptr;
  if (!((*it).*is)()) {
    throw AppError("--load \"" + path + "\": \"" + kShotMember + "\" field \"" + name + "\" is " +
                   it->dump() + ", not " + what);
  }
  return &*it;
}

}  // namespace

void save_shot_document(const std::string& path, const FrameStamp& stamp, const FrameList& frames,
                        ImageSize size) {
  std::string error;
  std::optional<RegV> document = RegV::parse(stamp.settings, error);
  if (!document) throw AppError("--save \"" + path + "\": " + error);
  nlohmann::json& shot = document->doc()[kShotMember];
  shot = {{"shot_start", stamp.shot_start}, {"frames", frames.text()},
          {"preroll", stamp.preroll},       {"element", stamp.element},
          {"output_colorspace", stamp.output_colorspace}, {"size", size_text(size)}};
  if (!stamp.input_colorspace.empty()) shot["input_colorspace"] = stamp.input_colorspace;
  if (!document->write_file(path, error)) throw AppError("--save: " + error);
}

std::optional<StampedImage> read_shot_document(const std::string& path) {
  std::string error;
  const std::optional<RegV> document = RegV::read_file(path, error);
  if (!document) throw AppError("--load: " + error);
  const auto member = document->doc().find(kShotMember);
  if (member == document->doc().end()) return std::nullopt;
  const nlohmann::json& shot = *member;
  if (!shot.is_object()) {
    throw AppError("--load \"" + path + "\": \"" + kShotMember + "\" is not an object");
  }
  using J = nlohmann::json;
  StampedImage image;
  image.settings = document->dump();
  if (const J* v = field(shot, "shot_start", &J::is_number_integer, "a whole number", path)) {
    const long long start = v->get<long long>();
    if (start < -kLargestFrame || start > kLargestFrame) {
      throw AppError("--load \"" + path + "\": the shot start " + v->dump() + " lies beyond " +
                     std::to_string(-kLargestFrame) + ".." + std::to_string(kLargestFrame));
    }
    image.shot_start = static_cast<int>(start);
  }
  if (const J* v = field(shot, "preroll", &J::is_boolean, "true or false", path)) image.preroll = v->get<bool>();
  if (const J* v = field(shot, "element", &J::is_boolean, "true or false", path)) image.element = v->get<bool>();
  if (const J* v = field(shot, "input_colorspace", &J::is_string, "a colour space", path)) {
    image.input_colorspace = v->get<std::string>();
  }
  if (const J* v = field(shot, "output_colorspace", &J::is_string, "a colour space", path)) {
    image.output_colorspace = v->get<std::string>();
  }
  const J* frames = field(shot, "frames", &J::is_string, "a frame list", path);
  const J* size = field(shot, "size", &J::is_string, "a size WxH", path);
  try {  // checked here, so that a mistake names the document
    if (frames != nullptr) parse_frame_list(image.frames = frames->get<std::string>());
    if (size != nullptr) image.size = parse_image_size(size->get<std::string>());
  } catch (const AppError& e) {
    throw AppError("--load \"" + path + "\": " + e.what());
  }
  return image;
}

}  // namespace brumel
