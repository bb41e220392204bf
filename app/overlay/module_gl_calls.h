#pragma once

namespace brumel {

// The four OpenGL calls the node module makes (glColor4f, glBegin, glVertex2f,
// glEnd) are resolved from the host process when the module is loaded. The
// application defines them itself and routes them to the context a command
// draws into, so that which GL library comes first in the load order (OSMesa
// for `brumel overlay`, the system's libGL for a window) never decides where
// the overlay goes.

struct ModuleGlCalls {
  void (*color4f)(float r, float g, float b, float a) = nullptr;
  void (*begin)(unsigned mode) = nullptr;
  void (*vertex2f)(float x, float y) = nullptr;
  void (*end)() = nullptr;
};

// The four functions as `lookup` finds them by name: glfwGetProcAddress for a
// window's context, OSMesaGetProcAddress for an offscreen one. Entries it does
// not find stay null.
using GlProc = void (*)();
ModuleGlCalls module_gl_calls_from(GlProc (*lookup)(const char* name));

// Sends the module's calls to `calls` from now on and returns the previous
// routing. A routing with null entries (the default) sends each call to the
// next definition of its name in the load order, as if the application defined
// none. Single-threaded, like the viewer's drawing.
ModuleGlCalls route_module_gl_calls(const ModuleGlCalls& calls);

}  // namespace brumel
