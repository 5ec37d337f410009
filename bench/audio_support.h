// Shared by the sound benchmarks: the forged tunes and the audio device.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/synthesiser.h"

namespace kelvane::bench {

// Stage tune n (1 to 8) of the forged data.
inline std::string Tune(int n) {
  return std::string(KELVANE_GAME_DIR) + "/Z0" + std::to_string(n) + ".mid";
}

// Opens the audio device through SDL's `driver` (unless the environment
// names one) with the synthesiser ready; false, the benchmark skipped, when
// either is missing.
inline bool OpenAudioWithSynthesiser(benchmark::State& state, const char* driver) {
  setenv("SDL_AUDIODRIVER", driver, 0);
  if (!OpenSdlAudio() || !WaitForSynthesiser(30000)) {
    state.SkipWithError("no audio or no soundfont");
    return false;
  }
  return true;
}

}  // namespace kelvane::bench
