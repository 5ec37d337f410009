// A forged tune read as a score, with its instruments loaded on the
// synthesiser's worker before the test plays it.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "music/midi_events.h"
#include "platform/sdl/midi_source.h"
#include "platform/sdl/synthesiser.h"
#include "tests/test_support.h"

namespace kelvane::test {

inline std::shared_ptr<const MidiScore> LoadedScore(const std::string& name) {
  std::optional<MidiTune> tune = ReadMidiTune(ReadAll(GameDir() + name));
  if (!tune) return nullptr;
  std::shared_ptr<const MidiScore> score = ScoreOf(*tune);
  uint64_t request = KeepPresetsLoaded(score->presets);
  for (int i = 0; i < 3000 && !PresetsLoaded(request); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return score;
}

}  // namespace kelvane::test
