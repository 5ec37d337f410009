// The media device behind BGM over SDL2_mixer's music stream: MIDI through
// FluidSynth and a General MIDI soundfont, WAV and MP3 through their
// decoders. Lengths come from the files themselves (MIDI from its tempo
// map), so a stage lasts exactly as long as its tune; without an audio
// device the tune is still opened, measured and timed, only silent.
//
// FluidSynth takes most of a second to load a tune, so MIDI loads on a
// worker thread: the frame loop never waits, and a play asked for before
// the load is done starts when it is. A second copy of the last MIDI file
// is loaded ahead, so that a looped tune, which is reopened at its end,
// starts again at once.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

struct _Mix_Music;

namespace kelvane {

class SdlMedia : public MediaDevice {
 public:
  // Result codes besides 0 and kNotOpen, in the media-control numbering.
  static constexpr int kUnsupported = 274;   // CD audio: not available here
  static constexpr int kFileNotFound = 275;  // no such file, or unreadable
  static constexpr int kOutOfRange = 282;    // a track or position beyond the media
  static constexpr int kCannotPlay = 304;    // not a file any decoder can play

  SdlMedia();
  SdlMedia(const SdlMedia&) = delete;
  SdlMedia& operator=(const SdlMedia&) = delete;
  ~SdlMedia() override;

  int OpenFile(const std::string& path) override;
  int OpenCD(const std::string& drive) override;
  int SetTimeFormatMs() override;
  int Length(uint32_t& ms) override;
  int TrackCount(int& tracks) override;
  int TrackStart(int track, uint32_t& ms) override;
  int TrackLength(int track, uint32_t& ms) override;
  MediaMode Mode() override;
  int Play(std::optional<uint32_t> fromMs, std::optional<uint32_t> toMs) override;
  int Stop() override;
  int Close() override;
  int LastError() override { return lastError_; }
  std::string ErrorText(int code) override;

 private:
  struct Load;
  static std::unique_ptr<Load> StartLoad(const std::string& path);
  int Result(int code, std::string detail = {});
  void CancelStopTimer();
  void Retire(std::unique_ptr<Load> load);
  uint32_t Position() const;  // ms into the media, while playing

  bool open_ = false;
  std::unique_ptr<Load> music_;                 // null when the game runs without audio
  std::unique_ptr<Load> spare_;                 // the same MIDI file once more, for a reopen
  std::vector<std::unique_ptr<Load>> retired_;  // loads no longer wanted, still running
  std::string path_;
  uint32_t length_ = 0;
  bool playing_ = false;
  bool paused_ = false;
  uint32_t playFrom_ = 0;
  uint32_t playTo_ = 0;  // where play stops, in ms
  uint64_t playStartTick_ = 0;
  uint32_t pausedAt_ = 0;
  SDL_TimerID stopTimer_ = 0;
  int lastError_ = 0;
  std::string lastDetail_;
};

// The most music loads that have run at the same time since the program
// started (for tests: the synthesiser must only ever see one).
int MostMusicLoadsAtOnce();

}  // namespace kelvane
