#pragma once
// Free services of the host: registration, aspect correction, overlay line
// smoothing and warnings.
#include <string>
#include <vector>

class FXNode;

// Registers a node made by FXNode_create with the host. The result is 1.
int FXNode_register(FXNode* node);
// True while `node` is registered (a registered node unregisters when destroyed).
bool FXNode_is_registered(const FXNode* node);
// Forgets `node` (the FXNode destructor calls it; unknown nodes are ignored).
void FXNode_unregister(const FXNode* node);

// The pixel aspect of an output format `aspect` for a frame of width x height:
// the aspect itself when it is a finite number above 0 and the frame is not
// empty, else 0 (callers then use 1.0).
double aspect_correction(double aspect, int width, int height);

// Switches line smoothing and blending on (1) or off (0) in the viewer's drawing
// context, through the handler the host application installed. Returns 1.
int gl_antialiasing(int on);
using GlAntialiasingHandler = void (*)(int on);
// Installs the handler (null: nothing happens). Returns the previous one.
GlAntialiasingHandler set_gl_antialiasing_handler(GlAntialiasingHandler handler);

// Writes "warning: <text>" to standard error and keeps it (thread-safe).
void msgwarn(const char* text);
// The warnings shown so far (oldest first, at most the last 100), and a reset.
std::vector<std::string> msgwarn_history();
void msgwarn_clear();
