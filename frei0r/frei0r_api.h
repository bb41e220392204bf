#pragma once
// The frei0r API header, which declares its entry points without C linkage of
// its own: every host looks them up by their C names.
extern "C" {
#include <frei0r.h>
}
