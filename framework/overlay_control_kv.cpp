#include "framework/overlay_control_kv.h"

OverlayControlKv::~OverlayControlKv() = default;
void OverlayControlKv::pointer(int, float, float) {}
void OverlayControlKv::apply(int, float, float) {}

// Handle dragging arrives with the overlay work; until then the kinds ignore events.
void CrosshairOverlayKv::pointer(int, float, float) {}
void CrosshairOverlayKv::apply(int, float, float) {}
void LineOverlayKv::pointer(int, float, float) {}
void LineOverlayKv::apply(int, float, float) {}
void CircleOverlayKv::pointer(int, float, float) {}
void CircleOverlayKv::apply(int, float, float) {}
