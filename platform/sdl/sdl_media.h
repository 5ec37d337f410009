// The media device behind BGM. MIDI tunes play on the one synthesiser of
// the run through our own sequencer (ready as soon as the file is read);
// WAV and MP3 through SDL2_mixer's decoders; CD audio from a drive or a
// CUE/BIN image through libcdio. Lengths come from the media themselves
// (MIDI from its tempo map), so a stage lasts exactly as long as its tune;
// without an audio device a tune is still opened, measured and timed, only
// silent.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

struct _Mix_Music;

namespace kelvane {

struct MidiScore;
class CdDisc;
struct CdRange;

class SdlMedia : public MediaDevice {
 public:
  // Result codes besides 0 and kNotOpen, in the media-control numbering.
  static constexpr int kUnsupported = 274;    // CD audio: no disc, or no such drive
  static constexpr int kFileNotFound = 275;   // no such file, or unreadable
  static constexpr int kOutOfRange = 282;     // a track or position beyond the media
  static constexpr int kCannotPlay = 304;     // not a file any decoder can play
  static constexpr int kNotAudioTrack = 324;  // a data track of a CD

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
  int Result(int code, std::string detail = {});
  void CancelStopTimer();
  void StartStopTimer(uint32_t afterMs);
  int StartPlay(uint32_t from, uint32_t to);
  float CdLevel(CdRange range);
  uint32_t Position() const;  // ms into the media, while playing

  bool open_ = false;
  std::shared_ptr<const MidiScore> score_;  // a MIDI tune with audio on
  uint64_t presets_ = 0;                    // the request loading its instruments
  uint64_t renderKey_ = 0;                  // names its rendered tune (0: none)
  std::string synthIdentity_;               // with renders off: its loudness's key
  _Mix_Music* mixMusic_ = nullptr;          // a WAV or MP3 tune with audio on
  std::shared_ptr<CdDisc> disc_;            // an open CD
  bool streaming_ = false;                  // a source of ours is in the music stream
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

}  // namespace kelvane
