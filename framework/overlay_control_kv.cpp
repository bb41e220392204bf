#include "framework/overlay_control_kv.h"
#include "render/degrees.h"

#include <cmath>

#include "assim/fx_node.h"
#include "assim/widgets.h"
#include "framework/control_kv.h"
#include "framework/overlay_kv.h"

namespace brumel {

namespace {


enum Phase { kHover = 0, kPress = 1, kDrag = 2, kRelease = 3 };

CWidget* widget_in(void* word) { return static_cast<CWidget*>(word); }
CNumeric& number_in(void* word) { return *static_cast<CNumeric*>(widget_in(word)); }
ControlKv& control_in(void* word) { return *static_cast<ControlKv*>(word); }

// The node that owns a control: word 2 of its host_data.
FXNode& node_of(void* control_word) {
  return *static_cast<FXNode*>(control_in(control_word).host_data[2]);
}

// A finished drag reaches the node as a change of the host number, made now.
void notify(FXNode& node, void* number_word) {
  node.notify_control_changed(widget_in(number_word), 2, -1.0);
}

// The plug-in's handle_hit, through word 10.
void mark_hit(const OverlayControlKv& handle) {
  if (auto* hit = static_cast<int*>(handle.host_data[10])) *hit = 1;
}

// Strict comparisons: a pointer exactly tol pixels off in either axis misses.
bool hits(const OverlayKv& view, float px, float py, float x, float y) {
  const float tol = 5.0f / view.zoom;
  return x + tol > px && px > x - tol && y + tol > py && py > y - tol;
}

// Grip 1 changes both radii together and keeps their ratio: the pointer's distance
// from the centre along the grip's diagonal, taken in the ellipse's own rotated
// frame, becomes the grip's new distance along it ((a + b)/2 for pixel radii a, b).
// A pointer on the far side of the centre shrinks both radii to 0; with no radius to
// keep a ratio of, the ellipse becomes a circle whose grip lies under the pointer.
void drag_both_radii(CircleOverlayKv& c, float dx, float dy) {
  const double width = c.view->view_width;
  const double theta = c.angle * kRadiansPerDegree;
  const double u = std::cos(theta) * dx + std::sin(theta) * dy;
  const double v = -std::sin(theta) * dx + std::cos(theta) * dy;
  // Grip 1 sits at (a, -b)/sqrt(2), at (a + b)/2 along the diagonal (1, -1)/sqrt(2).
  double along = (u - v) * 0.7071067811865476;
  if (!(along > 0.0)) along = 0.0;
  const double held = (static_cast<double>(c.rx) + c.ry) * width * 0.25;
  if (held > 0.0) {
    const double k = along / held;
    c.rx = static_cast<float>(c.rx * k);
    c.ry = static_cast<float>(c.ry * k);
  } else {
    c.rx = c.ry = static_cast<float>(along / (width * 0.5));
  }
}

}  // namespace

OverlayControlKv::~OverlayControlKv() = default;
void OverlayControlKv::pointer(int, float, float) {}
void OverlayControlKv::apply(int, float, float) {}

// --- CrosshairOverlayKv ---

void CrosshairOverlayKv::pointer(int phase, float x, float y) {
  switch (phase) {
    case kHover:
      hover = hits(*view, screen_x, screen_y, x, y) ? 1 : 0;
      apply(phase, x, y);
      break;
    case kPress:
      hover = grabbed = hits(*view, screen_x, screen_y, x, y) ? 1 : 0;
      apply(phase, x, y);
      break;
    case kDrag:
      if (grabbed != 0) {
        pos_x = x / static_cast<float>(view->view_width);
        pos_y = y / static_cast<float>(view->view_height);
      }
      apply(phase, x, y);
      break;
    case kRelease:
      apply(phase, x, y);
      grabbed = 0;
      break;
    default:
      break;
  }
}

void CrosshairOverlayKv::apply(int phase, float, float) {
  if (grabbed == 0) return;
  switch (phase) {
    case kPress:
      mark_hit(*this);
      break;
    case kDrag:
      number_in(host_data[0]) = pos_x;
      number_in(host_data[1]) = pos_y;
      control_in(host_data[2]).fetch();
      break;
    case kRelease: {
      number_in(host_data[0]) = pos_x;
      number_in(host_data[1]) = pos_y;
      FXNode& node = node_of(host_data[2]);
      notify(node, host_data[0]);
      notify(node, host_data[1]);
      break;
    }
    default:
      break;
  }
}

// --- LineOverlayKv ---

void LineOverlayKv::pointer(int phase, float x, float y) {
  switch (phase) {
    case kHover:
      hover = hits(*view, mid_x, mid_y, x, y) ? 1 : 0;
      apply(phase, x, y);
      break;
    case kPress:
      hover = grabbed = hits(*view, mid_x, mid_y, x, y) ? 1 : 0;
      apply(phase, x, y);
      break;
    case kDrag:
      if (grabbed != 0) {
        // The midpoint follows the pointer; direction and length stay.
        const float hx = (x1 - x2) * 0.5f;
        const float hy = (y1 - y2) * 0.5f;
        const float fx = x / static_cast<float>(view->view_width);
        const float fy = y / static_cast<float>(view->view_height);
        x1 = fx + hx;
        y1 = fy + hy;
        x2 = fx - hx;
        y2 = fy - hy;
      }
      apply(phase, x, y);
      break;
    case kRelease:
      apply(phase, x, y);
      grabbed = 0;
      break;
    default:
      break;
  }
}

void LineOverlayKv::apply(int phase, float, float) {
  if (grabbed == 0) return;
  if (phase == kPress) {
    mark_hit(*this);
    return;
  }
  if (phase != kDrag && phase != kRelease) return;
  number_in(host_data[0]) = x1;
  number_in(host_data[1]) = y1;
  number_in(host_data[2]) = x2;
  number_in(host_data[3]) = y2;
  control_in(host_data[4]).fetch();
  control_in(host_data[5]).fetch();
  if (phase == kRelease) {
    FXNode& node = node_of(host_data[4]);
    for (int word = 0; word < 4; ++word) notify(node, host_data[word]);
  }
}

// --- CircleOverlayKv ---

void CircleOverlayKv::pointer(int phase, float x, float y) {
  std::int32_t grip = 0;
  if (phase == kHover || phase == kPress) {
    for (std::int32_t g = 1; g <= 3 && grip == 0; ++g) {
      const bool live = g == 2 || radius_only == 0;
      if (live && hits(*view, grip_x[g - 1], grip_y[g - 1], x, y)) grip = g;
    }
  }
  switch (phase) {
    case kHover:
      hover = grip;
      apply(phase, x, y);
      break;
    case kPress:
      hover = grabbed = grip;
      apply(phase, x, y);
      break;
    case kDrag: {
      const float width = static_cast<float>(view->view_width);
      const float dx = x - cx * width;
      const float dy = y - cy * static_cast<float>(view->view_height);
      const float d = std::sqrt(dx * dx + dy * dy);
      if (grabbed == 1) {
        drag_both_radii(*this, dx, dy);
      } else if (grabbed == 2) {
        rx = 2.0f * d / width;
      } else if (grabbed == 3) {
        ry = 2.0f * d / width;
      }
      apply(phase, x, y);
      break;
    }
    case kRelease:
      apply(phase, x, y);
      grabbed = 0;
      break;
    default:
      break;
  }
}

void CircleOverlayKv::apply(int phase, float, float) {
  if (grabbed == 0) return;
  if (phase == kPress) {
    mark_hit(*this);
    return;
  }
  if (phase != kDrag && phase != kRelease) return;
  const bool writes_rx = grabbed == 1 || grabbed == 2;
  const bool writes_ry = grabbed == 1 || grabbed == 3;
  if (writes_rx) number_in(host_data[2]) = rx;
  if (writes_ry) number_in(host_data[3]) = ry;
  if (writes_rx) control_in(host_data[4]).fetch();
  if (writes_ry) control_in(host_data[5]).fetch();
  if (phase == kRelease) {
    FXNode& node = node_of(host_data[4]);
    if (writes_rx) notify(node, host_data[2]);
    if (writes_ry) notify(node, host_data[3]);
  }
}

}  // namespace brumel
