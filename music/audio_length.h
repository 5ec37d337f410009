// Measuring the other tune formats of the play list (WAV, MP3) from their
// bytes, and picking the right measurement for a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// Play time in ms of a RIFF WAVE file from its header: data bytes over the
// byte rate. A data chunk that claims more than the file holds is measured
// as far as it goes. Nothing when the bytes are not a usable WAVE file.
std::optional<uint32_t> WavLengthMs(std::string_view bytes);

// Play time in ms of an MPEG audio (MP3) file, by walking its frame headers
// after any ID3 tag. Nothing when no run of valid frames is found.
std::optional<uint32_t> Mp3LengthMs(std::string_view bytes);

// Picks the measurement by the file's contents (MIDI, RIFF WAVE), falling
// back to the name's extension for MP3, which has no fixed signature.
// Every result is capped at an hour.
std::optional<uint32_t> MeasureTuneBytes(std::string_view name, std::string_view bytes);

// A tune file as seen before it is played: what it is and how long it
// plays, found from its headers without reading the whole file, so that a
// huge file costs no more than a small one.
struct TuneFile {
  enum class Kind { Midi, Wave, Mp3 };
  Kind kind = Kind::Midi;
  uint32_t lengthMs = 0;
  std::string midi;  // a MIDI file's bytes (small, by the limit below)
};

// A MIDI tune of an hour with dense notes on every channel fits in a few
// hundred kB; anything larger is not a tune this game would play. The file is
// read and sequenced on the game's thread: 1 MB of nothing but notes takes
// about 20 ms, half a frame of the menus.
inline constexpr uint64_t kMaxMidiFileBytes = 1u << 20;
// RIFF sizes are 32-bit: a WAV file beyond this cannot say where its
// samples end.
inline constexpr uint64_t kMaxWavFileBytes = 0xFFFFFFFFull + 8;

struct TuneFileResult {
  std::optional<TuneFile> file;
  bool missing = false;  // no such file, or it cannot be read at all
  std::string why;       // when refused: one line that says why
};

// Opens only regular files (a pipe or a device would block the game). MIDI
// is read whole up to its limit; WAV is measured from its chunk headers;
// MP3 by walking its frames, over the first few MB only when the file is
// large (the rest is reckoned at the same rate). A file that is none of
// these, has no music, or is too large for its format is refused.
TuneFileResult ReadTuneFile(const std::string& path);

}  // namespace kelvane
