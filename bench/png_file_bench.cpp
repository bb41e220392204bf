// A 16-bit PNG of a Billow frame over the dusk sky (1920 x 1080, the default zlib level
// and level 1), written by the image library's PNG writer (path 0) and by the frame
// writer's own (path 1, encode_png_file), which makes the same bytes. Files go to the
// temporary folder, synced, then removed.
#include <benchmark/benchmark.h>

#include <OpenImageIO/imageio.h>

#include <filesystem>
#include <string>

#include "app/embedding.h"
#include "app/images/image_io.h"
#include "app/images/png_file.h"
#include "billow_scene.h"

namespace brumel {

namespace {

const std::uint16_t* billow_frame() {
  static billow::BillowScene scene = [] {
    billow::BillowScene s(false);
    s.background = default_background(billow::kWidth, billow::kHeight).samples;
    s.reset();
    s.populate(1000);
    s.b->render_cloud();
    return s;
  }();
  return scene.out->pixels;
}

void BM_BillowPng(benchmark::State& state) {
  const bool ours = state.range(0) == 1;
  OIIO::ImageSpec spec(billow::kWidth, billow::kHeight, 4, OIIO::TypeDesc::UINT16);
  spec.alpha_channel = 3;
  spec.attribute("oiio:UnassociatedAlpha", 1);
  spec.attribute("oiio:ColorSpace", "sRGB");
  if (state.range(1) != 0) spec.attribute("png:compressionLevel", static_cast<int>(state.range(1)));
  const std::uint16_t* pixels = billow_frame();
  const std::string path = (std::filesystem::temp_directory_path() / "brumel_png_file_bench.png").string();
  for (auto _ : state) {
    auto file = ours ? encode_png_file(spec, OIIO::TypeDesc::UINT16, pixels, path)
                     : encode_image_file(OIIO::ImageOutput::create(path), spec, OIIO::TypeDesc::UINT16, pixels,
                                         4 * sizeof(std::uint16_t), path);
    file->discard();
  }
}
BENCHMARK(BM_BillowPng)->ArgNames({"path", "level"})->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace brumel
