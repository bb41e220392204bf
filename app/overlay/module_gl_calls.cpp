#include "app/overlay/module_gl_calls.h"

#include <GL/gl.h>
#include <dlfcn.h>

namespace brumel {

namespace {

ModuleGlCalls& routing() {
  static ModuleGlCalls calls;
  return calls;
}

// The library definition the application's own one hides, or null when no
// loaded library defines the name (then the call draws nothing).
template <class Fn>
Fn next_definition(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

}  // namespace

ModuleGlCalls module_gl_calls_from(GlProc (*lookup)(const char* name)) {
  ModuleGlCalls calls;
  calls.color4f = reinterpret_cast<decltype(calls.color4f)>(lookup("glColor4f"));
  calls.begin = reinterpret_cast<decltype(calls.begin)>(lookup("glBegin"));
  calls.vertex2f = reinterpret_cast<decltype(calls.vertex2f)>(lookup("glVertex2f"));
  calls.end = reinterpret_cast<decltype(calls.end)>(lookup("glEnd"));
  return calls;
}

ModuleGlCalls route_module_gl_calls(const ModuleGlCalls& calls) {
  const ModuleGlCalls previous = routing();
  routing() = calls;
  return previous;
}

}  // namespace brumel

// Exported from the executable (see app/CMakeLists.txt) so the module binds to
// these, whatever else is loaded.
extern "C" {

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
  static const auto fallback = brumel::next_definition<void (*)(GLfloat, GLfloat, GLfloat, GLfloat)>("glColor4f");
  const auto fn = brumel::routing().color4f != nullptr ? brumel::routing().color4f : fallback;
  if (fn != nullptr) fn(r, g, b, a);
}

void glBegin(GLenum mode) {
  static const auto fallback = brumel::next_definition<void (*)(GLenum)>("glBegin");
  const auto fn = brumel::routing().begin != nullptr ? brumel::routing().begin : fallback;
  if (fn != nullptr) fn(mode);
}

void glVertex2f(GLfloat x, GLfloat y) {
  static const auto fallback = brumel::next_definition<void (*)(GLfloat, GLfloat)>("glVertex2f");
  const auto fn = brumel::routing().vertex2f != nullptr ? brumel::routing().vertex2f : fallback;
  if (fn != nullptr) fn(x, y);
}

void glEnd() {
  static const auto fallback = brumel::next_definition<void (*)()>("glEnd");
  const auto fn = brumel::routing().end != nullptr ? brumel::routing().end : fallback;
  if (fn != nullptr) fn();
}

}  // extern "C"

