// The node's per-frame entry and its control evaluation.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "assim/services.h"
#include "host/brumel_node.h"
#include "host/image_conversion.h"
#include "sim/brumel.h"

namespace brumel {

namespace {

void fill_input_slot(InputImageKv& slot, ImageBuffer* buffer, _image_str* image, int input,
                     FXNode* node) {
  slot.image = buffer;
  slot.host_data[0] = image;
  slot.host_data[1] = reinterpret_cast<void*>(static_cast<std::intptr_t>(input));
  slot.host_data[2] = node;
}

// Refuses an image that cannot be converted, naming it.
bool usable(const _image_str* image, const char* which) {
  if (image == nullptr) return true;
  const char* problem = image_problem(*image);
  if (problem == nullptr) return true;
  char text[200];
  std::snprintf(text, sizeof text,
                "Vexlings.Brumel: process_image() refused: the %s image has %s "
                "(%d x %d, %d channels).",
                which, problem, image->width, image->height, image->channels);
  msgwarn(text);
  return false;
}

// The slots never keep a buffer beyond the frame, and the catch-up flag never
// outlives it, whichever way the frame ends.
struct FrameScope {
  Brumel& effect;
  ~FrameScope() {
    effect.source_image.image = nullptr;
    effect.matte_image.image = nullptr;
    effect.output_image.image = nullptr;
    effect.draw_suppressed = 0;
    effect.element_only = false;
  }
};

}  // namespace

int BrumelNode::process_image(double time, _image_str** inputs, _image_str* output) {
  if (output == nullptr) {
    msgwarn("QXAPI plugin: process_image() called with no output image.");
    return 0;
  }
  _image_str* input0 = inputs != nullptr ? inputs[0] : nullptr;
  if (input0 == nullptr) {
    msgwarn("QXAPI plugin: process_image() called with no valid input images.");
    return 0;
  }
  _image_str* input1 = inputs[1];
  if (effect == nullptr) {
    msgwarn("Vexlings.Brumel: process_image() refused: the effect could not be created "
            "(not enough memory).");
    return 0;
  }
  if (!usable(output, "output") || !usable(input0, "input 0") || !usable(input1, "input 1"))
    return 0;

  effect->time = time;
  FXNode::evaluate_controls(time, false);
  effect->length = static_cast<double>(get_input_length(0));

  FrameScope scope{*effect};
  try {
    // The buffers are kept between frames and reused while the sizes hold. Without a
    // second input the matte is the source itself. The output buffer is not filled from
    // the host's image: the frame driver overwrites all of it with the source first.
    import_image_into(input0, output, frame_source);
    fill_input_slot(effect->source_image, frame_source.get(), input0, 0, this);
    if (input1 != nullptr) {
      import_image_into(input1, output, frame_matte);
      fill_input_slot(effect->matte_image, frame_matte.get(), input1, 1, this);
    } else {
      frame_matte.reset();
      fill_input_slot(effect->matte_image, frame_source.get(), input0, 0, this);
    }
    if (!frame_output || frame_output->width != output->width ||
        frame_output->height != output->height) {
      frame_output.reset();
      frame_output = std::make_unique<ImageBuffer>(output->width, output->height);
    }
    ImageBuffer* out = frame_output.get();
    effect->output_image.image = out;

    int width = 0, height = 0;
    get_output_size(width, height);
    const double correction = aspect_correction(get_aspect(), width, height);
    out->aspectX = correction > 0.0 ? correction : 1.0;

    for (ControlKv* control : control_table(*effect)) control->fetch();
    if (first_process_pending) {
      first_process_pending = false;
      effect->controls_changed();
    }
    // A catch-up frame advances the simulation exactly as a drawn one, without
    // drawing, and leaves the host's output as it was.
    const bool catch_up = host_catch_up();
    effect->draw_suppressed = catch_up ? 1 : 0;
    effect->element_only = host_element();
    effect->render();
    effect->draw_suppressed = 0;

    if (!catch_up) export_image(out, output);
  } catch (const std::bad_alloc&) {
    frame_source.reset();
    frame_matte.reset();
    frame_output.reset();
    char text[200];
    std::snprintf(text, sizeof text,
                  "Vexlings.Brumel: frame %g refused: not enough memory for its image "
                  "buffers (%d x %d).",
                  time, output->width, output->height);
    msgwarn(text);
    return 0;
  }
  return 1;
}

bool BrumelNode::evaluate_controls(double time, bool flag) {
  // Fetching first gives the effect the values held before this evaluation.
  if (effect != nullptr)
    for (ControlKv* control : control_table(*effect)) control->fetch();
  return FXNode::evaluate_controls(time, flag);
}

}  // namespace brumel
