#pragma once
// BrumelNode: the node the host instantiates. It owns the one effect object, creates
// the host widgets in a fixed order and binds each to the effect's control or handle,
// and carries host calls (frames, control changes, viewer events) to the effect.
#include <array>
#include <cstdint>
#include <memory>

#include "assim/fx_node.h"
#include "render/image_buffer.h"

namespace brumel {

class Brumel;
class ControlKv;

// One row of the node's widget table: the host widget and where the panel shows it.
struct WidgetEntry {
  CWidget* widget = nullptr;
  std::int32_t column = 0;
  std::int32_t row = 0;
};

inline constexpr const char* kBrumelNodeName = "Vexlings.Brumel";
inline constexpr const char* kBrumelNodeUuid = "5a1f9c30-7e2b-4d81-b6a4-c09e3f7d2b15";

class BrumelNode : public FXNode {
 public:
  static constexpr int kWidgetCount = 81;   // creation order: 77 controls, then 4 page labels
  static constexpr int kControlWidgets = 77;

  // Creates the effect, the 81 widgets bound to its controls, and binds its nine
  // handles. When the effect cannot be allocated the widgets are still made (so
  // saved settings load), a warning says so, and every frame is refused.
  BrumelNode();
  // Destroys the effect, then the base (which frees the widgets).
  ~BrumelNode() override;

  // "Vexlings Brumel, Version 5.0 - " and a notice.
  const char* get_description() override;
  // One input required (the source), a second optional (the birth matte).
  void get_input_limits(int& min_inputs, int& max_inputs) override;
  // The base reaction, then an overlay redraw.
  void notify_output_changed() override;
  // One frame (frame_processing.cpp): 1 rendered, 0 refused with a warning.
  // While the host's catch-up hint is set the frame is simulated but not drawn,
  // and the output image is left as it was.
  int process_image(double time, _image_str** inputs, _image_str* output) override;
  // Places every widget of the table whose layout-exclusion bit is clear, passing the
  // row before the column; false when the host counts no widgets.
  bool layout_controls(ControlLayout& layout) override;
  // Fetches all 71 controls (the values held before this evaluation), then runs the
  // base evaluation at `time` and returns its result.
  bool evaluate_controls(double time, bool flag) override;
  // Fetches the changed control and applies its reaction (control_dispatch.cpp).
  // Buttons, modes and demos end without the base; every other control entry also
  // reaches the base. Reason 2 invalidates every cached frame first.
  bool notify_control_changed(CWidget* widget, int reason, double time) override;
  // Viewer (viewer_events.cpp): the effect's overlay and its handles.
  bool overlay_draw(void* context) override;
  bool has_overlay() override;
  bool overlay_mouse(void* context, int kind, MouseEvent* event) override;

  // The widget-table entry holding `widget` among the control entries 0..76, or -1.
  int control_entry(const CWidget* widget) const;
  // The effect control bound to control entry `entry` (0..76); null without an effect.
  ControlKv* entry_control(int entry) const;

  Brumel* effect = nullptr;
  // The frame's image buffers, kept between frames and reused while the sizes hold.
  std::unique_ptr<ImageBuffer> frame_source;
  std::unique_ptr<ImageBuffer> frame_matte;
  std::unique_ptr<ImageBuffer> frame_output;
  bool first_process_pending = true;
  std::array<WidgetEntry, kWidgetCount> widgets{};

 private:
  void create_widgets();
  void bind_handles();
};

}  // namespace brumel
