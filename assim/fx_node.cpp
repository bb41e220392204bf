#include "assim/fx_node.h"

#include <utility>

#include "assim/services.h"

FXNode::FXNode() = default;

FXNode::~FXNode() { FXNode_unregister(this); }

const char* FXNode::get_description() { return ""; }

void FXNode::get_input_limits(int& min_inputs, int& max_inputs) {
  min_inputs = 1;
  max_inputs = 1;
}

void FXNode::notify_output_changed() { ++output_change_notices; }

int FXNode::process_image(double, _image_str**, _image_str*) { return 0; }

bool FXNode::layout_controls(ControlLayout& layout) {
  for (const auto& w : widgets_)
    if ((w->flags & CWidget::kLayoutExclusion) == 0) layout.place_widget(w.get(), w->index(), 0, 0, 1);
  return true;
}

bool FXNode::evaluate_controls(double time, bool) {
  if (time == -1.0) return true;
  for (const auto& w : widgets_)
    if (w->animated()) w->evaluate(time);
  return true;
}

bool FXNode::notify_control_changed(CWidget* widget, int reason, double time) {
  changes.push_back({widget, reason, time});
  return true;
}

bool FXNode::overlay_draw(void*) { return false; }
bool FXNode::has_overlay() { return false; }
bool FXNode::overlay_mouse(void*, int, MouseEvent*) { return false; }

void FXNode::set_name(const char* name) { name_ = name ? name : ""; }

template <class W, class... A>
W* FXNode::add_widget(A&&... args) {
  auto widget = std::make_unique<W>(this, num_controls(), std::forward<A>(args)...);
  W* raw = widget.get();
  widgets_.push_back(std::move(widget));
  return raw;
}

CLabel* FXNode::Label(const char* name) { return add_widget<CLabel>(std::string(name)); }

CNumeric* FXNode::Numeric(const char* name, double def, double min, double max,
                          double increment, bool flag) {
  return add_widget<CNumeric>(std::string(name), def, min, max, increment, flag);
}

CBoolean* FXNode::Boolean(const char* name, bool def, bool flag) {
  return add_widget<CBoolean>(std::string(name), def, flag);
}

COption* FXNode::Option(const char* caption, const char* entries, int def) {
  return add_widget<COption>(std::string(caption), std::string(entries ? entries : ""), def);
}

CColor* FXNode::Color(const char* name, double r, double g, double b, double a, bool flag) {
  return add_widget<CColor>(std::string(name), r, g, b, a, flag);
}

CAction* FXNode::Action(const char* name) { return add_widget<CAction>(std::string(name)); }

CWidget* FXNode::control(int index) const {
  if (index < 0 || index >= num_controls()) return nullptr;
  return widgets_[static_cast<std::size_t>(index)].get();
}

CWidget* FXNode::find_control(const std::string& name) const {
  for (const auto& w : widgets_)
    if (w->name() == name) return w.get();
  return nullptr;
}

int FXNode::get_input_length(int input) const {
  if (input < 0 || input > 1) return 0;
  return input_lengths_[input];
}

void FXNode::get_output_size(int& width, int& height) const {
  width = output_width_;
  height = output_height_;
}

double FXNode::get_aspect() const { return aspect_; }

void FXNode::invalidate_range(double from, double to) { invalidations.push_back({from, to}); }

void FXNode::set_ovl_update_pending() { ++overlay_updates; }

void FXNode::host_set_output_size(int width, int height) {
  output_width_ = width;
  output_height_ = height;
}

void FXNode::host_set_aspect(double pixel_aspect) { aspect_ = pixel_aspect; }

void FXNode::host_set_input_length(int input, int frames) {
  if (input < 0 || input > 1) return;
  input_lengths_[input] = frames;
}
