#include "framework/overlay_kv.h"

namespace brumel {

OverlayKv::~OverlayKv() = default;
void OverlayKv::draw() {}
void OverlayKv::pointer(int, float, float) {}

}  // namespace brumel
