// Measuring MIDI tunes from their own bytes. A stage lasts exactly as long as
// its tune, so the length has to come out the same on every host, whatever
// renders the sound.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvane {

// No tune is measured longer than an hour: a damaged delta time would
// otherwise keep a stage running for days.
inline constexpr uint32_t kMaxTuneLengthMs = 60u * 60u * 1000u;

// Play time in ms of a Standard MIDI File (also wrapped in a RIFF "RMID"
// file): the time of the last event of the longest track under the tempo map
// of all tracks, 120 beats a minute until the first tempo event; SMPTE
// divisions ignore tempo events. A damaged track is measured up to its last
// complete event. Nothing when the bytes are not MIDI or carry no usable
// time division.
std::optional<uint32_t> MidiLengthMs(std::string_view bytes);

// The tick reached after ms of play under the same tempo map, for a player
// that seeks by ticks: a tune started from the middle then sounds where the
// game's clock says it is. A time past the end gives the end tick. Nothing
// when the bytes are not MIDI.
std::optional<uint64_t> MidiTickAtMs(std::string_view bytes, uint32_t ms);

}  // namespace kelvane
