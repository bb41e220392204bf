#include "assim/services.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <deque>
#include <mutex>
#include <unordered_set>

namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_set<const FXNode*> nodes;
};

// Never destroyed, so that nodes living in static storage may still unregister at exit.
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

struct Warnings {
  static constexpr std::size_t kKept = 100;
  std::mutex mutex;
  std::deque<std::string> kept;
};

Warnings& warnings() {
  static Warnings* w = new Warnings;
  return *w;
}

std::atomic<GlAntialiasingHandler> gl_handler{nullptr};

}  // namespace

int FXNode_register(FXNode* node) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  if (node) r.nodes.insert(node);
  return 1;
}

bool FXNode_is_registered(const FXNode* node) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  return r.nodes.count(node) != 0;
}

void FXNode_unregister(const FXNode* node) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.nodes.erase(node);
}

double aspect_correction(double aspect, int width, int height) {
  if (std::isfinite(aspect) && aspect > 0.0 && width > 0 && height > 0) return aspect;
  return 0.0;
}

int gl_antialiasing(int on) {
  if (GlAntialiasingHandler handler = gl_handler.load()) handler(on);
  return 1;
}

GlAntialiasingHandler set_gl_antialiasing_handler(GlAntialiasingHandler handler) {
  return gl_handler.exchange(handler);
}

void msgwarn(const char* text) {
  std::string t = text ? text : "";
  auto& w = warnings();
  std::lock_guard lock(w.mutex);
  std::string line = "warning: " + t;
  if (line.back() != '\n') line += '\n';
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  w.kept.push_back(std::move(t));
  if (w.kept.size() > Warnings::kKept) w.kept.pop_front();
}

std::vector<std::string> msgwarn_history() {
  auto& w = warnings();
  std::lock_guard lock(w.mutex);
  return {w.kept.begin(), w.kept.end()};
}

void msgwarn_clear() {
  auto& w = warnings();
  std::lock_guard lock(w.mutex);
  w.kept.clear();
}
