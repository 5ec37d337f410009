// The channel events of a MIDI tune on one time line, for a sequencer that
// plays them itself. Times follow the same tempo map as MidiLengthMs, so the
// sound ends where the stage timer does.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kelvane {

struct MidiEvent {
  uint64_t us;     // from the start of the tune
  uint8_t status;  // 0x80..0xEF: a channel message
  uint8_t data1;
  uint8_t data2;  // 0 for one-byte messages
};

struct MidiTune {
  std::vector<MidiEvent> events;  // in play order
  uint32_t lengthMs = 0;          // as MidiLengthMs measures it
};

// Nothing when the bytes are not MIDI (same rules as MidiLengthMs). Meta
// and system-exclusive events are left out; a damaged track is read up to
// its last complete event.
std::optional<MidiTune> ReadMidiTune(std::string_view bytes);

}  // namespace kelvane
