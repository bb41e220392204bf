// The frei0r entry points, the boundary every host calls through. Built three
// times (CMake's BRUMEL_PLUGIN_SHAPE): the filter, the two-input mixer whose
// second input is the birth matte, and the source.
#include "frei0r/frei0r_api.h"

#include <cstdio>
#include <string>

#include "frei0r/cloud_instance.h"

#ifndef BRUMEL_PLUGIN_SHAPE
#error "BRUMEL_PLUGIN_SHAPE must be 0 (filter), 1 (matte mixer) or 2 (source)"
#endif

namespace {

using brumel::CloudInstance;
using brumel::PluginShape;

constexpr auto kShape = static_cast<PluginShape>(BRUMEL_PLUGIN_SHAPE);

struct Description {
  const char* name;  // the plugin's file name too: hosts look plugins up by it
  int type;
  const char* explanation;
};

constexpr Description kDescription =
    kShape == PluginShape::Filter
        ? Description{"brumel", F0R_PLUGIN_TYPE_FILTER,
                      "Animated clouds grown from a seeded particle simulation, over the input"}
    : kShape == PluginShape::Matte
        ? Description{"brumel_matte", F0R_PLUGIN_TYPE_MIXER2,
                      "Animated clouds over the first input; the second is the birth matte"}
        : Description{"brumel_source", F0R_PLUGIN_TYPE_SOURCE,
                      "Animated clouds over a dusk sky (or alone, with element)"};

}  // namespace

#define BRUMEL_EXPORT extern "C" __attribute__((visibility("default")))

BRUMEL_EXPORT int f0r_init() {
  std::string error;
  if (brumel::plugin_module(&error) != nullptr) return 1;
  std::fprintf(stderr, "brumel (frei0r): %s\n", error.c_str());
  return 0;
}

BRUMEL_EXPORT void f0r_deinit() {}

BRUMEL_EXPORT void f0r_get_plugin_info(f0r_plugin_info_t* info) {
  const brumel::PluginModule* module = brumel::plugin_module();
  info->name = kDescription.name;
  info->author = "Brumel";
  info->plugin_type = kDescription.type;
  info->color_model = F0R_COLOR_MODEL_RGBA8888;
  info->frei0r_version = FREI0R_MAJOR_VERSION;
  info->major_version = 5;
  info->minor_version = 0;
  info->num_params = module != nullptr ? static_cast<int>(module->parameters.size()) : 0;
  info->explanation = kDescription.explanation;
}

BRUMEL_EXPORT void f0r_get_param_info(f0r_param_info_t* info, int index) {
  const brumel::PluginModule* module = brumel::plugin_module();
  if (module == nullptr || index < 0 || index >= static_cast<int>(module->parameters.size())) return;
  const brumel::Parameter& p = module->parameters[static_cast<std::size_t>(index)];
  info->name = p.name.c_str();
  info->type = p.type;
  info->explanation = p.explanation.c_str();
}

BRUMEL_EXPORT f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
  try {
    return new CloudInstance(kShape, static_cast<int>(width), static_cast<int>(height));
  } catch (...) {
    return nullptr;
  }
}

BRUMEL_EXPORT void f0r_destruct(f0r_instance_t instance) {
  delete static_cast<CloudInstance*>(instance);
}

BRUMEL_EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
  static_cast<CloudInstance*>(instance)->set(index, param);
}

BRUMEL_EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
  static_cast<CloudInstance*>(instance)->get(index, param);
}

BRUMEL_EXPORT void f0r_update(f0r_instance_t instance, double time, const uint32_t* inframe,
                              uint32_t* outframe) {
  static_cast<CloudInstance*>(instance)->update(time, inframe, nullptr, outframe);
}

BRUMEL_EXPORT void f0r_update2(f0r_instance_t instance, double time, const uint32_t* inframe1,
                               const uint32_t* inframe2, const uint32_t*, uint32_t* outframe) {
  static_cast<CloudInstance*>(instance)->update(time, inframe1, inframe2, outframe);
}
