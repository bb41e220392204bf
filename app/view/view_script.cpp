#include "app/view/view_script.h"

#include <strings.h>

#include <fstream>
#include <map>

#include "app/app_error.h"
#include "assim/number_text.h"

namespace brumel {

namespace {

using Kind = ScriptAction::Kind;

// Words separated by blanks; a double-quoted word may hold blanks.
std::vector<std::string> split_words(const std::string& text, bool& unterminated) {
  std::vector<std::string> words;
  unterminated = false;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r') {
      ++i;
      continue;
    }
    std::string word;
    if (text[i] == '"') {
      const std::size_t close = text.find('"', i + 1);
      if (close == std::string::npos) {
        unterminated = true;
        return words;
      }
      word = text.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') {
        word += text[i++];
      }
    }
    words.push_back(word);
  }
  return words;
}

const std::map<std::string, Kind>& keywords() {
  static const std::map<std::string, Kind> table{{"set", Kind::Set},
                                                 {"press", Kind::Press},
                                                 {"click", Kind::Click},
                                                 {"drag", Kind::Drag},
                                                 {"play", Kind::Play},
                                                 {"pause", Kind::Pause},
                                                 {"step", Kind::Step},
                                                 {"frame", Kind::Frame},
                                                 {"restart", Kind::Restart},
                                                 {"loop", Kind::Loop},
                                                 {"wait", Kind::Wait},
                                                 {"page", Kind::Page},
                                                 {"zoom", Kind::Zoom},
                                                 {"overlay", Kind::Overlay},
                                                 {"open", Kind::Open},
                                                 {"save", Kind::Save},
                                                 {"screenshot", Kind::Screenshot},
                                                 {"state", Kind::State},
                                                 {"quit", Kind::Quit}};
  return table;
}

class LineReader {
 public:
  LineReader(const Script& script, int line, std::vector<std::string> words)
      : prefix_("script \"" + script.path + "\" line " + std::to_string(line) + ": "),
        words_(std::move(words)) {}

  AppError error(const std::string& what) const { return AppError(prefix_ + what); }

  std::size_t size() const { return words_.size(); }
  const std::string& word(std::size_t i) const { return words_[i]; }

  void expect_count(std::size_t least, std::size_t most, const std::string& usage) const {
    if (words_.size() < least || words_.size() > most) {
      throw error("expected \"" + usage + "\"");
    }
  }
  int whole(std::size_t i, int least, const char* what) const {
    const std::optional<double> v = parse_number(words_[i]);
    if (!v || *v != static_cast<double>(static_cast<long long>(*v)) || *v < least || *v > 1e9) {
      throw error(std::string(what) + " \"" + words_[i] + "\" is not a whole number of at least " +
                  std::to_string(least));
    }
    return static_cast<int>(*v);
  }
  void point(std::size_t i, double& x, double& y) const {
    const std::string& text = words_[i];
    const std::size_t comma = text.find(',');
    std::optional<double> px, py;
    if (comma != std::string::npos) {
      px = parse_number(std::string_view(text).substr(0, comma));
      py = parse_number(std::string_view(text).substr(comma + 1));
    }
    if (!px || !py) throw error("point \"" + text + "\": expected X,Y in view pixels");
    x = *px;
    y = *py;
  }
  bool on_off(std::size_t i) const {
    if (strcasecmp(words_[i].c_str(), "on") == 0) return true;
    if (strcasecmp(words_[i].c_str(), "off") == 0) return false;
    throw error("\"" + words_[i] + "\": expected on or off");
  }

 private:
  std::string prefix_;
  std::vector<std::string> words_;
};

ScriptAction read_action(const LineReader& in, Kind kind) {
  ScriptAction a;
  a.kind = kind;
  switch (kind) {
    case Kind::Set: {
      if (in.size() < 3) throw in.error("expected \"set NAME VALUE\"");
      a.name = in.word(1);
      for (std::size_t i = 2; i < in.size(); ++i) a.value += (i > 2 ? " " : "") + in.word(i);
      break;
    }
    case Kind::Press:
    case Kind::Click:
      in.expect_count(2, 2, in.word(0) + " NAME");
      a.name = in.word(1);
      break;
    case Kind::Drag:
      in.expect_count(3, 4, "drag X1,Y1 X2,Y2 [MOVES]");
      in.point(1, a.x1, a.y1);
      in.point(2, a.x2, a.y2);
      a.count = in.size() == 4 ? in.whole(3, 1, "moves") : 8;
      break;
    case Kind::Step:
    case Kind::Wait:
      in.expect_count(1, 2, kind == Kind::Step ? "step [N]" : "wait [N]");
      a.count = in.size() == 2 ? in.whole(1, 0, "count") : 1;
      break;
    case Kind::Frame: {
      in.expect_count(2, 2, "frame N");
      const std::optional<double> v = parse_number(in.word(1));
      if (!v || *v != static_cast<double>(static_cast<long long>(*v)) || *v < -1e9 || *v > 1e9) {
        throw in.error("frame \"" + in.word(1) + "\" is not a whole number");
      }
      a.count = static_cast<int>(*v);
      break;
    }
    case Kind::Loop:
    case Kind::Overlay:
      in.expect_count(2, 2, kind == Kind::Loop ? "loop on|off" : "overlay on|off");
      a.on = in.on_off(1);
      break;
    case Kind::Zoom: {
      in.expect_count(2, 2, "zoom fit|FACTOR");
      if (strcasecmp(in.word(1).c_str(), "fit") != 0) {
        const std::optional<double> v = parse_number(in.word(1));
        if (!v || *v < 0.05 || *v > 64.0) {
          throw in.error("zoom \"" + in.word(1) + "\": expected fit or a factor from 0.05 to 64");
        }
        a.zoom = *v;
      }
      break;
    }
    case Kind::Page:
    case Kind::Open:
    case Kind::Save:
    case Kind::Screenshot:
    case Kind::State:
      in.expect_count(2, 2, in.word(0) + (kind == Kind::Page ? " NAME" : " PATH"));
      a.name = in.word(1);
      break;
    case Kind::Play:
    case Kind::Pause:
    case Kind::Restart:
    case Kind::Quit:
      in.expect_count(1, 1, "an action without arguments");
      break;
  }
  return a;
}

}  // namespace

std::string Script::where(const ScriptAction& action) const {
  return "script \"" + path + "\" line " + std::to_string(action.line) + ": ";
}

Script read_script(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw AppError("cannot read script \"" + path + "\"");
  Script script;
  script.path = path;
  std::string text;
  int line = 0;
  while (std::getline(in, text)) {
    ++line;
    bool unterminated = false;
    std::vector<std::string> words = split_words(text, unterminated);
    LineReader reader(script, line, words);
    if (unterminated) throw reader.error("a double quote is not closed");
    if (words.empty() || words[0].rfind('#', 0) == 0) continue;
    std::string keyword = words[0];
    for (char& c : keyword) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto found = keywords().find(keyword);
    if (found == keywords().end()) {
      throw reader.error(
          "unknown action \"" + words[0] +
          "\" (set, press, click, drag, play, pause, step, frame, restart, loop, wait, "
          "page, zoom, overlay, open, save, screenshot, state, quit)");
    }
    ScriptAction action = read_action(reader, found->second);
    action.line = line;
    script.actions.push_back(std::move(action));
  }
  return script;
}

}  // namespace brumel
