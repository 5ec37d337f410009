// A MIDI tune played on the shared synthesiser by our own sequencer: events
// go to the synthesiser at the exact frame their time falls on, so the
// sound keeps to the tempo map the stage is timed by.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "music/midi_events.h"
#include "platform/sdl/music_stream.h"
#include "platform/sdl/synthesiser.h"

namespace kelvane {

// A tune read once at open, shared by every play of it.
struct MidiScore {
  struct Event {
    uint64_t frame;
    uint8_t status, data1, data2;
  };
  std::vector<Event> events;
  // The instruments the tune selects (and the synthesiser's defaults), for
  // KeepPresetsLoaded.
  std::vector<SynthPreset> presets;
  uint64_t lengthFrames = 0;
};

std::shared_ptr<const MidiScore> ScoreOf(const MidiTune& tune);

// One play of a score, over a range of frames.
class MidiSource : public MusicSource {
 public:
  // presets: the KeepPresetsLoaded request the play waits for before it
  // starts, so it never makes the synthesiser read samples itself.
  MidiSource(std::shared_ptr<const MidiScore> score, uint64_t from, uint64_t to,
             uint64_t presets = 0);

  size_t Render(float* out, size_t frames) override;
  uint64_t FramesLeft() const override { return end_ > pos_ ? end_ - pos_ : 0; }
  bool UsesSynth() const override { return true; }
  void Silence() override;

 private:
  using Event = MidiScore::Event;
  void Send(fluid_synth_t* synth, const Event& e, bool notes);
  // Puts the synthesiser in the state the tune has at pos_: every channel
  // quiet, programs, controllers and bends as they stand there.
  void Resync(fluid_synth_t* synth);

  std::shared_ptr<const MidiScore> score_;
  const std::vector<Event>& events_;
  uint64_t pos_ = 0;
  uint64_t end_ = 0;
  uint64_t presets_ = 0;
  size_t next_ = 0;      // the first event not yet sent
  bool inSync_ = false;  // the synthesiser holds the state at pos_
  std::vector<float> left_, right_;
};

}  // namespace kelvane
