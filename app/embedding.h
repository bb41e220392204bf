#pragma once
// The embedding library's headers the application uses (one namespace, brumel): the
// module, widget lookup, settings, host images, the default background and the frame
// player.
#include "embed/catch_up_reads.h"
#include "embed/default_background.h"
#include "embed/frame_player.h"
#include "embed/host_image.h"
#include "embed/name_suggestions.h"
#include "embed/node_module.h"
#include "embed/settings.h"
#include "embed/widget_lookup.h"
