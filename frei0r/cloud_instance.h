#pragma once
// One frei0r instance: the node made at its first frame (construction stays cheap:
// hosts construct instances while they scan plugins), host parameters applied as
// `brumel render` applies --set, host times turned into frames, and the frames
// played through the embedding library's FramePlayer.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "embed/frame_player.h"
#include "embed/node_module.h"
#include "frei0r/frame_clock.h"
#include "frei0r/parameters.h"

namespace brumel {

// What the plugin draws over: its one input (a filter), its input with a second
// one as the birth matte (a two-input mixer), or the built-in sky (a source).
enum class PluginShape { Filter, Matte, Source };

// The module and its parameter list, loaded once per process from beside the
// plugin's own file. Null when it cannot be loaded; `error` then says why.
struct PluginModule {
  NodeModule module;
  std::vector<Parameter> parameters;
};
const PluginModule* plugin_module(std::string* error = nullptr);

class CloudInstance {
 public:
  CloudInstance(PluginShape shape, int width, int height);

  // f0r_set_param_value and f0r_get_param_value: `param` points at a double, an
  // f0r_param_color or a char* as the parameter's type says.
  void set(int index, const void* param);
  void get(int index, void* param) const;

  // One frame: `input` (null for a source), `matte` (the mixer's second input),
  // `output`, each width x height RGBA8888. A failure (a settings document that
  // cannot be read, an unknown demo) is said once on standard error and the
  // input passes through unchanged.
  void update(double time, const std::uint32_t* input, const std::uint32_t* matte,
              std::uint32_t* output);

 private:
  void start();
  void follow_parameters(int frame);
  void render(int frame, const std::uint32_t* input, const std::uint32_t* matte,
              std::uint32_t* output);

  PluginShape shape_;
  int width_, height_;
  std::vector<HostValue> host_;     // as the host set them
  std::vector<HostValue> applied_;  // as the node has them
  std::mutex mutex_;                // hosts may call one instance from several threads
  FrameClock clock_;
  std::optional<int> last_frame_;
  NodePtr node_;
  std::unique_ptr<FramePlayer> player_;
  HostImage input_, matte_;
  bool failed_ = false;
  bool first_time_seen_ = false;
  double last_time_ = 0.0;  // the last call's time and rows, to tell slices of a frame
  const char* last_input_ = nullptr;
  const char* last_output_ = nullptr;
};

}  // namespace brumel
