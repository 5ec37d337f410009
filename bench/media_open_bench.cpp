// How long opening a tune holds up the game's thread: a stage tune once the
// soundfont has loaded, and a dropped WAV file of 1.5 GB (sparse, so the
// machine needs no such file). Both should stay well inside one frame
// (40 ms in the menus).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "bench/audio_support.h"
#include "music/audio_length.h"
#include "music/midi_events.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_media.h"
#include "platform/sdl/synthesiser.h"

namespace kelvane {
namespace {

using bench::Tune;

void BM_MidiTuneOpen(benchmark::State& state) {
  if (!bench::OpenAudioWithSynthesiser(state, "dummy")) return;
  SdlMedia m;
  int n = 0;
  for (auto _ : state) {
    m.OpenFile(Tune(n++ % 8 + 1));
    m.Play(std::nullopt, std::nullopt);
    state.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    m.Close();
    state.ResumeTiming();
  }
  CloseSdlAudio();
}
BENCHMARK(BM_MidiTuneOpen)->Iterations(24)->Unit(benchmark::kMillisecond);

void BM_HugeWavOpen(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (!OpenSdlAudio()) {
    state.SkipWithError("no audio");
    return;
  }
  const std::string path =
      (std::filesystem::temp_directory_path() / "kelvane-bench-huge.wav").string();
  const uint32_t size = 1'500'000'000;
  {
    auto le = [](uint32_t v, int n) {
      std::string s;
      for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
      return s;
    };
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "RIFF" << le(size - 8, 4) << "WAVEfmt " << le(16, 4) << le(1, 2) << le(2, 2)
        << le(44100, 4) << le(176400, 4) << le(4, 2) << le(16, 2) << "data" << le(size - 44, 4);
  }
  std::filesystem::resize_file(path, size);
  SdlMedia m;
  for (auto _ : state) {
    m.OpenFile(path);
    m.Play(std::nullopt, std::nullopt);
    m.Close();
  }
  std::filesystem::remove(path);
  CloseSdlAudio();
}
BENCHMARK(BM_HugeWavOpen)->Iterations(10)->Unit(benchmark::kMillisecond);

// The largest MIDI file taken as a tune, packed with notes (running status,
// no gaps): read whole and turned into the sequencer's events on the game's
// thread, as an open does.
void BM_LargestMidiRead(benchmark::State& state) {
  std::string track;
  track += std::string("\x00\x90\x3C\x40", 4);
  while (track.size() + 16 < kMaxMidiFileBytes - 22) track += std::string("\x01\x3C\x00\x00\x3C\x40", 6);
  track += std::string("\x00\xFF\x2F\x00", 4);
  auto be = [](uint32_t v, int n) {
    std::string s;
    for (int i = n - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
  };
  const std::string file = "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(480, 2) + "MTrk" +
                           be(static_cast<uint32_t>(track.size()), 4) + track;
  size_t events = 0;
  for (auto _ : state) {
    std::optional<MidiTune> tune = ReadMidiTune(file);
    events = tune ? tune->events.size() : 0;
    benchmark::DoNotOptimize(events);
  }
  state.counters["events"] = static_cast<double>(events);
  state.counters["bytes"] = static_cast<double>(file.size());
}
BENCHMARK(BM_LargestMidiRead)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvane
