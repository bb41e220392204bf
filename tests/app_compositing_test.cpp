// What `brumel render` hands a compositor: the cloud element, colour-managed plates with
// their over-range values, colour spaces by file type and configuration, image windows
// and pixel aspect. (The refusals of colour
// spaces are among the errors of app_test.)
#include <OpenImageIO/color.h>
#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "tests/support/app_run.h"

#if defined(BRUMEL_APP_PATH)

namespace fs = std::filesystem;
using OIIO::ImageBuf;
using OIIO::ImageSpec;
using OIIO::TypeDesc;

namespace {

class AppCompositing : public BrumelRun {
 protected:
  // Renders Billow's frame 12 (a cloud over most of a 320x180 frame) and reads it.
  ImageBuf render(const std::string& args, const std::string& out) {
    ok("render --demo Billow --frames 12 -q -o " + out + " " + args);
    return read(out);
  }
  ImageBuf read(const std::string& name) {
    ImageBuf image((work_ / name).string());
    image.read(0, 0, true, TypeDesc::FLOAT);
    return image;
  }
  void write(const ImageBuf& image, const std::string& name, TypeDesc type) {
    ASSERT_TRUE(image.write((work_ / name).string(), type)) << image.geterror();
  }
};

// A flat plate of `colour` (RGBA) over `roi`, display window `display`.
ImageBuf flat_plate(OIIO::ROI roi, OIIO::ROI display, std::vector<float> colour) {
  ImageSpec spec(roi, TypeDesc::FLOAT);
  spec.nchannels = 4;
  spec.channelnames = {"R", "G", "B", "A"};
  spec.alpha_channel = 3;
  spec.set_roi_full(display);
  ImageBuf plate(spec);
  OIIO::ImageBufAlgo::fill(plate, colour);
  return plate;
}

}  // namespace

// The element is premultiplied over transparent black with the coverage as alpha, and
// "over" the plate gives the node's own composite within a few 1/32768 steps.
TEST_F(AppCompositing, ElementOverThePlateIsTheComposite) {
  render("", "plate.tif");
  const ImageBuf composite = render("-i plate.tif", "composite.tif");
  const ImageBuf element = render("-i plate.tif --element", "element.tif");
  const ImageBuf over = OIIO::ImageBufAlgo::over(element, read("plate.tif"));
  float most = 0.0f, covered = 0.0f;
  for (ImageBuf::ConstIterator<float> e(element), o(over), c(composite); !e.done(); ++e, ++o, ++c) {
    covered = std::max(covered, e[3]);
    for (int ch = 0; ch < 3; ++ch) {
      ASSERT_LE(e[ch], e[3] + 1.0f / 65535) << "not premultiplied at " << e.x() << "," << e.y();
      most = std::max(most, std::fabs(o[ch] - c[ch]));
    }
  }
  EXPECT_GT(covered, 0.5f);
  EXPECT_LE(most * 32768.0f, 12.0f) << "measured " << most * 32768.0f;
}

// Over a linear EXR (values beyond 0..1, overscan or a crop), the composite is the
// scene-linear element "over" the plate within a few half-float steps, and the plate
// exactly where no cloud covers it; its windows are kept.
TEST_F(AppCompositing, CompositeOverALinearPlateIsTheElementOverIt) {
  const OIIO::ROI display(0, 320, 0, 180);
  struct Case {
    const char* name;
    OIIO::ROI data;
  };
  for (const Case& c : {Case{"overscan", OIIO::ROI(-20, 340, -10, 190)},
                        Case{"crop", OIIO::ROI(40, 240, 30, 130)}}) {
    SCOPED_TRACE(c.name);
    const std::string in = std::string(c.name) + ".exr";
    write(flat_plate(c.data, display, {4.0f, -0.25f, 0.5f, 1.0f}), in, TypeDesc::HALF);
    const ImageBuf out = render("-i " + in, std::string("out_") + c.name + ".exr");
    const ImageBuf element =
        render("-i " + in + " --element", std::string("el_") + c.name + ".exr");
    const ImageBuf over = OIIO::ImageBufAlgo::over(element, read(in));
    const auto rgba = [](OIIO::ROI roi) {
      return OIIO::ROI(roi.xbegin, roi.xend, roi.ybegin, roi.yend, 0, 1, 0, 4);
    };
    EXPECT_EQ(out.roi(), rgba(c.data));
    EXPECT_EQ(out.roi_full(), rgba(display));
    EXPECT_EQ(out.spec().get_string_attribute("brumel:output_colorspace"), "linear");
    int uncovered = 0, covered = 0;
    for (ImageBuf::ConstIterator<float> o(out); !o.done(); ++o) {
      const bool inside = o.x() >= 0 && o.x() < 320 && o.y() >= 0 && o.y() < 180;
      const float coverage = inside ? element.getchannel(o.x(), o.y(), 0, 3) : 0.0f;
      if (coverage == 0.0f) {
        ++uncovered;
        ASSERT_EQ(o[0], 4.0f) << o.x() << "," << o.y();
        ASSERT_EQ(o[1], -0.25f) << o.x() << "," << o.y();
        continue;
      }
      covered += coverage > 0.5f;
      for (int ch = 0; ch < 4; ++ch) {
        const float expected = over.getchannel(o.x(), o.y(), 0, ch);
        // Element, coverage and frame each rounded to half: a few steps of 2^-11.
        ASSERT_NEAR(o[ch], expected, 4.0f / 2048 * std::max(1.0f, std::fabs(expected)))
            << "channel " << ch << " at " << o.x() << "," << o.y();
      }
    }
    EXPECT_GT(uncovered, 0);
    EXPECT_GT(covered, 0);
  }
  // The element's header gives its shot back: --element and the colour spaces included.
  ok("render --load el_crop.exr -i crop.exr -q -o again.exr");
  EXPECT_EQ(OIIO::ImageBufAlgo::compare(read("again.exr"), read("el_crop.exr"), 0, 0).nfail, 0u);
}

// Each file is in the space its samples suggest unless an option names one: float files
// scene-linear, 8- and 16-bit ones sRGB, for input and output each by its own type (a
// grey plate under no cloud, read back from the written file).
TEST_F(AppCompositing, ColourSpacesFollowEachFilesType) {
  const OIIO::ROI frame(0, 320, 0, 180);
  write(flat_plate(frame, frame, {0.5f, 0.5f, 0.5f, 1.0f}), "grey.exr", TypeDesc::HALF);
  write(flat_plate(frame, frame, {0.5f, 0.5f, 0.5f, 1.0f}), "grey.png", TypeDesc::UINT8);
  // A PPM names its space "Rec709", which the built-in configuration cannot take to
  // sRGB: an 8-bit file is then sRGB, as any other.
  write(OIIO::ImageBufAlgo::channels(flat_plate(frame, frame, {0.5f, 0.5f, 0.5f, 1.0f}), 3, {}),
        "grey.ppm", TypeDesc::UINT8);
  const float stored = 128.0f / 255;  // grey.png's samples
  const struct {
    std::string args, out;
    const char* space;  // "": the format keeps no brumel: attributes
    float value;
  } cases[]{
      {"-i grey.png", "png.png", "sRGB", stored},
      {"-i grey.ppm", "ppm.png", "sRGB", stored},
      {"-i grey.png", "png.exr", "linear", OIIO::sRGB_to_linear(stored)},
      {"-i grey.png --datatype float", "png.tif", "", OIIO::sRGB_to_linear(stored)},
      {"-i grey.exr", "exr.exr", "linear", 0.5f},
      {"-i grey.exr", "exr.jpg", "", OIIO::linear_to_sRGB(0.5f)},
      {"-i grey.exr --output-colorspace Linear", "exr.png", "linear", 0.5f},
      {"-i grey.png --input-colorspace linear", "lin.tif", "", OIIO::linear_to_sRGB(stored)},
      {"--size 320x180 --element", "element.exr", "linear", 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args + " -o " + c.out);
    const ImageBuf out = render("--set Quantity=0 " + c.args, c.out);
    if (*c.space != '\0') {
      EXPECT_EQ(out.spec().get_string_attribute("brumel:output_colorspace"), c.space);
    }
    EXPECT_NEAR(out.getchannel(0, 0, 0, 0), c.value, 1.0f / 255);
  }
}

// A configuration with ACES-style names, as a studio's: the node's space is found by
// another name, a space is named by its name, an alias or a role in any case, and a
// space it lacks is refused with the list of those it has.
TEST_F(AppCompositing, AnAcesStyleConfigurationRenders) {
  // Rec.709 primaries to ACES2065-1's (white adapted from D65).
  const std::string to_ap0 =
      "!<MatrixTransform> {matrix: [0.439577, 0.383915, 0.176508, 0, 0.089536, 0.814712, "
      "0.095752, 0, 0.017414, 0.108774, 0.873812, 0, 0, 0, 0, 1]}";
  std::ofstream(work_ / "studio.ocio")
      << "ocio_profile_version: 2.1\n"
         "roles: {reference: ACES2065-1, scene_linear: ACEScg, default: ACEScg, "
         "color_picking: sRGB - Texture, data: Raw}\n"
         "file_rules:\n  - !<Rule> {name: Default, colorspace: default}\n"
         "displays:\n  sRGB - Display:\n    - !<View> {name: Raw, colorspace: Raw}\n"
         "colorspaces:\n"
         "  - !<ColorSpace> {name: ACES2065-1}\n"
         "  - !<ColorSpace>\n    name: ACEScg\n"
         "    to_scene_reference: !<BuiltinTransform> {style: ACEScg_to_ACES2065-1}\n"
         "  - !<ColorSpace>\n    name: Linear Rec.709 (sRGB)\n    aliases: [lin_rec709]\n"
         "    to_scene_reference: " + to_ap0 + "\n"
         "  - !<ColorSpace>\n    name: sRGB - Texture\n    aliases: [srgb_tx]\n"
         "    to_scene_reference: !<GroupTransform>\n      children:\n"
         "        - !<ExponentWithLinearTransform> {gamma: 2.4, offset: 0.055}\n"
         "        - " + to_ap0 + "\n"
         "  - !<ColorSpace> {name: Raw, isdata: true}\n";
  const OIIO::ROI frame(0, 320, 0, 180);
  write(flat_plate(frame, frame, {0.5f, 0.5f, 0.5f, 1.0f}), "grey.exr", TypeDesc::HALF);
  const struct {
    std::string args, out, space;
    float value;  // grey stays grey from one space to another
  } cases[]{
      {"", "aces.png", "sRGB - Texture", OIIO::linear_to_sRGB(0.5f)},
      {"--input-colorspace LIN_REC709 --output-colorspace srgb_tx", "alias.png", "sRGB - Texture",
       OIIO::linear_to_sRGB(0.5f)},
      {"--output-colorspace scene_linear", "role.exr", "ACEScg", 0.5f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const ImageBuf out = render("--colorconfig studio.ocio --set Quantity=0 -i grey.exr " + c.args, c.out);
    EXPECT_EQ(out.spec().get_string_attribute("brumel:output_colorspace"), c.space);
    EXPECT_NEAR(out.getchannel(0, 0, 0, 0), c.value, 2.0f / 1024);
  }
  const ProgramResult refused =
      run("render --colorconfig studio.ocio -i grey.exr --input-colorspace ACEScc --frames 1 -q -o no.exr");
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, ::testing::HasSubstr("--input-colorspace \"ACEScc\": not a colour space of "
                                                "the colour configuration \"studio.ocio\" (it offers "
                                                "ACES2065-1, ACEScg, Linear Rec.709 (sRGB), "
                                                "sRGB - Texture, Raw;"));
}

// A plate of pixel aspect 2 makes the node draw its puffs narrower in pixels (each
// stamp half as wide), so that they are round on screen; the output keeps the aspect.
TEST_F(AppCompositing, AnamorphicPuffsAreRoundOnScreen) {
  int widths[2], heights[2];
  for (int i = 0; i < 2; ++i) {
    ImageBuf plate = flat_plate(OIIO::ROI(0, 240, 0, 240), OIIO::ROI(0, 240, 0, 240), {0, 0, 0, 1});
    plate.specmod().attribute("PixelAspectRatio", static_cast<float>(i + 1));
    write(plate, "par.tif", TypeDesc::UINT8);
    const std::string out = "puff" + std::to_string(i) + ".tif";
    ok("render -i par.tif --set Quantity=1 --set Continuity=100 --set 'Cloud Size V=0' "
       "--set 'Use Wind=0' --set Lifetime=2 --set Birth_X=0.5 --set Birth_Y=0.5 "
       "--set PreRoll=1 --preroll --frames 1 --element -q -o " +
       out);
    const ImageBuf puff = read(out);
    EXPECT_EQ(puff.spec().get_float_attribute("PixelAspectRatio", 1.0f), i + 1.0f);
    const OIIO::ROI box =
        OIIO::ImageBufAlgo::nonzero_region(puff, OIIO::ROI(0, 240, 0, 240, 0, 1, 3, 4));
    widths[i] = box.width();
    heights[i] = box.height();
  }
  EXPECT_GT(widths[0], 40);
  EXPECT_EQ(heights[1], heights[0]);
  EXPECT_LT(widths[1], widths[0] * 0.9) << widths[1] << " of " << widths[0];
}

// Plates of another size than the shot's are resampled by the node: the frame written
// has the shot's size and the node's own pixels (pinned: the frames the program wrote
// before it composited, checked against it once), whether smaller, larger, of another
// aspect, 8- or 16-bit, and when a sequence changes size or the matte differs. A
// colour-managed plate of another size is refused before the first frame.
TEST_F(AppCompositing, PlatesOfAnySizeAreResampledToTheShot) {
  // A gradient, so that resampling shows: red across, green down.
  const auto plate = [&](int w, int h, TypeDesc type, const std::string& name) {
    ImageBuf image = flat_plate(OIIO::ROI(0, w, 0, h), OIIO::ROI(0, w, 0, h), {0, 0, 0.3f, 1});
    for (ImageBuf::Iterator<float> p(image); !p.done(); ++p) {
      p[0] = (p.x() + 0.5f) / w;
      p[1] = (p.y() + 0.5f) / h;
    }
    write(image, name, type);
  };
  plate(320, 180, TypeDesc::UINT8, "p8.png");
  plate(96, 64, TypeDesc::UINT16, "p16.png");
  plate(1024, 1024, TypeDesc::UINT8, "big.png");
  plate(160, 90, TypeDesc::UINT8, "seq.0001.png");
  plate(320, 200, TypeDesc::UINT8, "seq.0002.png");
  const struct {
    std::string args;
    int width, height;
    std::uint64_t pixels;  // FNV-1a of the 16-bit samples of the last frame
  } cases[]{
      {"-i p8.png --size 160x90", 160, 90, 7767609340559708413u},
      {"-i p8.png --size 400x300", 400, 300, 11311837208039167487u},
      {"-i p16.png --size 160x90", 160, 90, 17838979732108466696u},
      {"-i big.png --size 16x16", 16, 16, 7514257124042902845u},
      {"-i seq.####.png --demo Billow", 160, 90, 11515329851646939085u},
      {"--matte p8.png --set 'Use Birth Ma=1' --size 120x80", 120, 80, 5863424285399255629u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string name = "out" + std::to_string(&c - cases);  // one name each: images are cached
    ok("render --preroll --frames 1-2 -q -o " + name + ".####.tif " + c.args);
    ImageBuf out((work_ / (name + ".0002.tif")).string());
    ASSERT_TRUE(out.read(0, 0, true, TypeDesc::UINT16));
    EXPECT_EQ(out.spec().width, c.width);
    EXPECT_EQ(out.spec().height, c.height);
    std::vector<std::uint16_t> samples(out.spec().image_pixels() * 4);
    out.get_pixels(out.roi(), TypeDesc::UINT16, samples.data());
    std::uint64_t hash = 14695981039346656037ull;
    for (std::uint16_t v : samples) hash = (hash ^ v) * 1099511628211ull;
    EXPECT_EQ(hash, c.pixels);
  }
  write(flat_plate(OIIO::ROI(0, 160, 0, 90), OIIO::ROI(0, 160, 0, 90), {1, 1, 1, 1}), "lin.0001.exr",
        TypeDesc::HALF);
  write(flat_plate(OIIO::ROI(0, 320, 0, 180), OIIO::ROI(0, 320, 0, 180), {1, 1, 1, 1}), "lin.0002.exr",
        TypeDesc::HALF);
  const ProgramResult refused = run("render -i lin.####.exr --frames 1-2 -q -o lin_out.####.exr");
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, ::testing::HasSubstr("the input \"lin.0002.exr\" is colour-managed"));
  EXPECT_FALSE(fs::exists(work_ / "lin_out.0001.exr"));
}

#endif
