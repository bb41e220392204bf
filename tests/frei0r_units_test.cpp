// The frei0r plugins' own pieces: host times to frames, 8-bit frames to and from
// the node's host images, and host parameter values to widget values.
#include <gtest/gtest.h>

#if defined(BRUMEL_HAVE_FREI0R)

#include <OpenImageIO/imageio.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <vector>

#include "embed/node_module.h"
#include "frei0r/frame_clock.h"
#include "frei0r/parameters.h"
#include "frei0r/rgba8.h"

namespace {

using brumel::FrameClock;

// Each row plays its times through clocks of a frame size of its own (clocks of
// one size share the frame length); `clock` says which of two instances asks.
TEST(FrameClock, HostTimesGiveFrames) {
  constexpr double kGarbage = -3.7e20, kNaN = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* what;
    std::vector<double> times;
    std::vector<int> clock;  // empty: all from instance 0
    std::vector<int> frames;
  } rows[]{
      {"milliseconds, the last asked again", {0, 40, 80, 120, 120, 120}, {}, {1, 2, 3, 4, 4, 4}},
      {"seconds with a jump forward and back", {0, 0.04, 0.2, 0.08}, {}, {1, 2, 6, 3}},
      {"29.97 fps in milliseconds", {0, 33.367, 66.733, 100.1, 1001}, {}, {1, 2, 3, 4, 31}},
      {"garbage times count frames", {kGarbage, kGarbage, kNaN, kGarbage}, {}, {1, 2, 3, 4}},
      {"-ss starts again at 0", {0, 40, 80, 0, 40}, {}, {1, 2, 3, 1, 2}},
      {"two instances, every other frame", {0, 0.04, 0.08, 0.12, 0.2}, {0, 1, 0, 1, 0}, {1, 2, 3, 4, 6}},
      {"the second instance first", {0.04, 0, 0.08}, {1, 0, 1}, {2, 1, 3}},
  };
  int size = 1;
  for (const auto& row : rows) {
    FrameClock clocks[2] = {FrameClock(size, 7), FrameClock(size, 7)};
    ++size;
    std::vector<int> frames;
    for (std::size_t i = 0; i < row.times.size(); ++i) {
      frames.push_back(clocks[row.clock.empty() ? 0 : row.clock[i]].frame(row.times[i]));
    }
    EXPECT_EQ(frames, row.frames) << row.what;
  }
}

// A plugin's frames equal those `brumel render` makes from 8-bit files: every byte
// and every 16-bit sample converts as the image library converts them.
TEST(Rgba8, EverySampleConvertsAsTheImageLibraryDoes) {
  brumel::HostImage image(256, 64);  // every 16-bit value once
  for (std::size_t i = 0; i < image.samples.size(); ++i) image.samples[i] = static_cast<std::uint16_t>(i);
  std::vector<std::uint32_t> bytes(256 * 64);
  brumel::host_to_rgba8(image, bytes.data());
  std::vector<std::uint8_t> expected(image.samples.size());
  ASSERT_TRUE(OIIO::convert_pixel_values(OIIO::TypeDesc::UINT16, image.samples.data(),
                                         OIIO::TypeDesc::UINT8, expected.data(),
                                         static_cast<int>(expected.size())));
  EXPECT_EQ(0, std::memcmp(bytes.data(), expected.data(), expected.size()));

  brumel::HostImage back(256, 64);
  brumel::rgba8_to_host(bytes.data(), back);
  std::vector<std::uint16_t> widened(expected.size());
  ASSERT_TRUE(OIIO::convert_pixel_values(OIIO::TypeDesc::UINT8, expected.data(),
                                         OIIO::TypeDesc::UINT16, widened.data(),
                                         static_cast<int>(widened.size())));
  EXPECT_EQ(back.samples, widened);
}

// The element (colour premultiplied) leaves as an 8-bit PNG of `brumel render
// --element` holds it: every alpha, with colours up to it.
TEST(Rgba8, ElementConvertsAsAnEightBitPngIsWritten) {
  brumel::HostImage element(256, 256);
  for (std::uint32_t i = 0; i < 65536; ++i) {
    std::uint16_t* p = &element.samples[i * 4];
    for (std::uint32_t c = 0; c < 3; ++c) p[c] = static_cast<std::uint16_t>((i * (2 * c + 3)) % (i + 1));
    p[3] = static_cast<std::uint16_t>(i);
  }
  std::vector<std::uint32_t> bytes(65536);
  brumel::element_to_rgba8(element, bytes.data());

  const std::string path = ::testing::TempDir() + "element.png";
  OIIO::ImageSpec spec(256, 256, 4, OIIO::TypeDesc::UINT8);
  spec.alpha_channel = 3;
  auto out = OIIO::ImageOutput::create(path);
  ASSERT_TRUE(out && out->open(path, spec) &&
              out->write_image(OIIO::TypeDesc::UINT16, element.samples.data()) && out->close());
  OIIO::ImageSpec as_stored;
  as_stored.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &as_stored);
  std::vector<std::uint8_t> expected(65536 * 4);
  ASSERT_TRUE(in && in->read_image(0, 0, 0, 4, OIIO::TypeDesc::UINT8, expected.data()));
  EXPECT_EQ(0, std::memcmp(bytes.data(), expected.data(), expected.size()));
}

// Host doubles in 0..1 map linearly onto a number's range, over an option's
// entries, and onto a switch from 0.5; names are clean and stay apart as the
// property names GStreamer makes of them.
TEST(Parameters, HostValuesMapOntoWidgetsUnderCleanNames) {
  brumel::NodeModule module(BRUMEL_MODULE_PATH);
  brumel::NodePtr node = module.create();
  const std::vector<brumel::Parameter> parameters = brumel::plugin_parameters(*node);
  std::set<std::string> properties;
  for (const brumel::Parameter& p : parameters) {
    EXPECT_EQ(p.name.find_first_of("%:/()_"), std::string::npos) << p.name;
    std::string property;
    for (char c : p.name) property += std::isalnum(static_cast<unsigned char>(c)) ? std::tolower(c) : '-';
    EXPECT_TRUE(properties.insert(property).second) << p.name;
  }
  auto text = [&](const char* widget, double p) {
    brumel::HostValue v;
    v.number = p;
    return brumel::widget_text(*node->find_control(widget), v);
  };
  const struct {
    const char* widget;
    double host;
    std::string text;
  } rows[]{
      {"Birth_X", 0.75, "2.5"},        {"Birth_X", 1.5, "5"},  {"Birth_X", -1, "-5"},
      {"Wind Speed", 0.3125, "31.25"}, {"Mode: %s", 0, "0"},   {"Mode: %s", 0.6, "1"},
      {"Use Light", 0.5, "on"},        {"Use Light", 0.49, "off"},
  };
  for (const auto& row : rows) EXPECT_EQ(text(row.widget, row.host), row.text) << row.widget << " " << row.host;
}

}  // namespace

#endif
