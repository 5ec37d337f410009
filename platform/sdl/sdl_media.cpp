#include "platform/sdl/sdl_media.h"

#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "music/audio_length.h"
#include "music/midi_length.h"
#include "platform/sdl/sdl_audio.h"

namespace kelvane {
namespace {

// The stop-at timer runs on SDL's timer thread; a generation number tells
// it whether the play it was set for is still the current one.
std::mutex stopMutex;
uint64_t stopGeneration = 0;

// The MIDI decoder is not safe to enter from two threads at once: two
// loads side by side (a tune and its spare copy) corrupted its heap. Loads
// therefore run one at a time, in the order they were asked for, so the
// tune that is to play first is not kept waiting behind its spare.
std::mutex loadQueueMutex;
std::condition_variable loadQueueTurn;
uint64_t nextLoadTicket = 0;
uint64_t servingLoadTicket = 0;
int loadsRunning = 0;
int mostLoadsRunning = 0;

uint64_t TakeLoadTicket() {
  std::lock_guard<std::mutex> lock(loadQueueMutex);
  return nextLoadTicket++;
}

Mix_Music* LoadInTurn(uint64_t ticket, const std::string& path) {
  std::unique_lock<std::mutex> lock(loadQueueMutex);
  loadQueueTurn.wait(lock, [ticket] { return servingLoadTicket == ticket; });
  ++loadsRunning;
  mostLoadsRunning = std::max(mostLoadsRunning, loadsRunning);
  lock.unlock();
  Mix_Music* music = Mix_LoadMUS(path.c_str());
  lock.lock();
  --loadsRunning;
  ++servingLoadTicket;
  loadQueueTurn.notify_all();
  return music;
}

Uint32 StopAtEnd(Uint32, void* param) {
  std::lock_guard<std::mutex> lock(stopMutex);
  if (reinterpret_cast<uintptr_t>(param) == stopGeneration) Mix_HaltMusic();
  return 0;  // once
}

std::optional<std::string> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return out.str();
}

bool IsMidi(const std::string& bytes) {
  return MidiLengthMs(bytes).has_value();
}

}  // namespace

// One loaded (or loading) music stream. The worker thread and the game's
// thread meet under the mutex: whoever comes second starts a wanted play.
struct SdlMedia::Load {
  std::string path;
  std::thread worker;
  std::mutex m;
  bool done = false;        // the worker has finished, music is final
  bool playWanted = false;  // Play came before the load finished
  bool started = false;     // Mix_PlayMusic has run for this stream
  Mix_Music* music = nullptr;

  ~Load() {
    if (worker.joinable()) worker.join();
    // After the mixer has shut down the decoder is gone with it; only the
    // pointer is dropped then.
    if (music && SdlAudioIsOpen()) {
      if (started) Mix_HaltMusic();
      Mix_FreeMusic(music);
    }
  }
  bool Done() {
    std::lock_guard<std::mutex> lock(m);
    return done;
  }
  // Starts the stream now if it is loaded, else as soon as it is.
  int Start() {
    std::lock_guard<std::mutex> lock(m);
    if (!done) {
      playWanted = true;
      return 0;
    }
    if (!music) return 0;  // could not be loaded: timed silence
    if (Mix_PlayMusic(music, 0) != 0) return -1;
    started = true;
    return 0;
  }
};

std::unique_ptr<SdlMedia::Load> SdlMedia::StartLoad(const std::string& path) {
  auto load = std::make_unique<Load>();
  load->path = path;
  BeginSdlAudioLoad();
  load->worker = std::thread([l = load.get(), ticket = TakeLoadTicket()] {
    Mix_Music* music = LoadInTurn(ticket, l->path);
    {
      std::lock_guard<std::mutex> lock(l->m);
      l->music = music;
      l->done = true;
      if (l->playWanted && music && Mix_PlayMusic(music, 0) == 0) l->started = true;
    }
    EndSdlAudioLoad();
  });
  return load;
}

// A load that is no longer wanted finishes in the background; it is
// joined once done, never waited for on the game's thread.
void SdlMedia::Retire(std::unique_ptr<Load> load) {
  if (load) retired_.push_back(std::move(load));
  std::erase_if(retired_, [](const std::unique_ptr<Load>& l) { return l->Done(); });
}

int MostMusicLoadsAtOnce() {
  std::lock_guard<std::mutex> lock(loadQueueMutex);
  return mostLoadsRunning;
}

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

int SdlMedia::OpenFile(const std::string& path) {
  if (open_) Close();  // one device: opening again closes the old media first
  std::optional<std::string> bytes = ReadBytes(path);
  if (!bytes) return Result(kFileNotFound, path);

  std::unique_ptr<Load> music;
  std::optional<uint32_t> ms;
  if (IsMidi(*bytes)) {
    // MIDI is measured from its tempo map, the same on every host; the
    // slow load runs on the side. A tune without time would leave its stage
    // without an end (a length of 0 arms no end timer), so it is refused and
    // the player's fallback for unplayable files takes over.
    ms = MidiLengthMs(*bytes);
    if (*ms == 0) return Result(kCannotPlay, "the file holds no music");
    if (SdlAudioIsOpen()) {
      if (spare_ && spare_->path == path) {
        music = std::move(spare_);
      } else {
        music = StartLoad(path);
      }
      Retire(std::move(spare_));
      spare_ = StartLoad(path);
    }
  } else {
    // WAV and MP3 load quickly; their length comes from the decoder when
    // it knows it, else from their headers.
    if (SdlAudioIsOpen()) {
      music = std::make_unique<Load>();
      music->path = path;
      music->done = true;
      music->music = Mix_LoadMUS(path.c_str());
      if (!music->music) return Result(kCannotPlay, Mix_GetError());
      double seconds = Mix_MusicDuration(music->music);
      if (seconds > 0)
        ms = static_cast<uint32_t>(
            std::min<double>(std::lround(seconds * 1000.0), kMaxTuneLengthMs));
    }
    if (!ms) ms = MeasureTuneBytes(path, *bytes);
    if (!ms) return Result(kCannotPlay, "the length of the file cannot be found");
    if (*ms == 0) return Result(kCannotPlay, "the file holds no music");
  }
  music_ = std::move(music);
  open_ = true;
  path_ = path;
  length_ = *ms;
  playing_ = paused_ = false;
  return Result(0);
}

int SdlMedia::OpenCD(const std::string& drive) {
  if (open_) Close();
  return Result(kUnsupported, drive);
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
  tracks = 1;
  return Result(0);
}

int SdlMedia::TrackStart(int track, uint32_t& ms) {
  if (!open_) return Result(kNotOpen);
  if (track != 1) return Result(kOutOfRange);
  ms = 0;
  return Result(0);
}

int SdlMedia::TrackLength(int track, uint32_t& ms) {
  if (!open_) return Result(kNotOpen);
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
    // The end of the media, or the stop position, ends the play.
    bool ended = Position() >= playTo_;
    if (music_) {
      std::lock_guard<std::mutex> lock(music_->m);
      if (music_->started && !Mix_PlayingMusic()) ended = true;
      if (ended && music_->started) Mix_HaltMusic();
      if (ended) music_->playWanted = false;
    }
    if (ended) {
      CancelStopTimer();
      playing_ = false;
    }
  }
  return playing_ ? MediaMode::Playing : MediaMode::Stopped;
}

int SdlMedia::Play(std::optional<uint32_t> fromMs, std::optional<uint32_t> toMs) {
  if (!open_) return Result(kNotOpen);
  uint32_t to = toMs.value_or(length_);
  if ((fromMs && *fromMs > length_) || to > length_) return Result(kOutOfRange);
  CancelStopTimer();
  if (!fromMs && paused_) {
    // Play after Stop goes on from where it stopped, as the media device does.
    playFrom_ = pausedAt_;
    if (music_) {
      std::lock_guard<std::mutex> lock(music_->m);
      if (music_->started)
        Mix_ResumeMusic();
      else
        music_->playWanted = true;
    }
  } else {
    playFrom_ = fromMs.value_or(0);
    if (music_) {
      if (playFrom_ > 0) {
        // Seeking needs the stream itself, so wait for the load here.
        if (music_->worker.joinable()) music_->worker.join();
        if (music_->Start() != 0) return Result(kCannotPlay, Mix_GetError());
        if (Mix_SetMusicPosition(playFrom_ / 1000.0) != 0) {
          Mix_HaltMusic();
          return Result(kOutOfRange, "this file cannot start in the middle");
        }
      } else if (music_->Start() != 0) {
        return Result(kCannotPlay, Mix_GetError());
      }
    }
  }
  paused_ = false;
  playing_ = true;
  playTo_ = to;
  playStartTick_ = SDL_GetTicks64();
  if (music_ && to < length_ && to > playFrom_) {
    uintptr_t generation;
    {
      std::lock_guard<std::mutex> lock(stopMutex);
      generation = static_cast<uintptr_t>(stopGeneration);
    }
    stopTimer_ = SDL_AddTimer(to - playFrom_, StopAtEnd, reinterpret_cast<void*>(generation));
  }
  return Result(0);
}

int SdlMedia::Stop() {
  if (!open_) return Result(kNotOpen);
  if (Mode() == MediaMode::Playing) {
    CancelStopTimer();
    pausedAt_ = Position();
    if (music_) {
      std::lock_guard<std::mutex> lock(music_->m);
      if (music_->started) Mix_PauseMusic();
      music_->playWanted = false;
    }
    playing_ = false;
    paused_ = true;
  }
  return Result(0);
}

int SdlMedia::Close() {
  if (!open_) return Result(kNotOpen);
  CancelStopTimer();
  if (music_) {
    std::lock_guard<std::mutex> lock(music_->m);
    if (music_->started) Mix_HaltMusic();
    music_->started = false;
    music_->playWanted = false;
  }
  Retire(std::move(music_));
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
      text = "CD audio cannot be played on this system.";
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
    default:
      text = "Media device error " + std::to_string(code) + ".";
      break;
  }
  if (code == lastError_ && !lastDetail_.empty()) text += " (" + lastDetail_ + ")";
  return text;
}

}  // namespace kelvane
