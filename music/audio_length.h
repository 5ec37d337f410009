// Measuring the other tune formats of the play list (WAV, MP3) from their
// bytes, and picking the right measurement for a file.
#pragma once

#include <cstdint>
#include <optional>
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

}  // namespace kelvane
