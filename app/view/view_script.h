#pragma once
// Scripted viewer sessions (--script FILE): one action a line, run in order,
// each in a GUI frame of its own, through the same functions as the window's
// controls. Blank lines and lines starting with '#' are skipped; names with
// blanks are written in double quotes.
//
//   set "NAME" VALUE     assign a widget as the panel does ("Use Gravity" on)
//   press "NAME"         press a button of the panel ("Restart", "#6")
//   click "NAME"         click the middle of a widget of the shown page with
//                        the window's pointer (a checkbox toggles, a slider
//                        takes the value under the pointer)
//   drag X1,Y1 X2,Y2 [N] press at X1,Y1 (view pixels of the frame), move in N
//                        steps (default 8), release at X2,Y2
//   play | pause         start or stop playing (one frame per GUI frame)
//   step [N]             render the next N frames (default 1)
//   frame N              go to frame N (rendered as the simulation's next step)
//   restart              "Restart" pressed and back to the first frame
//   loop on|off          wrap at the last frame or stop there
//   wait [N]             let N GUI frames pass (default 1)
//   page "NAME"          show a page of the panel ("Forces")
//   zoom fit|FACTOR      window pixels per frame pixel
//   overlay on|off       draw the node's overlay or not
//   open PATH | save PATH  settings document, as the panel's Open and Save
//   screenshot PATH      the whole window as an image (.png, .ppm, ...)
//   state PATH           the viewer's state as JSON
//   quit                 close the window and end with status 0
#include <optional>
#include <string>
#include <vector>

namespace brumel {

struct ScriptAction {
  enum class Kind {
    Set,
    Press,
    Click,
    Drag,
    Play,
    Pause,
    Step,
    Frame,
    Restart,
    Loop,
    Wait,
    Page,
    Zoom,
    Overlay,
    Open,
    Save,
    Screenshot,
    State,
    Quit
  };
  Kind kind = Kind::Wait;
  int line = 0;                                   // in the script file, from 1
  std::string name;                               // widget or page name, or a file path
  std::string value;                              // set: the value text
  int count = 1;                                  // step, wait, frame: the number; drag: the moves
  double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;  // drag, in view pixels
  std::optional<double> zoom;                     // zoom: empty for fit
  bool on = true;                                 // loop, overlay
};

struct Script {
  std::string path;
  std::vector<ScriptAction> actions;
  // "script FILE line N: " for messages about an action.
  std::string where(const ScriptAction& action) const;
};

// Reads and checks a script (actions and their arguments; widget and page
// names are checked when the node exists). Throws AppError naming the file,
// the line and what is wrong.
Script read_script(const std::string& path);

}  // namespace brumel
