#pragma once
// The embedding library's names as the application uses them: the module, widget
// lookup, settings, host images, the default background and the frame player.
#include "embed/catch_up_reads.h"
#include "embed/default_background.h"
#include "embed/frame_player.h"
#include "embed/host_image.h"
#include "embed/name_suggestions.h"
#include "embed/node_module.h"
#include "embed/settings.h"
#include "embed/widget_lookup.h"

using brumel::apply_settings;
using brumel::birth_matte_ever_on;
using brumel::catch_up_reads;
using brumel::CatchUpReads;
using brumel::check_settings_folder;
using brumel::closest_names;
using brumel::default_background;
using brumel::did_you_mean;
using brumel::edit_distance;
using brumel::find_button;
using brumel::find_value_widget;
using brumel::hold_to_ranges;
using brumel::HostImage;
using brumel::KeyframeText;
using brumel::NodeDeleter;
using brumel::NodeModule;
using brumel::NodePtr;
using brumel::parse_keyframes;
using brumel::save_settings;
using brumel::settings_document;
using brumel::SettingsRequest;
using brumel::takes_value;
using brumel::value_widget_names;
