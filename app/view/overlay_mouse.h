#pragma once
// The viewer's mouse path to the node's overlay: window positions become view
// pixels of the frame (whatever the zoom), and presses, drags and releases of
// the left button become the host's overlay_mouse events. Both the window's
// mouse callbacks and a script's drags go through here.
#include "app/view/view_geometry.h"
#include "assim/fx_node.h"

namespace brumel {

class OverlayMouse {
 public:
  // Host event kinds of overlay_mouse.
  static constexpr int kButtonDown = 0, kMove = 1, kButtonUp = 2;

  // A left-button press at window position (x, y). `gui_wants_mouse`: the
  // panel is under the pointer or busy, so the overlay is not told, nor of the
  // moves and release that follow. Returns true when a handle took the press.
  bool press(FXNode& node, const ViewGeometry& view, double x, double y, bool gui_wants_mouse);
  // A move: a drag (pressure 1.0) while a press the overlay took is held,
  // else a hover (pressure 0.0) unless the panel wants the mouse.
  void move(FXNode& node, const ViewGeometry& view, double x, double y, bool gui_wants_mouse);
  // A left-button release: told to the overlay when it was told of the press.
  void release(FXNode& node, const ViewGeometry& view, double x, double y);

  bool holding() const { return holding_; }
  // Forgets a press in progress (the node it went to is gone).
  void reset() { holding_ = false; }

 private:
  bool holding_ = false;  // the overlay took the button-down and waits for its release
};

}  // namespace brumel
