// Start-up loading of every character picture on the default data (three
// colour schemes): the first start, which generates and caches schemes 1 and
// 2, and a later start, which reads them back. Targets: at most 1 s for the
// first start and 0.3 s for a later one.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "actiondata/load_group.h"
#include "actiondata/palette_file.h"
#include "app/game.h"
#include "bench/bench_support.h"
#include "graphics/surfaces.h"
#include "platform/core/std_files.h"
#include "platform/headless/headless_host.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

void RemoveCaches(const std::string& dir) {
  for (const auto& entry : fs::directory_iterator(dir)) {
    char first = entry.path().filename().string()[0];
    if (first == 'T' || first == 'U') fs::remove(entry.path());
  }
}

struct Loader {
  VirtualClock clock;
  HeadlessApp app;
  HeadlessWindow window;
  HeadlessKeys keys;
  HeadlessMedia media;
  HeadlessSound sound;
  StdFileSystem files;
  Game g{Platform{&clock, &app, &window, &keys, &media, &sound, &files}};

  explicit Loader(const std::string& dir) {
    g.st.dataFolder = dir;
    g.st.colourMax = 2;
  }
  // FormCreate's palette and picture steps.
  bool Load() {
    if (!ReadPaletteFile(g)) return false;
    BuildPalettes(g);
    return LoadActionsAndPictures(g);
  }
};

void Run(benchmark::State& state, bool firstStart) {
  const std::string dir = bench::FreshDataFolder("load");
  if (!firstStart) {
    Loader warm(dir);
    if (!warm.Load()) state.SkipWithError("the default data does not load");
  }
  int pictures = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (firstStart) RemoveCaches(dir);
    auto loader = std::make_unique<Loader>(dir);
    state.ResumeTiming();
    if (!loader->Load()) {
      state.SkipWithError("the default data does not load");
      break;
    }
    state.PauseTiming();
    pictures = 0;
    for (const auto& scheme0 : loader->g.gfx.frameSheets[0])
      for (const Surface& s : scheme0) pictures += !s.Empty();
    pictures += !loader->g.gfx.mainSheets[0].Empty();
    loader.reset();
    state.ResumeTiming();
  }
  state.counters["pictures"] = pictures;
  fs::remove_all(dir);
}

void BM_FirstStartLoad(benchmark::State& state) {
  Run(state, true);
}
void BM_CachedStartLoad(benchmark::State& state) {
  Run(state, false);
}

BENCHMARK(BM_FirstStartLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_CachedStartLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
}  // namespace kelvane
