#pragma once
// The events of `brumel render --progress json`: one JSON object per line on
// standard error, each with an "event" name, for render-farm managers and
// pipeline tools. Times are seconds.
//   {"event":"start","shot_start":S,"first":A,"last":B,"frames":N,"catch_up":C}
//   {"event":"skipped","frame":F,"path":P}                 (--skip-existing)
//   {"event":"catch_up","first":A,"last":B,"frames":N,"seconds":T}
//   {"event":"frame","frame":F,"path":P,"seconds":T,"elapsed":E,"left":L,"done":D,"frames":N}
//   {"event":"end","frames":N,"catch_up":C,"seconds":T}
//   {"event":"warning","message":M}                       (settings that may be unmeant)
//   {"event":"node","frame":F,"message":M,"count":N}      (a line the node wrote N times in frame F)
//   {"event":"error","message":M}
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

namespace brumel {

// Writes `event` as one line and flushes, so that a reader sees it at once.
void write_event(std::FILE* out, const nlohmann::ordered_json& event);

// The error event of `message`.
void write_error_event(std::FILE* out, const std::string& message);

}  // namespace brumel
