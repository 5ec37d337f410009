// The loudness of WAV and MP3 tunes (the game's own, the player's and
// dropped files), measured once off the game's thread and kept by the
// file's identity (path, size, modification time) in a small file of our
// own in the rendered-tunes cache folder; with renders turned off, for the
// run only.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "platform/core/loudness.h"

namespace kelvane {

// The figure measured for the file as it is now, if there is one.
std::optional<LoudnessFigure> KnownFileLoudness(const std::string& path);

// Measures the file on a thread of its own (decoding it whole through the
// mixer, which must be open) and keeps the figure, unless it is known or
// being measured.
void MeasureFileLoudnessAside(const std::string& path);

// The same for sound that is no file (a CD's tracks), under an identity of
// the caller's (one line, no newline).
std::optional<LoudnessFigure> KnownLoudness(const std::string& identity);
void MeasureLoudnessAside(const std::string& identity, std::function<LoudnessFigure()> measure);
// True once no measuring runs (within wait).
bool WaitForFileLoudnessMeasured(std::chrono::milliseconds wait);

}  // namespace kelvane
