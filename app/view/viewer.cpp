#include "app/view/viewer.h"

#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl2.h>
#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/app_error.h"
#include "app/embedding.h"
#include "assim/services.h"

namespace brumel {

namespace {

constexpr double kTransportHeight = 62.0;
const double kZoomChoices[] = {0.25, 0.5, 1.0, 2.0, 4.0};

std::string glfw_message() {
  const char* text = nullptr;
  glfwGetError(&text);
  return text != nullptr ? text : "unknown error";
}

Viewer* viewer_of(GLFWwindow* window) {
  return static_cast<Viewer*>(glfwGetWindowUserPointer(window));
}

void on_mouse_button(GLFWwindow* window, int button, int action, int /*mods*/) {
  if (button != GLFW_MOUSE_BUTTON_LEFT) return;
  double x = 0.0, y = 0.0;
  glfwGetCursorPos(window, &x, &y);
  if (action == GLFW_PRESS) viewer_of(window)->mouse_press(x, y);
  if (action == GLFW_RELEASE) viewer_of(window)->mouse_release(x, y);
}

void on_cursor(GLFWwindow* window, double x, double y) { viewer_of(window)->mouse_move(x, y); }

ShotOptions shot_for_viewer(ShotOptions shot) {
  shot.shot_start = shot.frames.first();  // the viewer plays the shot from its start
  return shot;
}

}  // namespace

Viewer::Viewer(ViewOptions options)
    : options_(std::move(options)),
      playback_(options_.shot.frames.span(), options_.fps, options_.script.empty()),
      overlay_(options_.overlay),
      zoom_(options_.zoom) {
  options_.shot = shot_for_viewer(options_.shot);
  if (!options_.script.empty()) script_ = read_script(options_.script);
  shot_ = prepare_shot(options_.shot);
  panel_.rebuild(node());
  // Names in the script are checked now, before a window opens.
  if (script_) {
    for (const ScriptAction& a : script_->actions) {
      try {
        if (a.kind == ScriptAction::Kind::Set) find_value_widget(node(), a.name);
        if (a.kind == ScriptAction::Kind::Press && a.name.rfind('#', 0) != 0) {
          find_button(node(), a.name);
        }
        if (a.kind == ScriptAction::Kind::Page && panel_.find_page(a.name) < 0) {
          throw AppError("the panel has no page \"" + a.name + "\"");
        }
      } catch (const AppError& e) {
        throw AppError(script_->where(a) + e.what());
      }
    }
  }
}

Viewer::~Viewer() { close_window(); }

int Viewer::run() {
  open_window();
  frame_loop();
  close_window();
  return 0;
}

void Viewer::open_window() {
  if (glfwInit() == GLFW_FALSE) {
    throw AppError("cannot open a window: " + glfw_message() +
                   " (no display? xvfb-run gives a virtual one)");
  }
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 2);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 1);
  const std::string title = "brumel view - " + shot_->module.node_name();
  window_ = glfwCreateWindow(options_.window.width, options_.window.height, title.c_str(), nullptr,
                             nullptr);
  if (window_ == nullptr) {
    const std::string why = glfw_message();
    glfwTerminate();
    throw AppError("cannot open a " + std::to_string(options_.window.width) + "x" +
                   std::to_string(options_.window.height) + " window with OpenGL 2.1: " + why);
  }
  glfwMakeContextCurrent(window_);
  glfwSwapInterval(script_ ? 0 : 1);
  glfwSetWindowUserPointer(window_, this);
  // Installed before the GUI's, which calls them before taking the event.
  glfwSetMouseButtonCallback(window_, on_mouse_button);
  glfwSetCursorPosCallback(window_, on_cursor);

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGui::GetIO().IniFilename = nullptr;  // no imgui.ini left in the working folder
  ImGui::StyleColorsDark();
  ImGui_ImplGlfw_InitForOpenGL(window_, true);
  ImGui_ImplOpenGL2_Init();
  imgui_ready_ = true;
  frame_view_.emplace();
  install_gl_antialiasing();
}

void Viewer::close_window() {
  if (window_ == nullptr) return;
  set_gl_antialiasing_handler(nullptr);
  frame_view_.reset();
  if (imgui_ready_) {
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
    imgui_ready_ = false;
  }
  glfwDestroyWindow(window_);
  window_ = nullptr;
  glfwTerminate();
}

void Viewer::frame_loop() {
  while (!quit_ && glfwWindowShouldClose(window_) == GLFW_FALSE) {
    wait_for_events();
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
    layout_areas();
    if (script_) run_script_frame();
    handle_keys();
    draw_panel();
    draw_transport();
    take_node_requests();
    render_due_frame();
    layout_areas();  // a new node may have another frame size
    ImGui::Render();
    draw_window();
    if (pending_output_ != nullptr) finish_script_outputs();
    glfwSwapBuffers(window_);
  }
}

void Viewer::wait_for_events() {
  const double now = glfwGetTime();
  // Playing, a pending render, a script, or the GUI settling after input:
  // draw again at once; otherwise sleep until an event (or the next frame).
  if (script_ || redraw_frames_ > 0 || playback_.next_frame(now)) {
    glfwPollEvents();
    redraw_frames_ = std::max(redraw_frames_ - 1, 0);
    return;
  }
  glfwWaitEventsTimeout(playback_.playing() ? playback_.seconds_to_next(now) : 0.5);
  redraw_frames_ = 2;  // an event arrived (or a timeout): let the GUI settle
}

void Viewer::layout_areas() {
  int width = 0, height = 0;
  glfwGetWindowSize(window_, &width, &height);
  window_width_ = std::max(width, 1);
  window_height_ = std::max(height, 1);
  const double panel_width = std::clamp(window_width_ * 0.42, 520.0, 760.0);
  const double view_width = std::max(window_width_ - panel_width, 1.0);
  panel_area_ = {view_width, 0.0, window_width_ - view_width, window_height_};
  transport_area_ = {0.0, std::max(window_height_ - kTransportHeight, 0.0), view_width,
                     std::min(kTransportHeight, window_height_)};
  view_area_ = {0.0, 0.0, view_width, transport_area_.y};
  int frame_width = 0, frame_height = 0;
  node().get_output_size(frame_width, frame_height);
  const double correction = aspect_correction(node().get_aspect(), frame_width, frame_height);
  geometry_ = place_frame(view_area_, frame_width, frame_height,
                          correction > 0.0 ? correction : 1.0, zoom_ ? &*zoom_ : nullptr);
}

void Viewer::show_message(const std::string& text, bool error) {
  message_ = text;
  message_is_error_ = error;
}

void Viewer::draw_panel() {
  ImGui::SetNextWindowPos(ImVec2(static_cast<float>(panel_area_.x), 0.0f));
  ImGui::SetNextWindowSize(
      ImVec2(static_cast<float>(panel_area_.width), static_cast<float>(panel_area_.height)));
  ImGui::Begin("Controls", nullptr,
               ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse |
                   ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoScrollWithMouse |
                   ImGuiWindowFlags_NoBringToFrontOnFocus);
  ImGui::TextUnformatted(shot_->module.node_name().c_str());
  ImGui::Separator();
  panel_.draw(node(), [this](CWidget& widget) { widget_edited(widget); });

  ImGui::Separator();
  ImGui::TextUnformatted("Settings document");
  ImGui::SetNextItemWidth(-120.0f);
  ImGui::InputTextWithHint("##settings", "settings.json", &settings_path_);
  ImGui::SameLine();
  if (ImGui::Button("Open")) open_settings(settings_path_);
  ImGui::SameLine();
  if (ImGui::Button("Save")) save_settings(settings_path_);
  if (!message_.empty()) {
    const ImVec4 colour =
        message_is_error_ ? ImVec4(1.0f, 0.45f, 0.4f, 1.0f) : ImVec4(0.6f, 0.9f, 0.6f, 1.0f);
    ImGui::PushTextWrapPos(0.0f);
    ImGui::TextColored(colour, "%s", message_.c_str());
    ImGui::PopTextWrapPos();
  }
  ImGui::End();
}

void Viewer::draw_transport() {
  ImGui::SetNextWindowPos(
      ImVec2(static_cast<float>(transport_area_.x), static_cast<float>(transport_area_.y)));
  ImGui::SetNextWindowSize(ImVec2(static_cast<float>(transport_area_.width),
                                  static_cast<float>(transport_area_.height)));
  ImGui::Begin("Transport", nullptr,
               ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse |
                   ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoScrollbar |
                   ImGuiWindowFlags_NoBringToFrontOnFocus);
  if (ImGui::Button(playback_.playing() ? "Pause" : "Play", ImVec2(56.0f, 0.0f))) {
    playback_.playing() ? pause() : play();
  }
  ImGui::SameLine();
  if (ImGui::Button("Step")) step(1);
  ImGui::SameLine();
  if (ImGui::Button("Restart")) restart();
  ImGui::SameLine();
  bool loop = playback_.loop();
  if (ImGui::Checkbox("Loop", &loop)) playback_.set_loop(loop);
  ImGui::SameLine();
  ImGui::Checkbox("Overlay", &overlay_);
  ImGui::SameLine();
  ImGui::SetNextItemWidth(70.0f);
  std::string zoom_text =
      zoom_ ? std::to_string(static_cast<int>(std::lround(*zoom_ * 100.0))) + "%" : "Fit";
  if (ImGui::BeginCombo("##zoom", zoom_text.c_str())) {
    if (ImGui::Selectable("Fit", !zoom_)) zoom_.reset();
    for (double z : kZoomChoices) {
      const std::string label = std::to_string(static_cast<int>(z * 100.0)) + "%";
      if (ImGui::Selectable(label.c_str(), zoom_ && *zoom_ == z)) zoom_ = z;
    }
    ImGui::EndCombo();
  }
  ImGui::SameLine();
  const FrameRange frames = playback_.frames();
  int frame = playback_.current();
  ImGui::SetNextItemWidth(-FLT_MIN);
  if (ImGui::SliderInt("##frame", &frame, frames.first, frames.last, "frame %d") &&
      frame != playback_.current()) {
    go_to(frame);
  }

  std::string status = "Frame " + std::to_string(playback_.current()) + " (time " +
                       std::to_string(playback_.current()) + ".0) of " +
                       std::to_string(frames.first) + "-" + std::to_string(frames.last);
  char figures[96];
  std::snprintf(figures, sizeof figures, "   render %.1f ms", last_render_ms_);
  status += figures;
  if (playback_.playing() && playback_.playing_fps() > 0.0) {
    std::snprintf(figures, sizeof figures, "   playing %.1f fps", playback_.playing_fps());
    status += figures;
  }
  ImGui::TextUnformatted(status.c_str());
  if (!message_.empty()) {
    ImGui::SameLine();
    ImGui::TextColored(
        message_is_error_ ? ImVec4(1.0f, 0.45f, 0.4f, 1.0f) : ImVec4(0.6f, 0.9f, 0.6f, 1.0f),
        "   %s", message_.c_str());
  }
  ImGui::End();
}

void Viewer::handle_keys() {
  if (ImGui::GetIO().WantCaptureKeyboard) return;
  if (ImGui::IsKeyPressed(GLFW_KEY_SPACE, false)) playback_.playing() ? pause() : play();
  if (ImGui::IsKeyPressed(GLFW_KEY_RIGHT)) step(1);
  if (ImGui::IsKeyPressed(GLFW_KEY_HOME, false)) restart();
}

void Viewer::widget_edited(CWidget& widget) {
  node().notify_control_changed(&widget, FXNode::kUserEdit, static_cast<double>(playback_.current()));
  // As a host does after a user's edit: the shown frame no longer holds.
  playback_.refresh();
}

void Viewer::play() { playback_.play(); }
void Viewer::pause() { playback_.pause(); }
void Viewer::step(int frames) { playback_.step(frames); }
void Viewer::go_to(int frame) { playback_.go_to(frame); }

void Viewer::restart() {
  widget_edited(find_button(node(), "Restart"));
  playback_.go_to(playback_.frames().first);
}

bool Viewer::gui_wants_mouse(double x, double y) const {
  return ImGui::GetIO().WantCaptureMouse || !view_area_.contains(x, y);
}

void Viewer::mouse_press(double x, double y) {
  mouse_.press(node(), geometry_, x, y, gui_wants_mouse(x, y));
}

void Viewer::mouse_move(double x, double y) {
  mouse_.move(node(), geometry_, x, y, gui_wants_mouse(x, y));
}

void Viewer::mouse_release(double x, double y) { mouse_.release(node(), geometry_, x, y); }

bool Viewer::open_settings(const std::string& path) {
  if (path.empty()) {
    show_message("Open: give the path of a settings document", true);
    return false;
  }
  ShotOptions shot = options_.shot;
  shot.settings = SettingsRequest{};
  shot.settings.load_file = path;
  shot.settings.preroll = options_.shot.settings.preroll;
  shot.settings.default_mode = options_.shot.settings.default_mode;  // a partial document renders
  try {
    std::unique_ptr<Shot> fresh = prepare_shot(shot);
    mouse_.reset();
    shot_ = std::move(fresh);
  } catch (const AppError& e) {
    // The document is read as for --load; here it came from Open.
    std::string why = e.what();
    if (why.rfind("--load: ", 0) == 0) why.erase(0, 8);
    show_message("Open: " + why, true);
    return false;
  }
  panel_.rebuild(node());
  overlay_updates_seen_ = 0;
  playback_.go_to(playback_.frames().first);
  show_message("opened \"" + path + "\": a new node plays from frame " +
                   std::to_string(playback_.frames().first),
               false);
  return true;
}

bool Viewer::save_settings(const std::string& path) {
  if (path.empty()) {
    show_message("Save: give the path of a settings document", true);
    return false;
  }
  RegV document;
  std::string error;
  if (!node().reg_save(document)) {
    error = "the node could not save its settings";
  } else {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    document.write_file(path, error);
  }
  if (!error.empty()) {
    show_message("Save: " + error, true);
    return false;
  }
  show_message("saved the settings to \"" + path + "\"", false);
  return true;
}

void Viewer::take_node_requests() {
  FXNode& n = node();
  // A dropped cache (a handle's drag ended, a change with reason 2): the shown
  // frame is rendered again; playing simply goes on.
  if (!n.invalidations.empty()) {
    n.invalidations.clear();
    playback_.refresh();
  }
  if (n.overlay_updates != overlay_updates_seen_) {
    overlay_updates_seen_ = n.overlay_updates;
    redraw_frames_ = std::max(redraw_frames_, 1);
  }
}

void Viewer::render_due_frame() {
  const double now = glfwGetTime();
  const std::optional<Playback::Due> due = playback_.next_frame(now);
  if (!due) return;
  try {
    // An edit or a dropped cache: the shown frame is rendered again from the shot
    // start with the settings as they now are, as `render` would write it.
    if (due->cause == Playback::Cause::Refresh) shot_->driver->restart();
    const HostImage& image = shot_->driver->process(due->frame, false);
    frame_view_->upload(image);
    ++rendered_frames_;
  } catch (const AppError& e) {
    playback_.pause();
    if (script_) {
      report_node_messages(due->frame);
      throw;
    }
    show_message(e.what(), true);
  }
  report_node_messages(due->frame);
  const double done = glfwGetTime();
  last_render_ms_ = (done - now) * 1000.0;
  playback_.rendered(*due, done);
  redraw_frames_ = std::max(redraw_frames_, 1);
}

void Viewer::report_node_messages(int frame) {
  for (const NodeMessage& message : node_messages_.take()) {
    std::fprintf(stderr, "%s\n", node_message_line(frame, message).c_str());
  }
}

void Viewer::draw_window() {
  int fb_width = 0, fb_height = 0;
  glfwGetFramebufferSize(window_, &fb_width, &fb_height);
  glViewport(0, 0, fb_width, fb_height);
  frame_view_->draw_frame(geometry_, view_area_, window_width_, window_height_);
  if (overlay_) {
    FrameView::draw_overlay(node(), geometry_, view_area_, window_width_, window_height_);
  }
  ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}

}  // namespace brumel
