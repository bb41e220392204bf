#pragma once
// PluginKv: the host-neutral plug-in base. The host adapter writes the fields and
// calls the virtual operations; an effect derives from it and overrides what it needs.
#include <cstdint>

namespace brumel {

class PluginKv {
 public:
  PluginKv() = default;
  PluginKv(const PluginKv&) = delete;
  PluginKv& operator=(const PluginKv&) = delete;

  // The operations keep the host's slot order; every base body does nothing.
  virtual ~PluginKv();
  // Produces one frame from the parameter record into its output image.
  virtual void render();
  // Slot 2: an unused hook of ten 32-bit arguments; nothing calls it.
  virtual void hook_2(std::int32_t a0, std::int32_t a1, std::int32_t a2, std::int32_t a3,
                      std::int32_t a4, std::int32_t a5, std::int32_t a6, std::int32_t a7,
                      std::int32_t a8, std::int32_t a9);
  // Brings whatever depends on the controls (dimmed states, linked lists) in line.
  virtual void controls_changed();
  // Slots 4 to 9: unused hooks; nothing calls them.
  virtual void hook_4(std::int32_t a0, std::int32_t a1);
  virtual void hook_5(std::int32_t a0);
  virtual void hook_6();
  virtual void hook_7();
  virtual void hook_8(std::int32_t a0);
  virtual void hook_9(std::int32_t a0, std::int32_t a1);

  double time = 0.0;        // frame time of the frame being produced
  double length = 0.0;      // frames of the node's input 0, as the host reports it
  bool skip_alpha = false;  // true: render() leaves out its final alpha copy
  int handle_hit = 0;       // set to 1 by an on-screen handle that takes a press
};

}  // namespace brumel
