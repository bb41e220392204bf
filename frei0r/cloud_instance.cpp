#include "frei0r/cloud_instance.h"

#include <dlfcn.h>
#include "frei0r/frei0r_api.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "embed/catch_up_reads.h"
#include "embed/default_background.h"
#include "embed/error.h"
#include "embed/settings.h"
#include "frei0r/host_quirks.h"
#include "frei0r/rgba8.h"

namespace brumel {

namespace {

// The folder of the plugin's own file: the module is found from it, wherever the
// install prefix was moved.
std::string plugin_folder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&plugin_folder), &info) == 0 || info.dli_fname == nullptr) {
    return ".";
  }
  return std::filesystem::path(info.dli_fname).parent_path().string();
}

}  // namespace

const PluginModule* plugin_module(std::string* error) {
  static std::string failure;
  static const PluginModule* loaded = [] () -> const PluginModule* {
    try {
      NodeModule module(NodeModule::beside(plugin_folder()));
      NodePtr node = module.create();
      SettingsRequest render_mode;
      render_mode.default_mode = "render";
      apply_settings(*node, render_mode, 1.0);
      std::vector<Parameter> parameters = plugin_parameters(*node);
      node.reset();
      return new PluginModule{std::move(module), std::move(parameters)};
    } catch (const Error& e) {
      failure = e.what();
      return nullptr;
    }
  }();
  if (loaded == nullptr && error != nullptr) *error = failure;
  return loaded;
}

CloudInstance::CloudInstance(PluginShape shape, int width, int height)
    : shape_(shape), width_(width), height_(height), clock_(width, height) {
  if (const PluginModule* m = plugin_module()) {
    for (const Parameter& p : m->parameters) host_.push_back(p.initial);
  }
  applied_ = host_;
}

void CloudInstance::set(int index, const void* param) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (index < 0 || index >= static_cast<int>(host_.size()) || param == nullptr) return;
  const Parameter& p = plugin_module()->parameters[static_cast<std::size_t>(index)];
  HostValue& v = host_[static_cast<std::size_t>(index)];
  if (p.type == F0R_PARAM_STRING) {
    const char* text = *static_cast<const char* const*>(param);
    v.text = text != nullptr ? text : "";
  } else if (p.type == F0R_PARAM_COLOR) {
    const auto* c = static_cast<const f0r_param_color_t*>(param);
    v.colour[0] = c->r, v.colour[1] = c->g, v.colour[2] = c->b;
  } else {
    v.number = *static_cast<const double*>(param);
  }
}

void CloudInstance::get(int index, void* param) const {
  if (index < 0 || index >= static_cast<int>(host_.size()) || param == nullptr) return;
  const Parameter& p = plugin_module()->parameters[static_cast<std::size_t>(index)];
  const HostValue& v = host_[static_cast<std::size_t>(index)];
  if (p.type == F0R_PARAM_STRING) {
    // The host copies the text; the instance keeps it alive until the next set.
    *static_cast<const char**>(param) = v.text.c_str();
  } else if (p.type == F0R_PARAM_COLOR) {
    *static_cast<f0r_param_color_t*>(param) = {v.colour[0], v.colour[1], v.colour[2]};
  } else {
    *static_cast<double*>(param) = v.number;
  }
}

// A new node with the settings as `brumel render` applies them: the document,
// the demo, every host parameter set away from its default (as --set), the
// mode Render unless one of them gives it, then the pre-roll.
void CloudInstance::start() {
  std::string error;
  const PluginModule* m = plugin_module(&error);
  if (m == nullptr) throw Error(error);
  player_.reset();
  node_ = m->module.create();
  SettingsRequest request;
  request.load_file = host_[kSettings].text;
  request.demo = host_[kDemo].text;
  request.preroll = host_[kPreroll].number >= 0.5;
  request.default_mode = "render";
  for (std::size_t i = kOwnParameters; i < host_.size(); ++i) {
    const Parameter& p = m->parameters[i];
    if (host_[i] == p.initial) continue;
    request.sets.push_back("#" + std::to_string(p.widget) + "=" +
                           widget_text(*node_->control(p.widget), host_[i]));
  }
  const NodePtr fresh = request.load_file.empty() ? NodePtr{} : m->module.create();
  apply_settings(*node_, request, 1.0, fresh.get());
  const bool matte = shape_ == PluginShape::Matte;
  player_ = std::make_unique<FramePlayer>(*node_, ShotFormat{width_, height_, 1.0, 1, 0, matte});
  player_->set_preroll(request.preroll);
  player_->set_element(host_[kElement].number >= 0.5);
  player_->set_catch_up_reads(catch_up_reads(*node_, matte));
  input_ = shape_ == PluginShape::Source ? default_background(width_, height_)
                                         : HostImage(width_, height_);
  if (matte) matte_ = HostImage(width_, height_);
  applied_ = host_;
  last_frame_.reset();
}

// A widget parameter the host changes after the first frame becomes a key at
// that frame (with the old value kept at the frame before): MLT animates
// parameters this way, and a restart then replays the values the host gave.
void CloudInstance::follow_parameters(int frame) {
  const std::vector<Parameter>& parameters = plugin_module()->parameters;
  bool changed = false;
  for (std::size_t i = kOwnParameters; i < host_.size(); ++i) {
    if (host_[i] == applied_[i]) continue;
    CWidget& widget = *node_->control(parameters[i].widget);
    std::string error;
    if (last_frame_ && *last_frame_ < frame) {
      add_user_key(widget, *last_frame_, widget_text(widget, applied_[i]), error);
    }
    if (!add_user_key(widget, frame, widget_text(widget, host_[i]), error)) throw Error(error);
    applied_[i] = host_[i];
    changed = true;
  }
  if (!changed) return;
  player_->set_catch_up_reads(catch_up_reads(*node_, shape_ == PluginShape::Matte));
  if (last_frame_ && *last_frame_ >= frame) player_->restart();
}

void CloudInstance::render(int frame, const std::uint32_t* input, const std::uint32_t* matte,
                           std::uint32_t* output) {
  const bool own_changed = host_[kSettings] != applied_[kSettings] ||
                           host_[kDemo] != applied_[kDemo] || host_[kPreroll] != applied_[kPreroll];
  if (!node_ || own_changed) start();
  if (host_[kElement] != applied_[kElement]) {
    player_->set_element(host_[kElement].number >= 0.5);
    player_->restart();
    applied_[kElement] = host_[kElement];
  }
  follow_parameters(frame);
  if (shape_ != PluginShape::Source) rgba8_to_host(input, input_);
  if (shape_ == PluginShape::Matte) rgba8_to_host(matte, matte_);
  const bool has_matte = shape_ == PluginShape::Matte;
  const HostImage& out = player_->show(frame, [&](int, bool, bool) {
    return FrameImages{input_.view(), has_matte ? std::optional(matte_.view()) : std::nullopt, false};
  });
  last_frame_ = frame;
  if (host_[kElement].number >= 0.5) {
    element_to_rgba8(out, output);
  } else {
    host_to_rgba8(out, output);
  }
}

void CloudInstance::update(double time, const std::uint32_t* input, const std::uint32_t* matte,
                           std::uint32_t* output) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const std::size_t bytes = static_cast<std::size_t>(width_) * height_ * 4;
  const bool usable = output != nullptr && (shape_ == PluginShape::Source || input != nullptr) &&
                      (shape_ != PluginShape::Matte || matte != nullptr);
  // A host that slices a frame calls one instance with each slice of it, at the
  // same time, the rows of its input and output following the last call's.
  const auto* in_rows = reinterpret_cast<const char*>(input);
  const auto* out_rows = reinterpret_cast<const char*>(output);
  if (time == last_time_ && in_rows != nullptr && in_rows == last_input_ + bytes &&
      out_rows == last_output_ + bytes) {
    say_once("sliced", "the host renders each frame in slices (MLT's threads=N), and each "
                       "slice draws a cloud of its own: give the filter threads=0");
  }
  last_time_ = time;
  last_input_ = in_rows;
  last_output_ = out_rows;
  if (!first_time_seen_) {
    first_time_seen_ = true;
    // The plugin is handed a bare pointer: rows must follow each other without gaps.
    if (width_ % 8 != 0) {
      say_once("width", "the frame width is not a multiple of 8, as the frei0r API asks of "
                        "hosts: a host that pads each row (ffmpeg does at such widths) hands "
                        "the plugin rows it cannot follow, and the frames come out sheared; "
                        "scale or pad the clip to a width that is a multiple of 8");
    }
    if (size_changed_mid_clip(width_, height_, time)) {
      say_once("size", "the frame size changed in the middle of the clip: the simulation "
                       "starts again at that frame, as frame 1");
      clock_.start_at(time);
    }
  }
  if (!failed_ && usable) {
    try {
      render(clock_.frame(time), input, matte, output);
      return;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "brumel (frei0r): %s; frames pass through unchanged\n", e.what());
      failed_ = true;
    }
  }
  if (output == nullptr) return;
  if (input != nullptr) {
    std::memcpy(output, input, bytes);
  } else {
    std::memset(output, 0, bytes);
  }
}

}  // namespace brumel
