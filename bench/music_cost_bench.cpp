// What music costs as the game plays it: in real time, through SDL's disk
// driver (which wakes the mixer once a period like a sound card, writing to
// /dev/null), for ten seconds of the menu tune and of a stage tune. Reports
// the share of one core the process and its audio threads took; rendering
// back to back (BM_RenderOneSecondOfMusic) understates this several times.
// With rendered=1 the tune has been heard whole before and plays from its
// render, as it does in the game from its second hearing on.
#include <benchmark/benchmark.h>

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "platform/sdl/midi_source.h"
#include "platform/sdl/rendered_tunes.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_media.h"
#include "platform/sdl/synthesiser.h"

namespace kelvane {
namespace {

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// CPU seconds of this process's threads by name.
std::map<std::string, double> ThreadCpuSeconds() {
  std::map<std::string, double> out;
  DIR* d = opendir("/proc/self/task");
  if (!d) return out;
  const double hz = static_cast<double>(sysconf(_SC_CLK_TCK));
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream f(std::string("/proc/self/task/") + e->d_name + "/stat");
    std::string stat((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 0; i < 13 && rest >> field; ++i) {
      if (i == 11) utime = std::stoull(field);
      if (i == 12) stime = std::stoull(field);
    }
    out[stat.substr(open + 1, close - open - 1)] += static_cast<double>(utime + stime) / hz;
  }
  closedir(d);
  return out;
}

void BM_MusicInRealTime(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  if (!OpenSdlAudio() || !WaitForSynthesiser(30000)) {
    state.SkipWithError("no audio or no soundfont");
    return;
  }
  const std::string tune =
      std::string(KELVANE_GAME_DIR) + (state.range(0) == 0 ? "/Zz.mid" : "/Z01.mid");
  // The tune alone in a folder of its own, rendered there.
  namespace fs = std::filesystem;
  fs::path scratch;
  if (state.range(2) != 0) {
    scratch = fs::temp_directory_path() / ("kelvane-renders-bench-" + std::to_string(getpid()));
    fs::remove_all(scratch);
    fs::create_directories(scratch / "data");
    fs::create_symlink(tune, scratch / "data" / fs::path(tune).filename());
    SetRenderedTunesFolder((scratch / "tunes").string());
    if (RenderTunesOf({(scratch / "data").string()}) != 0) {
      state.SkipWithError("the tunes could not be rendered");
      return;
    }
  }
  // Rendering ahead of the mixer, or (0) each block in the mixer's call.
  MidiSource::RenderAhead(state.range(1) != 0);
  SdlMedia m;
  constexpr double kSeconds = 10;
  for (auto _ : state) {
    m.OpenFile(tune);
    m.Play(std::nullopt, std::nullopt);
    std::this_thread::sleep_for(std::chrono::seconds(1));  // instruments in, caches warm
    const auto threads0 = ThreadCpuSeconds();
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = ProcessCpuSeconds() - cpu0;
    auto threads = ThreadCpuSeconds();
    double audio = 0, renderer = 0;
    for (auto& [name, seconds] : threads) {
      const double used = seconds - (threads0.count(name) ? threads0.at(name) : 0.0);
      if (name.rfind("SDLAudio", 0) == 0) audio += used;
      if (name == "kelvane-music") renderer += used;
    }
    state.SetIterationTime(wall);
    state.counters["process_%"] = 100 * cpu / wall;
    state.counters["mixer_thread_%"] = 100 * audio / wall;
    state.counters["renderer_%"] = 100 * renderer / wall;
    m.Close();
  }
  MidiSource::RenderAhead(true);
  CloseSdlAudio();
  if (!scratch.empty()) {
    SetRenderedTunesFolder("");
    fs::remove_all(scratch);
  }
}
BENCHMARK(BM_MusicInRealTime)
    ->ArgsProduct({{0, 1}, {0, 1}, {0}})
    ->ArgsProduct({{0, 1}, {1}, {1}})
    ->ArgNames({"stage_tune", "ahead", "rendered"})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kelvane
