// PNG frames written without the image library's writer: the row filters against their
// plain rule on every instruction set, and whole files against the library's own.
#include <gtest/gtest.h>
#include <hwy/tests/hwy_gtest.h>

#include <OpenImageIO/imageio.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <vector>

#include "app/images/png_file.h"
#include "app/images/png_row_filter.h"
#include "support/app_run.h"

namespace brumel {

namespace {

using Bytes = std::vector<std::uint8_t>;

// A row that `f` predicts exactly after its first pixel (the none row is all zeros),
// over a random row above: rows on which each filter wins.
Bytes row_predicted_by(PngRowFilter f, const Bytes& above, std::size_t pixel_bytes, std::mt19937& random) {
  Bytes row(above.size());
  for (std::size_t i = 0; i < row.size(); ++i) {
    const int a = i >= pixel_bytes ? row[i - pixel_bytes] : static_cast<int>(random() % 256);
    const int b = above[i], c = i >= pixel_bytes ? above[i - pixel_bytes] : 0;
    const int p = b - c, q = a - c;
    const int pa = std::abs(p), pb = std::abs(q), pc = std::abs(p + q);
    const int paeth = (pa <= pb && pa <= pc) ? a : (pb <= pc) ? b : c;
    const int by[] = {0, a, b, (a + b) / 2, paeth};
    row[i] = static_cast<std::uint8_t>(i >= pixel_bytes || f == PngRowFilter::kNone ? by[static_cast<int>(f)] : a);
  }
  return row;
}

class PngRowFilters : public hwy::TestWithParamTarget {};
HWY_TARGET_INSTANTIATE_TEST_SUITE_P(PngRowFilters);

// Rows on which each filter wins, random rows, and rows whose residuals sit at the signed
// edge (127, 128, 129) choose and filter as the plain rule does, for row lengths below, at
// and above every vector width; every filter is chosen somewhere.
TEST_P(PngRowFilters, VectorCodeChoosesAndFiltersAsThePlainRule) {
  std::mt19937 random(7);
  std::set<PngRowFilter> chosen_once;
  for (std::size_t pixel_bytes : {1, 3, 4, 6, 8}) {
    for (std::size_t bytes : {pixel_bytes, pixel_bytes * 5, std::size_t{64}, std::size_t{512 + 7}}) {
      bytes -= bytes % pixel_bytes;
      Bytes above(bytes);
      for (auto& b : above) b = static_cast<std::uint8_t>(random());
      std::vector<Bytes> rows;
      for (int f = 0; f < 5; ++f) {
        rows.push_back(row_predicted_by(static_cast<PngRowFilter>(f), above, pixel_bytes, random));
      }
      for (int edge : {0, 1}) {
        Bytes row(bytes);
        for (auto& b : row) b = static_cast<std::uint8_t>(edge ? 127 + random() % 3 : random());
        rows.push_back(row);
      }
      for (const Bytes& row : rows) {
        const PngRowFilter chosen = choose_png_row_filter(row.data(), above.data(), bytes, pixel_bytes);
        EXPECT_EQ(chosen, choose_png_row_filter_reference(row.data(), above.data(), bytes, pixel_bytes))
            << bytes << " bytes by " << pixel_bytes;
        chosen_once.insert(chosen);
        for (int f = 0; f < 5; ++f) {
          Bytes vector(bytes), plain(bytes);
          filter_png_row(static_cast<PngRowFilter>(f), row.data(), above.data(), bytes, pixel_bytes, vector.data());
          filter_png_row_reference(static_cast<PngRowFilter>(f), row.data(), above.data(), bytes, pixel_bytes,
                                   plain.data());
          EXPECT_EQ(vector, plain) << "filter " << f << ", " << bytes << " bytes by " << pixel_bytes;
        }
      }
    }
  }
  EXPECT_EQ(chosen_once.size(), 5u);
}

Bytes whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

using PngFile = TestFolder;

// Byte for byte the library writer's file, for 8- and 16-bit RGBA and RGB, samples it
// converts, zlib levels, and the metadata chunks it writes before the image data; where
// that writer would divide out alpha or take options of its own, or libpng would
// compress otherwise (small images), the library's writer is left to write the frame.
TEST_F(PngFile, SameBytesAsTheLibrarysWriterOrNone) {
  std::filesystem::create_directories(work_);
  using T = OIIO::TypeDesc;
  const struct {
    int width, height, channels;
    T file, samples;            // the file header's type, and the pixels' (the writer takes half as 8-bit)
    const char* attribute;      // set to `value` when not empty
    int value;
    bool ours;
  } cases[] = {
      {97, 61, 4, T::UINT16, T::UINT16, "", 0, true},
      {128, 40, 4, T::UINT8, T::UINT8, "", 0, true},
      {130, 33, 3, T::UINT16, T::UINT16, "", 0, true},
      {300, 20, 3, T::UINT8, T::UINT8, "", 0, true},
      {97, 61, 4, T::UINT16, T::FLOAT, "", 0, true},
      {97, 61, 4, T::UINT8, T::UINT16, "", 0, true},
      {97, 61, 4, T::UINT16, T::UINT16, "png:compressionLevel", 1, true},
      {97, 61, 4, T::UINT16, T::UINT16, "png:compressionLevel", 9, true},
      {97, 61, 4, T::UINT16, T::UINT16, "png:filter", 16, false},
      {97, 61, 4, T::UINT16, T::UINT16, "oiio:UnassociatedAlpha", 0, false},
      {97, 61, 4, T::UINT8, T::UINT16, "oiio:dither", 1, false},
      {97, 61, 4, T::HALF, T::HALF, "", 0, false},
      {20, 20, 4, T::UINT16, T::UINT16, "", 0, false},
  };
  std::mt19937 random(11);
  for (const auto& c : cases) {
    OIIO::ImageSpec spec(c.width, c.height, c.channels, c.file);
    if (c.channels == 4) spec.alpha_channel = 3, spec.attribute("oiio:UnassociatedAlpha", 1);
    if (*c.attribute != 0) spec.attribute(c.attribute, c.value);
    spec.attribute("oiio:ColorSpace", "sRGB");
    spec.attribute("Software", "brumel test");
    spec.attribute("XResolution", 72.0f), spec.attribute("YResolution", 72.0f);
    spec.attribute("brumel:settings", std::string(3000, 'x'));
    // Noise above, smooth shades below: rows that take different filters.
    Bytes pixels(spec.image_pixels() * c.channels * c.samples.size());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      pixels[i] = static_cast<std::uint8_t>(i < pixels.size() / 2 ? random() : i / 7 + (i % 13) * 3);
    }
    const std::string name = std::to_string(&c - cases);
    auto library = OIIO::ImageOutput::create(at(name + "-library.png"));
    ASSERT_TRUE(library->open(at(name + "-library.png"), spec) && library->write_image(c.samples, pixels.data()) &&
                library->close());
    std::unique_ptr<PendingFile> ours = encode_png_file(spec, c.samples, pixels.data(), at(name + "-ours.png"));
    ASSERT_EQ(ours != nullptr, c.ours) << name;
    if (!ours) continue;
    ours->commit();
    EXPECT_EQ(whole_file(at(name + "-ours.png")), whole_file(at(name + "-library.png"))) << name;
  }
}

}  // namespace

}  // namespace brumel
