// A scripted session: each action runs in a GUI frame of its own through the
// same operations as the window's controls.
#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>

#include <nlohmann/json.hpp>

#include "app/app_error.h"
#include "app/view/screenshot.h"
#include "app/view/view_state.h"
#include "app/view/viewer.h"
#include "app/embedding.h"

namespace brumel {

namespace {

using Kind = ScriptAction::Kind;

}  // namespace

void Viewer::run_script_frame() {
  if (warm_up_frames_ > 0) {
    --warm_up_frames_;
    return;
  }
  if (wait_frames_ > 0) {
    --wait_frames_;
    return;
  }
  if (drag_ != nullptr) {
    continue_drag();
    return;
  }
  if (click_ != nullptr) {
    continue_click();
    return;
  }
  if (next_action_ >= script_->actions.size()) return;  // done: the window stays open
  const ScriptAction& action = script_->actions[next_action_++];
  try {
    run_action(action);
  } catch (const AppError& e) {
    throw AppError(script_->where(action) + e.what());
  }
}

void Viewer::run_action(const ScriptAction& a) {
  switch (a.kind) {
    case Kind::Set: {
      CWidget& widget = find_value_widget(node(), a.name);
      std::string error;
      // The value a person typed is checked as the host checks it, then
      // reported exactly as an edit in the panel.
      if (!assign_user_value(widget, a.value, error)) throw AppError(error);
      widget_edited(widget);
      break;
    }
    case Kind::Press:
      widget_edited(find_button(node(), a.name));
      break;
    case Kind::Click:
      click_ = &a;
      click_phase_ = 0;
      continue_click();
      break;
    case Kind::Drag:
      drag_ = &a;
      drag_move_ = -1;
      continue_drag();
      break;
    case Kind::Play:
      play();
      break;
    case Kind::Pause:
      pause();
      break;
    case Kind::Step:
      // Each step is rendered at once, so the next action sees all of them.
      for (int i = 0; i < a.count; ++i) {
        step(1);
        render_due_frame();
      }
      break;
    case Kind::Frame:
      if (a.count < playback_.frames().first || a.count > playback_.frames().last) {
        throw AppError("frame " + std::to_string(a.count) + " is outside the shot " +
                       std::to_string(playback_.frames().first) + "-" +
                       std::to_string(playback_.frames().last));
      }
      go_to(a.count);
      break;
    case Kind::Restart:
      restart();
      break;
    case Kind::Loop:
      playback_.set_loop(a.on);
      break;
    case Kind::Wait:
      wait_frames_ = a.count > 0 ? a.count - 1 : 0;
      break;
    case Kind::Page:
      panel_.show_page(panel_.find_page(a.name));
      break;
    case Kind::Zoom:
      zoom_ = a.zoom;
      layout_areas();
      break;
    case Kind::Overlay:
      overlay_ = a.on;
      break;
    case Kind::Open:
      if (!open_settings(a.name)) throw AppError(message_);
      break;
    case Kind::Save:
      if (!save_settings(a.name)) throw AppError(message_);
      break;
    case Kind::Screenshot:
    case Kind::State:
      pending_output_ = &a;  // once this GUI frame is drawn
      break;
    case Kind::Quit:
      quit_ = true;
      break;
  }
}

void Viewer::continue_drag() {
  const ScriptAction& a = *drag_;
  const double x1 = geometry_.window_x(a.x1), y1 = geometry_.window_y(a.y1);
  const double x2 = geometry_.window_x(a.x2), y2 = geometry_.window_y(a.y2);
  // The window's pointer follows the script's, so that the panel judges
  // whether it wants the mouse just as for a person's pointer; it sees where
  // the pointer went at the next GUI frame.
  if (drag_move_ < 0) {
    glfwSetCursorPos(window_, x1, y1);
  } else if (drag_move_ == 0) {
    mouse_press(x1, y1);
  } else if (drag_move_ <= a.count) {
    const double t = static_cast<double>(drag_move_) / a.count;
    const double x = x1 + (x2 - x1) * t, y = y1 + (y2 - y1) * t;
    glfwSetCursorPos(window_, x, y);
    mouse_move(x, y);
  } else {
    mouse_release(x2, y2);
    drag_ = nullptr;
    return;
  }
  ++drag_move_;
}

void Viewer::continue_click() {
  switch (click_phase_++) {
    case 0: {
      const std::optional<WindowRect> rect = panel_.drawn_at(node(), click_->name);
      if (!rect) {
        throw AppError(script_->where(*click_) + "no widget \"" + click_->name +
                       "\" on the page shown, \"" + panel_.pages()[panel_.current_page()].name +
                       "\"");
      }
      glfwSetCursorPos(window_, rect->x + rect->width * 0.5, rect->y + rect->height * 0.5);
      break;
    }
    // The button goes down and up through the window's own mouse callbacks:
    // the panel takes the click as a person's (and the overlay does not).
    case 1:
      ImGui_ImplGlfw_MouseButtonCallback(window_, GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
      break;
    case 2:
      ImGui_ImplGlfw_MouseButtonCallback(window_, GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
      break;
    default:
      click_ = nullptr;
      break;
  }
}

void Viewer::finish_script_outputs() {
  const ScriptAction& a = *pending_output_;
  pending_output_ = nullptr;
  try {
    if (a.kind == Kind::Screenshot) write_screenshot(a.name);
    if (a.kind == Kind::State) write_state(a.name);
  } catch (const AppError& e) {
    throw AppError(script_->where(a) + e.what());
  }
}

void Viewer::write_state(const std::string& path) const {
  nlohmann::json pages = nlohmann::json::array();
  for (const PanelPage& page : panel_.pages()) pages.push_back(page.name);
  const WindowRect frame = geometry_.frame_rect();
  const nlohmann::json state{
      {"frame", playback_.current()},
      {"frames", {{"first", playback_.frames().first}, {"last", playback_.frames().last}}},
      {"playing", playback_.playing()},
      {"loop", playback_.loop()},
      {"rendered_frames", rendered_frames_},
      {"playing_fps", playback_.playing_fps()},
      {"last_render_ms", last_render_ms_},
      {"pages", pages},
      {"page", panel_.pages().empty() ? "" : panel_.pages()[panel_.current_page()].name},
      {"window", {{"width", window_width_}, {"height", window_height_}}},
      {"view",
       {{"width", geometry_.frame_width},
        {"height", geometry_.frame_height},
        {"left", frame.x},
        {"top", frame.y},
        {"scale_x", geometry_.scale_x()},
        {"scale_y", geometry_.scale},
        {"zoom", zoom_ ? nlohmann::json(*zoom_) : nlohmann::json("fit")}}},
      {"overlay", overlay_},
      {"overlay_updates", shot_->node->overlay_updates},
      {"message", message_},
      {"widgets", widgets_json(*shot_->node, panel_.pages())}};
  write_json_file(state, path);
}

}  // namespace brumel
