#pragma once
// What a host may do that the plugin cannot follow, noticed so that a person is
// told once on standard error instead of getting a wrong clip in silence.
namespace brumel {

// Records the frame size of an instance's first frame at host time `time`: true
// when the previous instance had another size and the clip is past its start
// (the host made a new instance for a new size in the middle of a clip).
bool size_changed_mid_clip(int width, int height, double time);

// Writes "brumel (frei0r): MESSAGE" on standard error, the first time for each `key`.
void say_once(const char* key, const char* message);

}  // namespace brumel
