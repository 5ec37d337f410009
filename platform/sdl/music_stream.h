// The music stream: MIDI tunes from the synthesiser and CD audio, mixed on
// the audio thread into SDL_mixer's output. Every source gets its DC taken
// out and short fades in and out, so a stop or a change of tune never
// clicks; the sum goes through a master gain and a limiter that keeps it
// from clipping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace kelvane {

// Something that plays into the stream. Every call comes with the stream
// lock held (see WithMusicStream), from the audio thread or the game's.
class MusicSource {
 public:
  virtual ~MusicSource() = default;
  // Writes up to frames stereo frames (interleaved floats, full scale 1.0);
  // fewer than asked means the source has reached its end.
  virtual size_t Render(float* out, size_t frames) = 0;
  // Frames until the end of what is to be played.
  virtual uint64_t FramesLeft() const = 0;
  // True for sources that render the shared synthesiser: only one of them
  // can sound at a time, so a new one starts after the old one has faded.
  virtual bool UsesSynth() const { return false; }
  // The source has faded out for good; stop whatever still sounds.
  virtual void Silence() {}
  // The factor that brings the source to the game's loudness (taken once,
  // when it starts), while loudness is normalised.
  virtual float Level() const { return 1.0f; }
};

inline constexpr int kStreamRate = 44100;
// Fades last 6 ms: short enough not to be heard as a fade, long enough not
// to click.
inline constexpr size_t kRampFrames = kStreamRate * 6 / 1000;

// Runs fn with the stream lock held (the audio thread waits meanwhile).
void WithMusicStream(const std::function<void()>& fn);

// These take the lock themselves.
// Starts source, fading out whatever played before.
void StreamStart(std::shared_ptr<MusicSource> source);
// Fades the current source out and holds it where it is / fades it back in.
void StreamPause();
void StreamResume();
// Fades the current source out and lets it go.
void StreamStop();
// The current source has played to its end (or there is none).
bool StreamEnded();
// When the current source first rendered a sound (StreamClockUs time), or
// 0 while it has not; for measuring how quickly a tune starts.
uint64_t StreamFirstSoundUs();
uint64_t StreamClockUs();

// Master volume of the stream, 0..1.
void SetStreamVolume(float volume);
// Every source at the game's one loudness (on by default), or each as its
// file or the synthesiser makes it. Takes effect from the next start.
void SetLoudnessNormalised(bool on);
bool LoudnessNormalised();

// Renders the stream: adds frames stereo frames of music to out, with
// saturation. Called by the audio callback; tests call it directly to
// render offline.
void RenderMusicStream(int16_t* out, size_t frames);
// Frames the limiter has turned down since the last reset.
uint64_t StreamLimitedFrames();
// Clears every source and the filters (audio closing, or a test starting).
void ResetMusicStream();

// The level the limiter holds the music under, as a 16-bit sample value.
inline constexpr float kLimiterCeiling = 0.89f;

}  // namespace kelvane
