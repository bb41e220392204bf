#pragma once
// The viewer window of `brumel view`: the node's output frame played through
// process_image, its control panel, its overlay with the mouse, and the
// transport. Every operation below is what a control of the window does; a
// script's actions call the same operations.
#include <memory>
#include <optional>
#include <string>

#include "app/shot/node_messages.h"
#include "app/view/control_panel.h"
#include "app/view/frame_view.h"
#include "app/view/overlay_mouse.h"
#include "app/view/playback.h"
#include "app/view/view_geometry.h"
#include "app/view/view_options.h"
#include "app/view/view_script.h"

struct GLFWwindow;  // the window library's own

namespace brumel {

class Viewer {
 public:
  // Prepares the shot (module, node, settings, inputs) and reads the script,
  // before any window opens. Throws AppError.
  explicit Viewer(ViewOptions options);
  ~Viewer();
  Viewer(const Viewer&) = delete;
  Viewer& operator=(const Viewer&) = delete;

  // Opens the window and runs until it is closed or the script quits. Returns
  // the exit status. Throws AppError (no display, a failing script action).
  int run();

  // --- what the window's controls do ---
  // The panel's edit function: the widget's new value (or a button's press)
  // is reported to the node as a user edit (reason 1) at the current frame's
  // time, and the shown frame is rendered again.
  void widget_edited(CWidget& widget);
  void play();
  void pause();
  void step(int frames);
  void go_to(int frame);
  // A fresh run from the shot start: "Restart" pressed as the host would, and
  // back to the first frame.
  void restart();
  // Left button and pointer, in window coordinates.
  void mouse_press(double x, double y);
  void mouse_move(double x, double y);
  void mouse_release(double x, double y);
  // The settings document: Open makes a new node from it (as the node is made
  // for --load) and plays from the first frame; Save writes the node's
  // settings. Both show their outcome in the window; false on failure.
  bool open_settings(const std::string& path);
  bool save_settings(const std::string& path);

 private:
  void open_window();
  void close_window();
  void frame_loop();
  void wait_for_events();
  void layout_areas();
  void draw_panel();
  void draw_transport();
  void handle_keys();
  void render_due_frame();
  void report_node_messages(int frame);  // those of the frame just processed
  void take_node_requests();
  void draw_window();
  // The panel or transport is under the pointer, or busy with the mouse.
  bool gui_wants_mouse(double x, double y) const;
  void show_message(const std::string& text, bool error);

  // Scripted sessions (viewer_script.cpp).
  void run_script_frame();
  void run_action(const ScriptAction& action);
  void continue_drag();
  void continue_click();
  void finish_script_outputs();
  void write_state(const std::string& path) const;

  FXNode& node() { return *shot_->node; }

  // The node's warnings, written on standard output, are shown on standard error.
  NodeMessages node_messages_;
  ViewOptions options_;
  std::unique_ptr<Shot> shot_;
  std::optional<Script> script_;
  Playback playback_;
  ControlPanel panel_;
  OverlayMouse mouse_;
  std::optional<FrameView> frame_view_;  // lives while the GL context does
  GLFWwindow* window_ = nullptr;
  bool imgui_ready_ = false;

  // Window areas (window units) and the frame's place in the view area.
  double window_width_ = 0.0, window_height_ = 0.0;
  WindowRect view_area_, panel_area_, transport_area_;
  ViewGeometry geometry_;
  bool overlay_ = true;
  std::optional<double> zoom_;

  // What the node asked of the host, as far as seen.
  int overlay_updates_seen_ = 0;
  int redraw_frames_ = 2;  // GUI frames still to draw before waiting for events
  double last_render_ms_ = 0.0;
  long rendered_frames_ = 0;

  std::string settings_path_;
  std::string message_;
  bool message_is_error_ = false;
  bool quit_ = false;

  // Script progress.
  std::size_t next_action_ = 0;
  int wait_frames_ = 0;
  int warm_up_frames_ = 2;  // GUI frames before the first action, for the panel to settle
  const ScriptAction* drag_ = nullptr;
  int drag_move_ = 0;  // -1 pointer to the start, 0 press, 1..count moves, then release
  const ScriptAction* click_ = nullptr;
  int click_phase_ = 0;  // 0 pointer to the widget, 1 press, 2 release, 3 the GUI takes it
  const ScriptAction* pending_output_ = nullptr;  // screenshot or state after drawing
};

}  // namespace brumel
