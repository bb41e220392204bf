#pragma once
// OverlayKv: the viewer side of a plug-in. The host adapter writes the view fields
// immediately before each draw and pointer call. The OpenGL drawing primitives join
// this class as further non-virtual member operations, defined in their own file.

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

  // --- drawing primitives (view pixels; origin moved to the view centre) ---
};
