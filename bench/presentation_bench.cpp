// The cost of presenting one play-scene frame at its largest (large window,
// zoomed view: the 214 x 160 stage stretched by 3) and of the stretching
// copies on their own. Target: at most 0.5 ms per presented frame.
#include <benchmark/benchmark.h>

#include "app/game.h"
#include "graphics/atlas.h"
#include "graphics/presentation.h"
#include "graphics/surfaces.h"
#include "graphics/window_layout.h"
#include "platform/core/std_files.h"
#include "platform/headless/headless_host.h"

namespace kelvane {
namespace {

// A window that keeps the frame in a buffer, as a host's back buffer would.
class BufferWindow : public HeadlessWindow {
 public:
  void Present(const FrameView& f) override {
    buffer.resize(static_cast<size_t>(f.width) * f.height);
    for (int y = 0; y < f.height; ++y)
      std::copy_n(f.pixels + static_cast<size_t>(y) * f.stride, f.width, buffer.begin() + static_cast<ptrdiff_t>(y) * f.width);
  }
  std::vector<uint32_t> buffer;
};

struct Scene {
  VirtualClock clock;
  HeadlessApp app;
  BufferWindow window;
  HeadlessKeys keys;
  HeadlessMedia media;
  HeadlessSound sound;
  StdFileSystem files;
  Game g{Platform{&clock, &app, &window, &keys, &media, &sound, &files}};

  Scene() {
    window.screen = {1024, 768};
    CreateMainSurface(g);
    g.st.zoomFlag = !g.st.zoomFlag;
    ToggleWindowSize(g);  // large, zoomed
    CreateStageSurfaces(g);
    Surfaces& s = g.gfx;
    for (int i = 0; i < 3; ++i) s.mainSheets[static_cast<size_t>(i)].Create(640, 400);
    s.mainSheets[3].Create(640, 400, PixelFormat::Mask);
    // A backdrop strip of four 214 x 160 frames with some texture.
    s.backdropSheet.Create(4 * 214, 160);
    for (int y = 0; y < 160; ++y)
      for (int x = 0; x < 4 * 214; ++x) s.backdropSheet.SetRawPixel(x, y, static_cast<uint32_t>(x * 0x010203 + y * 0x030201));
    s.backdropStrip = 1;
    s.backdropFrameCount = 4;
    // A figure on the stage.
    for (int y = 60; y < 200; ++y)
      for (int x = 250; x < 330; ++x) {
        s.spriteLayer.SetRawPixel(x, y, 0x8040C0);
        s.maskLayer.SetRawPixel(x, y, 0);
      }
    s.iconShown = 1;
    s.albumShown = 1;
    s.albumFrame = 0;
    g.st.frameInterval = g.st.slowFrameInterval;
  }
};

void BM_PlayScenePresentation(benchmark::State& state) {
  Scene scene;
  Game& g = scene.g;
  for (auto _ : state) {
    AnimateBackdrop(g);
    CompositeStage(g);
    DrawIconPanel(g, 0);
    PresentFrame(g);
    benchmark::DoNotOptimize(scene.window.buffer.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlayScenePresentation)->Unit(benchmark::kMicrosecond);

// The same frame without the final copy to the window's buffer.
void BM_PlaySceneCompose(benchmark::State& state) {
  Scene scene;
  Game& g = scene.g;
  for (auto _ : state) {
    AnimateBackdrop(g);
    CompositeStage(g);
    DrawIconPanel(g, 0);
    benchmark::DoNotOptimize(g.gfx.mainSurface.ColourRow(0));
  }
}
BENCHMARK(BM_PlaySceneCompose)->Unit(benchmark::kMicrosecond);

// Stretch copies of a colour picture onto the 640 x 480 frame: 2x (321 x 240
// onto 642 x 480) and 3x (214 x 160 onto 642 x 480), and the mask AND.
void BM_Stretch(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  const bool mask = state.range(1) != 0;
  Surface src(642 / k, 480 / k, mask ? PixelFormat::Mask : PixelFormat::Colour);
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x) src.SetRawPixel(x, y, static_cast<uint32_t>(x * 0x0101 + y));
  Surface dst(640, 480);
  dst.canvas.copyMode = mask ? SRCAND : SRCCOPY;
  for (auto _ : state) {
    CopyRect(dst, Rect{0, 0, 642, 480}, src, src.Bounds());
    benchmark::DoNotOptimize(dst.ColourRow(0));
  }
  state.SetBytesProcessed(state.iterations() * 640 * 480 * 4);
}
BENCHMARK(BM_Stretch)->Args({2, 0})->Args({3, 0})->Args({2, 1})->Args({3, 1})->Unit(benchmark::kMicrosecond);

// A 1:1 copy of the whole frame (the memcpy path).
void BM_Copy1to1(benchmark::State& state) {
  Surface src(640, 480), dst(640, 480);
  for (auto _ : state) {
    CopyRect(dst, dst.Bounds(), src, src.Bounds());
    benchmark::DoNotOptimize(dst.ColourRow(0));
  }
  state.SetBytesProcessed(state.iterations() * 640 * 480 * 4);
}
BENCHMARK(BM_Copy1to1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelvane
