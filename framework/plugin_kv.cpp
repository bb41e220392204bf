#include "framework/plugin_kv.h"

namespace brumel {

PluginKv::~PluginKv() = default;
void PluginKv::render() {}
void PluginKv::hook_2(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                      std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void PluginKv::controls_changed() {}
void PluginKv::hook_4(std::int32_t, std::int32_t) {}
void PluginKv::hook_5(std::int32_t) {}
void PluginKv::hook_6() {}
void PluginKv::hook_7() {}
void PluginKv::hook_8(std::int32_t) {}
void PluginKv::hook_9(std::int32_t, std::int32_t) {}

}  // namespace brumel
