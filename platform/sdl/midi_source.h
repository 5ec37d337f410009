// A MIDI tune played on the shared synthesiser by our own sequencer: events
// go to the synthesiser at the exact frame their time falls on, so the
// sound keeps to the tempo map the stage is timed by.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "music/midi_events.h"
#include "platform/sdl/music_stream.h"
#include "platform/sdl/rendered_tunes.h"
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

// How a play uses rendered tunes: key names the score's render (0: none);
// a play of the whole score without a render makes one as it goes. With
// tune, the play reads that render and leaves the synthesiser alone. With
// synth, the play renders on that synthesiser of its own, on the caller's
// thread, and never touches the game's synthesiser or its locks.
struct PlayRender {
  uint64_t key = 0;
  std::shared_ptr<const RenderedTune> tune;
  fluid_synth_t* synth = nullptr;
  // The tune's loudness measured without a render (renders turned off).
  std::optional<LoudnessFigure> loudness = std::nullopt;
};

// The loudness of the whole score as the synthesiser plays it, rendered on a
// synthesiser of its own at a low priority and kept nowhere. Slow:
// never on the game's thread.
LoudnessFigure MeasureSynthesised(std::shared_ptr<const MidiScore> score, const std::string& soundFont);

// One play of a score, over a range of frames. The play that has the
// synthesiser is rendered ahead of the mixer, in blocks of about 46 ms on a
// thread of its own, so the audio thread mostly copies what is ready: fewer
// and longer runs of the synthesiser cost less than one per mix period. What
// is not ready yet (the first block of a play, or after a stall) is rendered
// on the spot, so the sound is the same either way. A play from a rendered
// tune goes the same way, reading the file where it would run the
// synthesiser.
class MidiSource : public MusicSource {
 public:
  // presets: the KeepPresetsLoaded request the play waits for before it
  // starts, so it never makes the synthesiser read samples itself.
  MidiSource(std::shared_ptr<const MidiScore> score, uint64_t from, uint64_t to,
             uint64_t presets = 0, PlayRender render = {});
  ~MidiSource() override;

  size_t Render(float* out, size_t frames) override;
  uint64_t FramesLeft() const override;
  bool UsesSynth() const override { return !rendered_ && !own_; }
  void Silence() override;
  float Level() const override;

  // Rendering ahead on or off for the plays made from now on (tests compare
  // the two); on by default.
  static void RenderAhead(bool on);

 private:
  using Event = MidiScore::Event;
  friend struct AheadRenderer;
  void Send(fluid_synth_t* synth, const Event& e, bool notes);
  // Puts the synthesiser in the state the tune has at pos_: every channel
  // quiet, programs, controllers and bends as they stand there.
  void Resync(fluid_synth_t* synth);
  // Renders the next frames of the play from the synthesiser (the render
  // lock held); returns how many, or -1 when the play has to wait for its
  // instruments.
  long RenderSequence(float* out, size_t frames);
  size_t TakeReady(float* out, size_t frames);
  // The renderer's part: tops up the frames ready ahead; false when there
  // is nothing to do.
  bool RenderAheadStep();
  // Keeps what the synthesiser rendered of a whole play, and hands it to
  // be stored when the play is complete.
  void Record(const float* frames, size_t count);
  void StopRecording();

  std::shared_ptr<const MidiScore> score_;
  const std::vector<Event>& events_;
  uint64_t pos_ = 0;  // the synthesiser's place in the play
  uint64_t end_ = 0;
  uint64_t presets_ = 0;
  size_t next_ = 0;      // the first event not yet sent
  bool inSync_ = false;  // the synthesiser holds the state at pos_
  bool ahead_ = true;
  std::vector<float> left_, right_;
  // Frames rendered ahead (stereo, interleaved), from the place handed out.
  std::mutex readyLock_;
  std::vector<float> ready_;
  size_t readyStart_ = 0, readyFrames_ = 0;
  std::atomic<uint64_t> handed_{0};  // the place handed to the stream
  // The render the play reads, or the synthesiser of its own, fixed when
  // it is made.
  std::shared_ptr<const RenderedTune> rendered_;
  fluid_synth_t* own_ = nullptr;
  std::optional<LoudnessFigure> measured_;
  // The render lock held for these.
  bool readFailed_ = false;
  uint64_t renderKey_ = 0;
  bool recording_ = false;
  std::vector<int16_t> record_;
};

}  // namespace kelvane
