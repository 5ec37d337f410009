// The background music player: one tune at a time on the media device, and
// above all its length, because a stage lasts exactly as long as its music.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelvane {

struct Game;

// ---- Sources ----
// The current index and count of a source (-1 play list, 0 stage tunes,
// 1 CD). Any other source has neither; a scratch value stands in.
int8_t& SourceIndex(Game& g, int8_t source);
int8_t& SourceCount(Game& g, int8_t source);

// Moves the current source's index by delta (+1 or -1) with wrap-around;
// nothing when the source has fewer than two tunes.
void StepTune(Game& g, int delta);
// The tune the current source and index name; nothing for a source that
// names none.
std::optional<std::string> TuneName(Game& g);
// bgmFileName from the current source and index.
void BuildTuneName(Game& g);

// ---- Opening ----
// No tune: bgmFileName emptied, length one minute of silence.
void NoMusic(Game& g, int32_t& length);
// Opens bgmFileName (closing whatever was open). False, with the device
// closed, when the file cannot be opened or measured or reports no length.
bool OpenFile(Game& g, int32_t& length);
// Prepares track n of the open CD: the range for the next Play and its
// length. False, with the device closed, when the track cannot be measured.
bool OpenTrackCD(Game& g, int track, int32_t& length);
// Opens the CD drive cdDriveName (only for the CD source) and reads its
// track count: cdTrack becomes 1..cdTrackCount, or 0 when the CD cannot be
// used.
void OpenCD(Game& g);
// The music menu's probe for a disc, every third cycle of its character
// animation (idleCycle 0..15).
void PollCD(Game& g, int idleCycle);

// ---- Playing ----
// Starts the tune named by BuildTuneName; times it, or in the music menu
// names it in the caption instead.
void PlayCurrent(Game& g);
// Plays name from the start and restarts it each time it ends.
void PlayLooped(Game& g, const std::string& name);
// Stops and closes the device and disarms the end timer.
void StopMusic(Game& g);
// A tune that is not looped has ended: the next tune in continuous play,
// otherwise the end of the stage.
void MusicEnded(Game& g);

// The caption of a preview: note sign, file name, length, as Shift-JIS.
std::string MusicCaption(const std::string& fileName, int32_t length);

}  // namespace kelvane
