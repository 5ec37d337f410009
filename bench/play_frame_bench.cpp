// One whole play frame on the default data: the computer's typing, the
// engine's step with its drawing, the backdrop, compositing, the heads-up
// display and the presentation into the frame buffer. Target: at most 1 ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/frame_pacing.h"
#include "app/game.h"
#include "bench/bench_support.h"
#include "app/lifecycle.h"
#include "flow/stage_cycle.h"
#include "platform/core/std_files.h"
#include "platform/headless/headless_host.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

struct Player {
  VirtualClock clock;
  HeadlessApp app;
  HeadlessWindow window;
  HeadlessKeys keys;
  HeadlessMedia media;
  HeadlessSound sound;
  StdFileSystem files;
  Game g{Platform{&clock, &app, &window, &keys, &media, &sound, &files}};
  std::string dir = bench::FreshDataFolder("play");

  Player() {
    g.st.dataFolder = dir;
    g.st.colourMax = 2;
    g.random.Seed(7);
    window.game = &g;
    media.measure = [](const std::string&) -> std::optional<uint32_t> { return 600000; };
  }
  ~Player() { fs::remove_all(dir); }
  bool StartPlaying() {
    if (!FormCreate(g)) return false;
    for (int i = 0; i < 1000 && g.st.sceneCode != scene::kDemoPlay; ++i) {
      clock.now += g.st.frameInterval;
      FrameStep(g);
    }
    return g.st.sceneCode == scene::kDemoPlay;
  }
};

void BM_PlayFrame(benchmark::State& state) {
  auto p = std::make_unique<Player>();
  if (!p->StartPlaying()) {
    state.SkipWithError("the demonstration did not start");
    return;
  }
  for (auto _ : state) {
    p->clock.now += 120;
    PlayStep(p->g);
  }
  state.counters["frames"] = static_cast<double>(state.iterations());
}
BENCHMARK(BM_PlayFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelvane
