#include "tests/support/gl_recorder.h"

#include <GL/gl.h>

#include <cmath>
#include <regex>

#include "assim/services.h"

namespace gl_recorder {
namespace {

std::vector<Call>& stream() {
  static std::vector<Call> calls;
  return calls;
}

void record(Call call) { stream().push_back(call); }

void record_antialiasing(int on) { record({Kind::Antialiasing, {}, 0, on}); }

// Installed before main so that drawing in any test is recorded from the start.
const bool installed = (set_gl_antialiasing_handler(record_antialiasing), true);

// The vertices of every group drawn with `mode`, moved by (dx, dy), each with the colour
// current at its glBegin.
std::vector<Loop> groups(unsigned mode, float dx, float dy) {
  std::vector<Loop> out;
  Colour colour{0, 0, 0, 0};
  bool inside = false;
  for (const Call& c : stream()) {
    if (c.kind == Kind::Colour) colour = {c.v[0], c.v[1], c.v[2], c.v[3]};
    if (c.kind == Kind::Begin && (inside = c.mode == mode)) out.push_back({{}, colour});
    if (c.kind == Kind::Vertex && inside) out.back().points.push_back({c.v[0] + dx, c.v[1] + dy});
    if (c.kind == Kind::End) inside = false;
  }
  return out;
}

}  // namespace

void clear() {
  (void)installed;
  stream().clear();
  set_gl_antialiasing_handler(record_antialiasing);
}

const std::vector<Call>& calls() { return stream(); }

std::vector<Segment> segments(float dx, float dy) {
  std::vector<Segment> out;
  for (const Loop& g : groups(GL_LINES, dx, dy))
    for (std::size_t i = 0; i + 1 < g.points.size(); i += 2) out.push_back({g.points[i], g.points[i + 1], g.colour});
  return out;
}

std::vector<Loop> loops(float dx, float dy) { return groups(GL_LINE_LOOP, dx, dy); }

std::vector<Ends> ends(const std::vector<Segment>& segments) {
  auto round = [](float v) { return std::round(v * 1024.0f) / 1024.0f; };
  std::vector<Ends> out;
  for (const Segment& s : segments) out.push_back({round(s.from.x), round(s.from.y), round(s.to.x), round(s.to.y)});
  return out;
}

std::string malformed() {
  std::string letters;
  for (const Call& c : stream()) {
    const bool lines = c.kind == Kind::Begin && c.mode == GL_LINES;
    letters += "cbve?"[static_cast<int>(c.kind)];
    if (lines || c.kind == Kind::Antialiasing) letters.back() = lines ? 'l' : c.on == 1 ? '[' : c.on == 0 ? ']' : '?';
  }
  return std::regex_match(letters, std::regex(R"((c|\[(l(vv)*|bv*)e\])*)")) ? "" : "calls " + letters;
}

}  // namespace gl_recorder

extern "C" {

void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
  gl_recorder::record({gl_recorder::Kind::Colour, {red, green, blue, alpha}, 0, 0});
}

void glBegin(GLenum mode) { gl_recorder::record({gl_recorder::Kind::Begin, {}, mode, 0}); }

void glVertex2f(GLfloat x, GLfloat y) {
  gl_recorder::record({gl_recorder::Kind::Vertex, {x, y, 0, 0}, 0, 0});
}

void glEnd(void) { gl_recorder::record({gl_recorder::Kind::End, {}, 0, 0}); }

}  // extern "C"
