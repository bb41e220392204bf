#include "embed/widget_glossary.h"

#include "host/widget_names.h"

namespace brumel {

namespace {

constexpr WidgetKind kNumber = WidgetKind::Numeric;
constexpr WidgetKind kSwitch = WidgetKind::Boolean;
constexpr WidgetKind kOption = WidgetKind::Option;
constexpr WidgetKind kColour = WidgetKind::Color;
constexpr WidgetKind kButton = WidgetKind::Action;
constexpr WidgetKind kLabel = WidgetKind::Label;

// Positions are fractions of the frame measured from its top left corner; sizes
// scale with the frame's width, so that a shot looks the same at any resolution.
constexpr const char* kWidths = "frame widths";
constexpr const char* kHeights = "frame heights";
constexpr const char* kOfLife = "% of the life";
constexpr const char* kPuffSize = "1/400 frame width";
constexpr const char* kRgba = "red, green, blue, alpha, 0 to 1";

}  // namespace

const std::vector<WidgetGloss>& widget_glossary() {
  using namespace widget_names;
  static const std::vector<WidgetGloss> glossary{
      {kOption, kDemos, "Demos", "Demo preset: choosing one sets many widgets at once (brumel info --demo NAME lists them)", ""},
      {kButton, kRestart, "Restart", "Starts the simulation again, with no particles, at the next frame", ""},
      {kButton, kRestartPreRoll, "Restart+PreRoll", "Restart, then run the pre-roll steps unseen before the next frame", ""},
      {kButton, kPreRoll, "PreRoll", "Runs the pre-roll steps unseen before the next frame", ""},
      {kNumber, kPreRoll, "Pre-roll Steps", "Simulation steps run unseen when pre-roll is asked for", "frames"},
      {kOption, kMode, "Mode", "Render draws the cloud; Wireframe passes the input through and outlines each particle in the viewer", ""},
      {kNumber, "Quantity", "Quantity", "Mean number of particles born at a birth event", "particles"},
      {kNumber, "Continuity", "Continuity", "Chance that a frame has a birth event", "%"},
      {kNumber, "Lifetime", "Lifetime", "Mean life of a particle (give or take a tenth)", "frames"},
      {kNumber, "Birth_X", "Birth X", "Centre of the birth disc across the frame (0 left edge, 1 right edge)", kWidths},
      {kNumber, "Birth_Y", "Birth Y", "Centre of the birth disc down the frame (0 top edge, 1 bottom edge)", kHeights},
      {kNumber, "Cloud Size", "Cloud Size", "Radius of a puff (20: a twentieth of the frame width)", kPuffSize},
      {kNumber, "Cloud Size V", "Cloud Size Variation", "Spread of puff sizes about Cloud Size, up or down", "%"},
      {kSwitch, "Grow/Shrink", "Grow Shrink", "Puffs grow from Min Size after birth and shrink back to it before death", ""},
      {kNumber, "Grow(Life)", "Grow Life", "Part of a particle's life spent growing", kOfLife},
      {kNumber, "Shrink(Life)", "Shrink Life", "Part of a particle's life spent shrinking", kOfLife},
      {kNumber, "Min Size", "Min Size", "Radius a growing puff starts at and a shrinking one ends at", kPuffSize},
      {kSwitch, kUseBirthMatte, "Use Birth Matte", "Particles are born only where the birth matte (its red) is not black", ""},
      {kSwitch, "Invert Birth", "Invert Birth Matte", "With Use Birth Matte: particles are born only where the matte is not white", ""},
      {kNumber, "Birth Radius", "Birth Radius", "Radius of the birth disc (1: as wide as the frame)", "half frame widths"},
      {kColour, "Cloud Colour", "Cloud Colour", "Colour of the puffs, of their shadowed side when Use Light is on", kRgba},
      {kNumber, "Seed", "Seed", "Seed of the random numbers: another seed, another cloud", "whole number"},
      {kSwitch, "Perspective", "Perspective", "Particles move in depth and are drawn in perspective towards a vanishing point", ""},
      {kNumber, "Camera Dista", "Camera Distance", "Distance of the camera from depth 0 (100: puffs at depth 0 keep their size)", "depth units"},
      {kNumber, "VanishP_X", "Vanishing Point X", "Vanishing point across the frame (0 left edge, 1 right edge)", kWidths},
      {kNumber, "VanishP_Y", "Vanishing Point Y", "Vanishing point down the frame (0 top edge, 1 bottom edge)", kHeights},
      {kNumber, "Z Speed", "Z Speed", "Speed towards the camera gained every frame (negative: away from it)", "pixels per frame per frame"},
      {kNumber, "Z Range", "Z Range", "Depth over which particles are born, against the birth disc's radius", "% of the birth radius"},
      {kSwitch, "Use Gravity", "Use Gravity", "Particles fall under gravity", ""},
      {kNumber, "Gravity", "Gravity", "Speed gravity adds every frame", "1/100000 frame per frame per frame"},
      {kNumber, "Gravity Angl", "Gravity Angle", "Direction gravity pulls (0 right, 90 down)", "degrees"},
      {kSwitch, "Gravity 90 t", "Gravity 90 to Wind", "Gravity pulls at right angles to the wind, downwards, instead of at Gravity Angle", ""},
      {kSwitch, "Use Friction", "Use Friction", "Particles slow down", ""},
      {kNumber, "Friction", "Friction", "Speed a particle loses every frame", "% per frame"},
      {kSwitch, "Use Swirling", "Use Swirling", "Particles swirl in a changing noise field", ""},
      {kNumber, "Swirl Densit", "Swirl Density", "Fineness of the swirl field, and how fast it changes", "eddies per frame width"},
      {kNumber, "Swirl Magnit", "Swirl Magnitude", "Speed the swirl adds every frame at full strength", "1/10000 frame per frame per frame"},
      {kNumber, "Swirl to Max", "Swirl to Max", "Age at which a particle's swirl reaches full strength", "frames"},
      {kSwitch, "Use Constrai", "Use Constraint", "Particles are held inside a cone along the wind from the birth disc", ""},
      {kNumber, "Constraint A", "Constraint Angle", "Half angle of the cone", "degrees"},
      {kSwitch, "Use Wind", "Use Wind", "Particles drift with the wind", ""},
      {kNumber, "Wind Source_X", "Wind Source X", "Start of the wind arrow across the frame", kWidths},
      {kNumber, "Wind Source_Y", "Wind Source Y", "Start of the wind arrow down the frame", kHeights},
      {kNumber, "Wind Target_X", "Wind Target X", "End of the wind arrow across the frame", kWidths},
      {kNumber, "Wind Target_Y", "Wind Target Y", "End of the wind arrow down the frame", kHeights},
      {kNumber, "Wind Speed", "Wind Speed", "Speed of the wind along its arrow", "pixels per frame"},
      {kSwitch, "Use Light", "Use Light", "Puffs are lit: Light Colour on the side facing the light, Cloud Colour in shadow", ""},
      {kColour, "Light", "Light Colour", "Colour of the puffs' lit side", kRgba},
      {kNumber, "Light Source_X", "Light Source X", "Where the light comes from, across the frame", kWidths},
      {kNumber, "Light Source_Y", "Light Source Y", "Where the light comes from, down the frame", kHeights},
      {kNumber, "Z Light Sour", "Z Light Source", "Height of the light above the frame (negative: behind it)", kWidths},
      {kNumber, "Light Target_X", "Light Target X", "Where the light points, across the frame", kWidths},
      {kNumber, "Light Target_Y", "Light Target Y", "Where the light points, down the frame", kHeights},
      {kNumber, "Density", "Density", "Opacity of every puff", "%"},
      {kNumber, "Fluffiness", "Fluffiness", "How soon a puff thins towards its rim (10: evenly; higher: a smaller, softer core)", "1/10 of the falloff power"},
      {kNumber, "Contrast", "Contrast", "Sharpness of the edge between lit and shadowed sides (50 even, 100 a hard edge)", ""},
      {kNumber, "Brightness", "Brightness", "How much of a puff is lit (50 half; higher more)", ""},
      {kSwitch, "Use Textured", "Use Texture", "Puffs carry a noise texture", ""},
      {kNumber, "Texture Mag", "Texture Magnitude", "How far the texture moves a puff's pixels", "% of the puff's width"},
      {kNumber, "Texture X", "Texture X", "Fineness of the texture across a puff", "1/5 noise cell per puff"},
      {kNumber, "Texture Y", "Texture Y", "Fineness of the texture down a puff", "1/5 noise cell per puff"},
      {kNumber, "Seethe", "Seethe", "How fast the texture churns", "1/100 noise cell per frame"},
      {kSwitch, "Use Fading", "Use Fading", "Puffs fade in after birth and out before death", ""},
      {kNumber, "In(Life)", "Fade In Life", "Part of a particle's life spent fading in", kOfLife},
      {kNumber, "Out(Life)", "Fade Out Life", "Part of a particle's life spent fading out", kOfLife},
      {kLabel, "Brumel", "Brumel", "Page: births, sizes and lives", ""},
      {kLabel, "Forces", "Forces", "Page: gravity, friction, swirl, constraint and wind", ""},
      {kLabel, "Light", "Light", "Page: colours, light and shading", ""},
      {kLabel, "Depth", "Depth", "Page: perspective, texture and fading", ""},
  };
  return glossary;
}

const WidgetGloss* gloss_of(const CWidget& widget) {
  for (const WidgetGloss& gloss : widget_glossary()) {
    if (gloss.kind == widget.kind() && widget.name() == gloss.name) return &gloss;
  }
  return nullptr;
}

}  // namespace brumel
