// Writes Standard MIDI Files (format 1): a conductor track with the tempo
// map, then one track per part, each on its own channel with a General MIDI
// program (channel 10, index 9, is the drum kit).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace forge {

class MidiSong {
 public:
  static constexpr int kDrumChannel = 9;

  explicit MidiSong(int ticksPerQuarter = 480) : division_(ticksPerQuarter) {}
  int division() const { return division_; }

  // Conductor track.
  void Tempo(uint32_t tick, double bpm);
  void TimeSignature(uint32_t tick, int numerator, int denominator);
  void Marker(uint32_t tick, const std::string& text);

  // A new part; program is the General MIDI program 0..127 (ignored on the
  // drum channel). Returns the part's index.
  int AddPart(const std::string& name, int channel, int program, int volume, int pan, int reverb);
  void Note(int part, uint32_t tick, uint32_t length, int key, int velocity);
  void Control(int part, uint32_t tick, int controller, int value);

  // Every track ends here (the tune's measured length); notes that would
  // sound past it are cut.
  void SetEnd(uint32_t tick) { end_ = tick; }
  uint32_t end() const { return end_; }

  std::string Bytes() const;

 private:
  struct Event {
    uint32_t tick;
    int order;  // at one tick: note offs, then controls, then note ons
    std::string data;
  };
  struct NoteOn {
    uint32_t tick, length;
    int key, velocity;
  };
  struct Part {
    std::string name;
    int channel, program, volume, pan, reverb;
    std::vector<NoteOn> notes;
    std::vector<Event> controls;
  };
  std::string TrackBytes(std::vector<Event> events) const;

  int division_;
  uint32_t end_ = 0;
  std::vector<Event> conductor_;
  std::vector<Part> parts_;
};

}  // namespace forge
