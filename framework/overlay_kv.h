#pragma once
// OverlayKv: the viewer side of a plug-in. The host adapter writes the view fields
// immediately before each draw and pointer call. The drawing primitives are plain
// member operations (overlay_primitives.cpp), and so is the drawing of the three
// handle kinds (handle_drawing.cpp).
#include <cstdint>

namespace brumel {

class CrosshairOverlayKv;
class LineOverlayKv;
class CircleOverlayKv;

class OverlayKv {
 public:
  OverlayKv() = default;
  OverlayKv(const OverlayKv&) = delete;
  OverlayKv& operator=(const OverlayKv&) = delete;

  virtual ~OverlayKv();
  // Draws the overlay into the current OpenGL context; the base draws nothing.
  virtual void draw();
  // A pointer event in view pixels; phase 0 hover, 1 press, 2 drag, 3 release.
  // The base ignores it.
  virtual void pointer(int phase, float x, float y);

  int view_width = 0;         // output width in view pixels
  int view_height = 0;        // output height in view pixels
  float pixel_aspect = 1.0f;  // host's aspect correction for the output
  float view_scale = 1.0f;    // pixel_aspect / view_scale is the aspect of circles
  float zoom = 1.0f;          // hit tolerances and mark sizes are divided by it

  // --- drawing primitives (overlay_primitives.cpp) ---
  // Every primitive takes view pixels (0..view_width, 0..view_height) and sends the
  // point (x, y) to OpenGL as (x - view_width/2, y - view_height/2): the host's
  // projection is centred on the view. Each group of vertices is bracketed by
  // gl_antialiasing(1) and gl_antialiasing(0). Nothing sets matrices or widths.

  // The current colour: each channel of 0..65535 times 1/65535 in single precision.
  void set_colour(std::int32_t r, std::int32_t g, std::int32_t b, std::int32_t a);
  // One GL_LINES segment.
  void draw_segment(float x1, float y1, float x2, float y2);
  // A GL_LINE_LOOP square of 8 pixels centred on (x, y), whatever the zoom.
  void draw_square(float x, float y);
  // A dashed line: a gap of `dash` pixels at (x1, y1), then dash and gap in turn,
  // the last dash stopping at (x2, y2). Nothing when the line is not longer than 0.
  void draw_dashed(float x1, float y1, float x2, float y2, std::int32_t dash);
  // The outline of an ellipse of full diameters w and h centred on (cx, cy), rotated
  // by `rotation` degrees, from angle `start` to `end` (degrees) in steps of about
  // `segment` pixels (at most 36 degrees); every other join when `dashed` is
  // nonzero; closed when the range is 0..360. Nothing when w or h is below 5.
  void draw_ellipse(float cx, float cy, float w, float h, float rotation, std::int32_t dashed,
                    std::int32_t segment, float start, float end);
  // Four arms from 10/zoom to 25/zoom pixels off (x, y) in the order +x, -x, +y, -y;
  // a nonzero style adds four diagonal ticks from 5/zoom to 12.5/zoom.
  void draw_crosshair_mark(float x, float y, std::int32_t style);
  // Two strokes of 40/zoom pixels from the head (x1, y1), 20 degrees either side of
  // the direction toward the tail (x2, y2), the +20 degree stroke first.
  void draw_arrow_head(float x1, float y1, float x2, float y2);

  // --- handle drawing (handle_drawing.cpp) ---
  // Each sets the handle's colour first and records where the handle's grips were
  // drawn, which is where its pointer events find it.

  // The crosshair mark and the square at its position; stores screen_x/screen_y.
  void draw_crosshair(CrosshairOverlayKv& handle);
  // The line between its ends and the square at its midpoint; stores mid_x/mid_y.
  void draw_line(LineOverlayKv& handle);
  // The outline (both radii scale with the view width) and the squares of its live
  // grips; stores all three grips in grip_x/grip_y.
  void draw_circle(CircleOverlayKv& handle);
};

}  // namespace brumel
