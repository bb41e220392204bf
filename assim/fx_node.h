#pragma once
// FXNode: the host's node base class. A node module derives its node from it,
// overrides the operations it needs and creates its widgets with the factories.
// The host side (the application, tests) sets the output format and input
// lengths and reads what the node asked for (invalidations, overlay redraws).
#include <memory>
#include <string>
#include <vector>

#include "assim/control_layout.h"
#include "assim/image.h"
#include "assim/regv.h"
#include "assim/widgets.h"

class MediaDescriptor {
 public:
  virtual ~MediaDescriptor() = default;
};

class RegIO {
 public:
  virtual ~RegIO() = default;
  // Writes every widget's kind, name, index, value and keys.
  virtual bool reg_save(RegV& out) const = 0;
  // Restores widget values and keys. A malformed or mismatched document changes
  // nothing and returns false; `error` then says what is wrong.
  virtual bool reg_load(const RegV& in, std::string* error = nullptr) = 0;
};

class FXNode : public MediaDescriptor, public RegIO {
 public:
  FXNode();
  ~FXNode() override;
  FXNode(const FXNode&) = delete;
  FXNode& operator=(const FXNode&) = delete;

  // --- operations a node overrides, in the order of the host's table ---
  // Base: "" and one input exactly.
  virtual const char* get_description();
  virtual void get_input_limits(int& min_inputs, int& max_inputs);
  // Base: counted in output_change_notices.
  virtual void notify_output_changed();
  // Renders one frame: 1 when rendered, 0 when refused. inputs[0] is required,
  // inputs[1] may be null.
  virtual int process_image(double time, _image_str** inputs, _image_str* output);
  // Base: places every widget not excluded from layout at row = index, column 0.
  virtual bool layout_controls(ControlLayout& layout);
  // Brings every keyed widget to `time`; time -1.0 means "now" (nothing changes).
  virtual bool evaluate_controls(double time, bool flag);
  // The reason a host gives for an edit a person made (in a panel, a settings file or
  // on the command line), as opposed to the node's own assignments.
  static constexpr int kUserEdit = 1;
  // The host's base reaction to a changed widget: recorded in changes().
  virtual bool notify_control_changed(CWidget* widget, int reason, double time);
  virtual bool overlay_draw(void* context);
  virtual bool has_overlay();
  virtual bool overlay_mouse(void* context, int kind, MouseEvent* event);

  // The settings document: format, version, node name and uuid, and one entry per
  // widget in index order. Loading checks all of it before any widget changes.
  bool reg_save(RegV& out) const override;
  bool reg_load(const RegV& in, std::string* error = nullptr) override;

  // --- services for the node ---
  void set_name(const char* name);
  const std::string& name() const { return name_; }
  char node_uuid[48] = {};

  CLabel* Label(const char* name);
  CNumeric* Numeric(const char* name, double def, double min, double max, double increment,
                    bool flag);
  CBoolean* Boolean(const char* name, bool def, bool flag);
  COption* Option(const char* caption, const char* entries, int def);
  CColor* Color(const char* name, double r, double g, double b, double a, bool flag);
  CAction* Action(const char* name);

  int num_controls() const { return static_cast<int>(widgets_.size()); }
  CWidget* control(int index) const;  // null outside 0..num_controls()-1
  // The first widget with this name (several pages may repeat a name), or null.
  CWidget* find_control(const std::string& name) const;

  int get_input_length(int input) const;
  void get_output_size(int& width, int& height) const;
  double get_aspect() const;
  void invalidate_range(double from, double to);
  void set_ovl_update_pending();

  // --- host side: the application and tests drive these ---
  void host_set_output_size(int width, int height);
  void host_set_aspect(double pixel_aspect);
  void host_set_input_length(int input, int frames);
  // Catch-up hint: while set, the host wants frames simulated but not drawn (a
  // render farm catching a chunk up to its first frame). A node keeps its state
  // exactly as a drawn frame would and leaves the output image untouched.
  void host_set_catch_up(bool on) { catch_up_ = on; }
  bool host_catch_up() const { return catch_up_; }
  // Element switch: while set, the host wants the cloud alone over transparent black
  // (colour premultiplied, alpha the coverage the blend accumulates) instead of the
  // composite over input 0. The input is still read for everything else (the birth
  // matte), so the simulation is that of the composite.
  void host_set_element(bool on) { element_ = on; }
  bool host_element() const { return element_; }

  struct Invalidation {
    double from;
    double to;
  };
  struct Change {
    CWidget* widget;
    int reason;
    double time;
  };
  // What the node asked of the host, in order. The host may clear them.
  std::vector<Invalidation> invalidations;
  int overlay_updates = 0;         // set_ovl_update_pending calls
  int output_change_notices = 0;   // base notify_output_changed calls
  std::vector<Change> changes;     // base notify_control_changed calls

 private:
  template <class W, class... A>
  W* add_widget(A&&... args);

  std::string name_;
  std::vector<std::unique_ptr<CWidget>> widgets_;
  int output_width_ = 0;
  int output_height_ = 0;
  double aspect_ = 1.0;
  int input_lengths_[2] = {0, 0};
  bool catch_up_ = false;
  bool element_ = false;
};

// The three entry points a node module exports with C linkage.
extern "C" {
using FXNode_info_fn = const char* (*)(char* uuid_out);
using FXNode_create_fn = FXNode* (*)();
using FXNode_load_fn = FXNode* (*)(RegV* saved);
}
