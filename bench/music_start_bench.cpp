// How quickly a MIDI tune sounds once the synthesiser has loaded its
// soundfont, and what the synthesiser costs while a tune plays.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/audio_support.h"
#include "music/midi_events.h"
#include "platform/sdl/midi_source.h"
#include "platform/sdl/music_stream.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_media.h"
#include "platform/sdl/synthesiser.h"

namespace kelvane {
namespace {

using bench::Tune;

// From the stage timer's start (open and play of the tune) to the first
// sample above silence rendered into the mixer.
void BM_MidiTuneFirstSound(benchmark::State& state) {
  if (!bench::OpenAudioWithSynthesiser(state, "dummy")) return;
  SdlMedia m;
  int n = 0;
  std::vector<double> ms;
  for (auto _ : state) {
    uint64_t t0 = StreamClockUs();
    m.OpenFile(Tune(n++ % 8 + 1));
    m.Play(std::nullopt, std::nullopt);
    uint64_t sound = 0;
    while (!(sound = StreamFirstSoundUs()) && StreamClockUs() - t0 < 1000000)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    state.SetIterationTime(static_cast<double>(sound - t0) / 1e6);
    ms.push_back(static_cast<double>(sound - t0) / 1e3);
    m.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  // The mean hides how it spreads: a busy machine gives a few long waits.
  std::sort(ms.begin(), ms.end());
  if (!ms.empty()) {
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["worst_ms"] = ms.back();
  }
  CloseSdlAudio();
}
BENCHMARK(BM_MidiTuneFirstSound)->UseManualTime()->Iterations(24)->Unit(benchmark::kMillisecond);

// One second of the busiest default tune through the synthesiser and the
// stream: the share of a core that playing music takes.
void BM_RenderOneSecondOfMusic(benchmark::State& state) {
  StartSynthesiser();
  if (!WaitForSynthesiser(30000)) {
    state.SkipWithError("no soundfont");
    return;
  }
  std::optional<MidiTune> tune;
  {
    std::FILE* f = std::fopen(Tune(6).c_str(), "rb");
    std::string bytes;
    char buf[4096];
    for (size_t got; f && (got = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, got);
    if (f) std::fclose(f);
    tune = ReadMidiTune(bytes);
  }
  if (!tune) {
    state.SkipWithError("no tune");
    return;
  }
  std::shared_ptr<const MidiScore> score = ScoreOf(*tune);
  uint64_t request = KeepPresetsLoaded(score->presets);
  while (!PresetsLoaded(request)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::vector<int16_t> out(512 * 2);
  uint64_t at = kStreamRate * 20;
  for (auto _ : state) {
    ResetMusicStream();
    StreamStart(std::make_shared<MidiSource>(score, at, score->lengthFrames));
    for (int i = 0; i < kStreamRate / 512; ++i) RenderMusicStream(out.data(), 512);
    at = (at + kStreamRate) % (score->lengthFrames - kStreamRate);
  }
  ResetMusicStream();
}
BENCHMARK(BM_RenderOneSecondOfMusic)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvane
