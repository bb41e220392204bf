#include "framework/overlay_kv.h"

OverlayKv::~OverlayKv() = default;
void OverlayKv::draw() {}
void OverlayKv::pointer(int, float, float) {}
