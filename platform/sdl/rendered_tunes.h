// Tunes the synthesiser has rendered whole, kept as sound in the player's
// cache folder. A tune heard before then plays from a file read ahead of the
// mixer instead of the synthesiser, which is most of what the game costs
// while it plays. A render is only ever used for the same score, soundfont
// file and synthesiser settings it was made with.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvane {

struct MidiScore;

// Renders are 16-bit with one bit of headroom: the synthesiser's output may
// pass full scale before the stream's limiter, and a render that goes past
// twice that is not kept.
inline constexpr float kRenderScale = 16384.0f;
// Longer tunes are not kept: a render is held in memory until the tune ends.
inline constexpr uint64_t kMaxRenderFrames = 44100ull * 60 * 6;
// The folder is kept under this size, the renders used least recently going
// first.
inline constexpr uint64_t kRenderedTunesLimitBytes = 256ull << 20;

// Where renders are read and written; empty turns them off (the default).
void SetRenderedTunesFolder(const std::string& folder);
std::string RenderedTunesFolder();

// What a render of this score depends on: the score and the synthesiser's
// signature (soundfont file and settings).
uint64_t RenderKey(const MidiScore& score, const std::string& synthSignature);

// A render on disk, open for reading.
class RenderedTune {
 public:
  ~RenderedTune();
  uint64_t Frames() const { return frames_; }
  // Reads frames [at, at + count) as interleaved stereo floats; false when
  // the file cannot be read.
  bool Read(uint64_t at, float* out, size_t count) const;

 private:
  friend std::shared_ptr<const RenderedTune> FindRenderedTune(uint64_t, uint64_t);
  int fd_ = -1;
  uint64_t frames_ = 0;
};

// The render of key with exactly frames frames, if there is a sound one.
std::shared_ptr<const RenderedTune> FindRenderedTune(uint64_t key, uint64_t frames);

// Writes a finished render (interleaved 16-bit stereo at kRenderScale) on a
// thread of its own, so the audio never waits for the disk.
void StoreRenderedTune(uint64_t key, std::vector<int16_t> pcm);
// Waits until the renders handed to StoreRenderedTune are on disk.
void WaitForRenderedTunesStored();

// Renders every MIDI tune of the data folder that has no render yet, back
// to back; prints one line a tune. Returns the number of tunes that failed.
int RenderTunesOf(const std::string& dataFolder);

// Renders the folders' MIDI tunes that have no render yet on a thread of
// the lowest priority and a synthesiser of its own, paced to half a core,
// so a tune is cheap from its first hearing without the game's music ever
// waiting for it. Stops at the first render that cannot be kept or would
// push another out of the folder. Does
// nothing while it runs already, or with renders off. Not gently: at the
// usual priority and full speed (tests on a busy machine).
void StartRenderingTunesAside(const std::vector<std::string>& folders, bool gently = true);
// Asks it to stop; true once it has (within wait).
bool StopRenderingTunesAside(std::chrono::milliseconds wait = std::chrono::milliseconds(500));
// True once it has finished (within wait).
bool WaitForTunesRenderedAside(std::chrono::milliseconds wait);

}  // namespace kelvane
