#include "app/commands/shot_options_cli.h"

#include "app/settings/image_document.h"

namespace brumel {

void add_shot_options(CLI::App& command, ShotOptions& shot) {
  SettingsRequest& settings = shot.settings;
  settings.read_image = read_image_document;
  command
      .add_option("-i,--input", shot.input,
                  "Input image or sequence (any format OpenImageIO reads); default: an "
                  "embedded dusk sky")
      ->type_name("PATTERN");
  command
      .add_option("--matte", shot.matte,
                  "Second input, image or sequence, for the birth matte (\"Use Birth Ma\")")
      ->type_name("PATTERN");
  command
      .add_option("--input-colorspace", shot.input_colorspace,
                  "Colour space of the input: a name, alias or role of the colour "
                  "configuration; default: what the file says when the configuration knows "
                  "it, else scene-linear for float files (EXR) and the node's sRGB for 8- "
                  "and 16-bit ones")
      ->type_name("SPACE");
  command
      .add_option("--colorconfig", shot.colour.config_file,
                  "OpenColorIO configuration; default: the file the OCIO environment "
                  "variable names, else the built-in one (linear, sRGB)")
      ->type_name("FILE");
  command
      .add_option("--node-colorspace", shot.colour.node_space,
                  "The configuration's space for the node's sRGB values; default: a space "
                  "named or aliased sRGB, \"sRGB - Texture\", srgb_tx, \"Utility - sRGB - "
                  "Texture\", \"sRGB Encoded Rec.709 (sRGB)\" or srgb_texture (any case), "
                  "else the role matte_paint, color_picking or texture_paint when it decodes "
                  "as sRGB")
      ->type_name("SPACE");
  command.add_option("--threads", shot.threads, "Processors the node may use (1 to 64)")
      ->type_name("N")
      ->check(CLI::Range(1, 64).description(""));
  command
      .add_option("--module", shot.module_path,
                  "Node module to load; default: BrumelKv.node next to this program")
      ->type_name("PATH");
  command
      .add_option("--load", settings.load_file,
                  "Settings document to start from, or an image written by brumel render "
                  "(.exr or .png: its settings)")
      ->type_name("FILE");
  command
      .add_option("--demo", settings.demo,
                  "Demo preset: Drift, Contraints, Simple 3D, Bombard, Sunset, Sky Writing, "
                  "Billow (any case)")
      ->type_name("NAME");
  command
      .add_option("--set", settings.sets,
                  "\"Widget Name=VALUE\" or \"#INDEX=VALUE\"; repeatable, applied in order "
                  "(a name repeated on several pages means its first widget that takes a "
                  "value: \"PreRoll=100\" is the number, not the button)")
      ->type_name("\"NAME=VALUE\"")
      ->take_all();
  command
      .add_option("--key", settings.keys,
                  "Keyframes \"Widget Name=FRAME:VALUE,FRAME:VALUE\"; repeatable (a "
                  "colour's value keeps its commas: \"Light=1:1,1,1,1,48:1,0.5,0,1\")")
      ->type_name("\"NAME=F:V,F:V\"")
      ->take_all();
  command.add_flag("--preroll", settings.preroll,
                   "Press \"Restart+PreR\" before the first frame (runs \"PreRoll\" steps first)");
}

}  // namespace brumel
