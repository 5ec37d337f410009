#include "platform/sdl/sdl_media.h"

#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "music/audio_length.h"
#include "music/midi_events.h"
#include "music/midi_length.h"
#include "platform/cd/cd_disc.h"
#include "music/sound_balance.h"
#include "platform/core/shown_name.h"
#include "platform/sdl/cd_source.h"
#include "platform/sdl/file_loudness.h"
#include "platform/sdl/midi_source.h"
#include "platform/sdl/music_stream.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/synthesiser.h"

namespace kelvane {
namespace {

// The stop-at timer of a WAV or MP3 play runs on SDL's timer thread; a
// generation number tells it whether the play it was set for is still the
// current one. (Sources in the music stream stop at their end themselves.)
std::mutex stopMutex;
uint64_t stopGeneration = 0;

Uint32 StopAtEnd(Uint32, void* param) {
  std::lock_guard<std::mutex> lock(stopMutex);
  if (reinterpret_cast<uintptr_t>(param) == stopGeneration) HaltSdlMusic();
  return 0;  // once
}

uint64_t MsToFrames(uint32_t ms) {
  return uint64_t{ms} * kStreamRate / 1000u;
}

}  // namespace

SdlMedia::SdlMedia() = default;

SdlMedia::~SdlMedia() {
  if (open_) Close();
}

int SdlMedia::Result(int code, std::string detail) {
  lastError_ = code;
  lastDetail_ = std::move(detail);
  return code;
}

void SdlMedia::CancelStopTimer() {
  {
    std::lock_guard<std::mutex> lock(stopMutex);
    ++stopGeneration;
  }
  if (stopTimer_) SDL_RemoveTimer(stopTimer_);
  stopTimer_ = 0;
}

void SdlMedia::StartStopTimer(uint32_t afterMs) {
  uintptr_t generation;
  {
    std::lock_guard<std::mutex> lock(stopMutex);
    generation = static_cast<uintptr_t>(stopGeneration);
  }
  stopTimer_ = SDL_AddTimer(afterMs, StopAtEnd, reinterpret_cast<void*>(generation));
}

int SdlMedia::OpenFile(const std::string& path) {
  if (open_) Close();  // one device: opening again closes the old media first
  // Only the headers are read here (a MIDI file whole, being small): a
  // dropped file of gigabytes opens as quickly as a small one, and WAV and
  // MP3 tunes stream from the file while they play.
  TuneFileResult read = ReadTuneFile(path);
  if (!read.file) {
    std::fprintf(stderr, "kelvane: %s: %s\n", ShownName(path).c_str(), read.why.c_str());
    return Result(read.missing ? kFileNotFound : kCannotPlay, read.why);
  }
  TuneFile& file = *read.file;
  uint32_t ms = file.lengthMs;
  if (file.kind == TuneFile::Kind::Midi) {
    // MIDI is measured from its tempo map, the same on every host.
    std::optional<MidiTune> tune = ReadMidiTune(file.midi);
    if (!tune) return Result(kCannotPlay, "not a MIDI file that can be played");
    if (SdlAudioIsOpen()) {
      // Without a soundfont a MIDI tune cannot sound: the player takes its
      // missing-tune path. While the soundfont still loads, the tune opens
      // and comes in as soon as it is ready.
      if (SynthesiserState() == SynthState::NoSoundFont)
        return Result(kCannotPlay, "no General MIDI soundfont is installed");
      score_ = ScoreOf(*tune);
      presets_ = KeepPresetsLoaded(score_->presets);
      const std::string signature = SynthSignature();
      renderKey_ = signature.empty() || RenderedTunesFolder().empty()
                       ? 0
                       : RenderKey(*score_, signature);
      // Without renders the synthesiser's play is measured for the run.
      char key[40];
      std::snprintf(key, sizeof key, "midi %016llx",
                    static_cast<unsigned long long>(signature.empty() ? 0 : RenderKey(*score_, signature)));
      synthIdentity_ = renderKey_ || signature.empty() ? std::string() : key;
    }
  } else if (SdlAudioIsOpen()) {
    // The decoder is named, so the mixer never guesses at other formats
    // (some of which it would read whole); it keeps the file open and reads
    // it as the tune plays. The decoder's length wins where it knows one.
    SDL_RWops* rw = SDL_RWFromFile(path.c_str(), "rb");
    if (!rw) return Result(kFileNotFound, SDL_GetError());
    mixMusic_ = Mix_LoadMUSType_RW(rw, file.kind == TuneFile::Kind::Wave ? MUS_WAV : MUS_MP3, 1);
    if (!mixMusic_) {
      std::fprintf(stderr, "kelvane: %s: %s\n", ShownName(path).c_str(), Mix_GetError());
      return Result(kCannotPlay, Mix_GetError());
    }
    const double seconds = Mix_MusicDuration(mixMusic_);
    if (seconds > 0)
      ms = static_cast<uint32_t>(
          std::min<double>(std::lround(seconds * 1000.0), kMaxTuneLengthMs));
    if (ms == 0) {
      Mix_FreeMusic(mixMusic_);
      mixMusic_ = nullptr;
      return Result(kCannotPlay, "the file holds no music");
    }
  }
  open_ = true;
  path_ = path;
  length_ = ms;
  playing_ = paused_ = false;
  return Result(0);
}

int SdlMedia::OpenCD(const std::string& drive) {
  if (open_) Close();
  std::string why;
  std::shared_ptr<CdDisc> disc = CdDisc::Open(drive, why);
  if (!disc)
    return Result(kUnsupported, why.empty() ? ShownName(drive) : ShownName(drive) + ": " + why);
  disc_ = std::move(disc);
  open_ = true;
  path_ = drive;
  length_ = disc_->LengthMs();
  playing_ = paused_ = false;
  return Result(0);
}

int SdlMedia::SetTimeFormatMs() {
  return Result(open_ ? 0 : kNotOpen);
}

int SdlMedia::Length(uint32_t& ms) {
  if (!open_) return Result(kNotOpen);
  ms = length_;
  return Result(0);
}

// A file is one track that starts at 0.
int SdlMedia::TrackCount(int& tracks) {
  if (!open_) return Result(kNotOpen);
  tracks = disc_ ? disc_->TrackCount() : 1;
  return Result(0);
}

int SdlMedia::TrackStart(int track, uint32_t& ms) {
  if (!open_) return Result(kNotOpen);
  if (disc_) {
    std::optional<CdTrack> t = disc_->Track(track);
    if (!t) return Result(kOutOfRange);
    ms = t->startMs;
    return Result(0);
  }
  if (track != 1) return Result(kOutOfRange);
  ms = 0;
  return Result(0);
}

int SdlMedia::TrackLength(int track, uint32_t& ms) {
  if (!open_) return Result(kNotOpen);
  if (disc_) {
    std::optional<CdTrack> t = disc_->Track(track);
    if (!t) return Result(kOutOfRange);
    // A data track has no music: its length is refused, so the player
    // falls back to silence instead of timing noise.
    if (!t->audio) return Result(kNotAudioTrack);
    ms = t->lengthMs;
    return Result(0);
  }
  if (track != 1) return Result(kOutOfRange);
  ms = length_;
  return Result(0);
}

uint32_t SdlMedia::Position() const {
  uint64_t elapsed = SDL_GetTicks64() - playStartTick_;
  return static_cast<uint32_t>(std::min<uint64_t>(playFrom_ + elapsed, UINT32_MAX));
}

MediaMode SdlMedia::Mode() {
  if (!open_) return MediaMode::NotReady;
  if (playing_) {
    // The end of the media, or the stop position, ends the play. A source
    // in the music stream knows its own end by the sound card's clock (and
    // ends early when a CD is taken out mid-track); the others are timed.
    bool ended = streaming_ ? StreamEnded() : Position() >= playTo_;
    if (mixMusic_ && !Mix_PlayingMusic()) ended = true;
    if (ended) {
      CancelStopTimer();
      if (streaming_) StreamStop();
      if (mixMusic_) HaltSdlMusic();
      streaming_ = false;
      playing_ = false;
    }
  }
  return playing_ ? MediaMode::Playing : MediaMode::Stopped;
}

// A CD's play is known by the disc's table of contents and its sectors; a
// play not measured yet plays at the standard gain and is measured (read
// whole on a thread of its own) for its next start.
float SdlMedia::CdLevel(CdRange range) {
  namespace sb = sound_balance;
  std::string identity = "cd";
  for (int t = 1; t <= disc_->TrackCount(); ++t) {
    const std::optional<CdTrack> track = disc_->Track(t);
    if (track) identity += " " + std::to_string(track->startMs) + "+" + std::to_string(track->lengthMs);
  }
  identity += " play " + std::to_string(range.first) + "-" + std::to_string(range.end);
  double db = sb::kUnmeasuredGainDb;
  if (std::optional<LoudnessFigure> figure = KnownLoudness(identity))
    db = sb::NormalisingGainDb(figure->integrated_lufs, figure->true_peak_dbtp);
  else
    MeasureLoudnessAside(identity, [disc = disc_, range] { return MeasureCdRange(*disc, range); });
  return static_cast<float>(sb::GainFactor(db));
}

int SdlMedia::StartPlay(uint32_t from, uint32_t to) {
  if (score_) {
    // A tune heard before plays from its render; looked up at every play,
    // so a render finished by the last loop serves the next.
    PlayRender render{renderKey_, nullptr};
    if (renderKey_) render.tune = FindRenderedTune(renderKey_, score_->lengthFrames);
    if (!synthIdentity_.empty()) {
      render.loudness = KnownLoudness(synthIdentity_);
      if (!render.loudness)
        MeasureLoudnessAside(synthIdentity_, [score = score_, font = SoundFontPath()] {
          return MeasureSynthesised(score, font);
        });
    }
    StreamStart(std::make_shared<MidiSource>(score_, MsToFrames(from), MsToFrames(to), presets_,
                                             std::move(render)));
    streaming_ = true;
  } else if (disc_) {
    std::optional<CdRange> range = disc_->AudioRange(from, to);
    if (!range) return Result(kNotAudioTrack, "a data track cannot be played");
    if (SdlAudioIsOpen()) {
      StreamStart(std::make_shared<CdSource>(disc_, *range, CdLevel(*range)));
      streaming_ = true;
    }
  } else if (mixMusic_) {
    HaltSdlMusic();
    // Measured files play at the game's loudness; one not measured yet
    // plays at the standard gain and is measured for its next start.
    namespace sb = sound_balance;
    double db = sb::kUnmeasuredGainDb;
    if (std::optional<LoudnessFigure> figure = KnownFileLoudness(path_))
      db = sb::NormalisingGainDb(figure->integrated_lufs, figure->true_peak_dbtp);
    else
      MeasureFileLoudnessAside(path_);
    SetSdlMusicLevel(LoudnessNormalised() ? static_cast<float>(sb::GainFactor(db)) : 1.0f);
    FadeInSdlMusic();
    if (Mix_PlayMusic(mixMusic_, 0) != 0) return Result(kCannotPlay, Mix_GetError());
    if (from > 0 && Mix_SetMusicPosition(from / 1000.0) != 0) {
      Mix_HaltMusic();
      return Result(kOutOfRange, "this file cannot start in the middle");
    }
    if (to < length_ && to > from) StartStopTimer(to - from);
  }
  return 0;
}

int SdlMedia::Play(std::optional<uint32_t> fromMs, std::optional<uint32_t> toMs) {
  if (!open_) return Result(kNotOpen);
  uint32_t to = toMs.value_or(length_);
  if ((fromMs && *fromMs > length_) || to > length_) return Result(kOutOfRange);
  CancelStopTimer();
  if (!fromMs && paused_) {
    // Play after Stop goes on from where it stopped, as the media device does.
    playFrom_ = pausedAt_;
    if (streaming_) StreamResume();
    if (mixMusic_) ResumeSdlMusic();
    if (mixMusic_ && to < length_ && to > playFrom_) StartStopTimer(to - playFrom_);
  } else {
    playFrom_ = fromMs.value_or(0);
    if (streaming_) StreamStop();
    streaming_ = false;
    if (int code = StartPlay(playFrom_, to); code != 0) return code;
  }
  paused_ = false;
  playing_ = true;
  playTo_ = to;
  playStartTick_ = SDL_GetTicks64();
  return Result(0);
}

int SdlMedia::Stop() {
  if (!open_) return Result(kNotOpen);
  if (Mode() == MediaMode::Playing) {
    CancelStopTimer();
    pausedAt_ = Position();
    if (streaming_) StreamPause();
    if (mixMusic_) PauseSdlMusic();
    playing_ = false;
    paused_ = true;
  }
  return Result(0);
}

int SdlMedia::Close() {
  if (!open_) return Result(kNotOpen);
  CancelStopTimer();
  if (streaming_) StreamStop();
  // After the mixer has shut down its decoders are gone with it; only the
  // pointer is dropped then.
  if (mixMusic_ && SdlAudioIsOpen()) {
    HaltSdlMusic();
    Mix_FreeMusic(mixMusic_);
  }
  mixMusic_ = nullptr;
  score_.reset();
  renderKey_ = 0;
  synthIdentity_.clear();
  disc_.reset();
  streaming_ = false;
  open_ = playing_ = paused_ = false;
  path_.clear();
  length_ = 0;
  return Result(0);
}

std::string SdlMedia::ErrorText(int code) {
  std::string text;
  switch (code) {
    case 0:
      return "";
    case kNotOpen:
      text = "The device is not open.";
      break;
    case kUnsupported:
      text = "There is no audio CD in the drive.";
      break;
    case kFileNotFound:
      text = "The file cannot be found or read.";
      break;
    case kOutOfRange:
      text = "The position is outside the media.";
      break;
    case kCannotPlay:
      text = "The file cannot be played by the media device.";
      break;
    case kNotAudioTrack:
      text = "The CD track holds data, not audio.";
      break;
    default:
      text = "Media device error " + std::to_string(code) + ".";
      break;
  }
  if (code == lastError_ && !lastDetail_.empty()) text += " (" + lastDetail_ + ")";
  return text;
}

}  // namespace kelvane
