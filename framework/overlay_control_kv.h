#pragma once
// On-screen handles: draggable marks in the host's viewer that edit host numbers.
// Positions are fractions of the view (x of view_width, y of view_height), which are
// also the values of the bound host numbers. The host adapter binds the handles and
// sets their colours; word 10 of every handle's host_data points at the plug-in's
// handle_hit.
//
// Pointer events find a handle where it was last drawn, within 5/zoom pixels in
// both axes (strict). A press that hits grabs the handle and sets handle_hit; drags
// of a grabbed handle write its host numbers (as floats) and fetch its controls; the
// release writes them once more and reports each number to the owning node's
// notify_control_changed with reason 2 and time -1.0. Without a grab nothing is
// written or reported.
#include <cstdint>

namespace brumel {

class OverlayKv;

class OverlayControlKv {
 public:
  virtual ~OverlayControlKv();
  // A pointer event in view pixels (phase 0 hover, 1 press, 2 drag, 3 release):
  // updates the handle's own geometry, then calls apply.
  virtual void pointer(int phase, float x, float y);
  // Writes the handle's geometry to its bound host numbers for the event's phase.
  virtual void apply(int phase, float x, float y);

  void* host_data[16] = {};
  std::int32_t colour[4] = {65535, 65535, 65535, 65535};  // r, g, b, a, 0..65535
  std::int32_t visible = 1;
  std::int32_t grabbed = 0;   // nonzero while holding a press (circle: the grip, 1..3)
  std::int32_t hover = 0;     // nonzero while the pointer is near (circle: the grip)
  OverlayKv* view = nullptr;  // whose size and zoom the handle uses

 protected:
  OverlayControlKv() = default;
  OverlayControlKv(const OverlayControlKv&) = default;
  OverlayControlKv& operator=(const OverlayControlKv&) = default;
};

// Edits a position. host_data: word 0 the X number, word 1 the Y number, word 2 the
// PositionControlKv that caches them (and names the node in its word 2). A drag puts
// the centre under the pointer; the release does not fetch.
class CrosshairOverlayKv final : public OverlayControlKv {
 public:
  void pointer(int phase, float x, float y) override;
  void apply(int phase, float x, float y) override;

  float pos_x = 0.0f;  // fractions of the view
  float pos_y = 0.0f;
  float screen_x = 0.0f;  // view pixels where it was last drawn
  float screen_y = 0.0f;
  std::int32_t style = 0;  // nonzero adds diagonal ticks
};

// Edits two positions together. host_data: words 0..3 the first end's X and Y and
// the second end's X and Y numbers; word 4 the first end's PositionControlKv, word 5
// the second end's. A drag puts the midpoint under the pointer and keeps the line's
// direction and length.
class LineOverlayKv final : public OverlayControlKv {
 public:
  void pointer(int phase, float x, float y) override;
  void apply(int phase, float x, float y) override;

  float x1 = 0.0f;  // fractions of the view
  float y1 = 0.0f;
  float x2 = 0.0f;
  float y2 = 0.0f;
  float mid_x = 0.0f;  // view pixels of the midpoint where it was last drawn
  float mid_y = 0.0f;
};

// Edits one or two radii. host_data: word 2 the number for rx, word 3 the number for
// ry, word 4 the control that caches the first, word 5 the control for the second.
// Grips (tested in the order 1, 2, 3; 1 and 3 only while radius_only is 0): grip 2
// on the rx axis sets rx to twice the pointer's distance from the centre in half
// view widths, grip 3 likewise ry; grip 1, on the diagonal at -45 degrees, scales
// both radii in proportion by the pointer's distance along that diagonal.
class CircleOverlayKv final : public OverlayControlKv {
 public:
  void pointer(int phase, float x, float y) override;
  void apply(int phase, float x, float y) override;

  float cx = 0.0f;  // centre, fractions of the view
  float cy = 0.0f;
  float rx = 0.0f;  // radii in units of half the view width, both axes
  float ry = 0.0f;
  float angle = 0.0f;            // rotation, degrees
  std::int32_t radius_only = 0;  // nonzero: only grip 2 is live
  std::int32_t dashed = 0;
  float grip_x[3] = {};  // view pixels of grips 1..3 where they were last drawn
  float grip_y[3] = {};
};

}  // namespace brumel
