#pragma once
// A recording OpenGL double. Test executables define glColor4f, glBegin, glVertex2f
// and glEnd here (with C linkage, as a host process does for a module it loads) and
// record every call, together with the host's gl_antialiasing switches, in one stream,
// so overlay drawing can be checked vertex by vertex. Single-threaded: only the
// overlay draws.
#include <array>
#include <string>
#include <vector>

namespace gl_recorder {

enum class Kind { Colour, Begin, Vertex, End, Antialiasing };

struct Call {
  Kind kind;
  float v[4];     // Colour: r, g, b, a; Vertex: x, y
  unsigned mode;  // Begin: GL_LINES, GL_LINE_LOOP, ...
  int on;         // Antialiasing: the argument
};

struct Colour {
  float r, g, b, a;
};

struct Point {
  float x, y;  // as sent to OpenGL: view pixels less half the view size
};

struct Segment {
  Point from, to;
  Colour colour;  // current when the group began
};

struct Loop {
  std::vector<Point> points;
  Colour colour;
};

// Forgets every call and installs the recorder as the gl_antialiasing handler (the
// recorder also installs itself at start-up). The current colour becomes 0, 0, 0, 0.
void clear();
// Every call since the last clear, in order.
const std::vector<Call>& calls();
// The vertex pairs of every GL_LINES group, in order, each point moved by (dx, dy)
// (half the view size gives view pixels).
std::vector<Segment> segments(float dx = 0, float dy = 0);
// The vertices of every GL_LINE_LOOP group, in order, moved alike.
std::vector<Loop> loops(float dx = 0, float dy = 0);
// Each segment's ends as x0, y0, x1, y1, rounded to 1/1024 pixel: tables of expected
// segments compare whole, whether the arithmetic behind them is exact or not.
using Ends = std::array<float, 4>;
std::vector<Ends> ends(const std::vector<Segment>& segments);
// Empty when the stream is made of whole groups, each gl_antialiasing(1), glBegin,
// vertices (pairs for GL_LINES), glEnd, gl_antialiasing(0), with colours only between
// groups; otherwise the calls, a letter each: c colour, [ and ] antialiasing on and off,
// l glBegin(GL_LINES), b another glBegin, v vertex, e glEnd.
std::string malformed();

}  // namespace gl_recorder
