// Tunes the synthesiser has rendered whole, kept as losslessly compressed
// sound (FLAC, whose frames and whole stream carry checksums) in the
// player's cache folder, with the tune's measured loudness. A tune heard before then plays from a file read ahead of the
// mixer instead of the synthesiser, which is most of what the game costs
// while it plays. A render is only ever used for the same score, soundfont
// file and synthesiser settings it was made with.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/loudness.h"

namespace kelvane {

struct MidiScore;

// Renders are 16-bit with one bit of headroom: the synthesiser's output may
// pass full scale before the stream's limiter, and a render that goes past
// twice that is not kept.
inline constexpr float kRenderScale = 16384.0f;
// Longer tunes are not kept: a render is held in memory until the tune ends.
inline constexpr uint64_t kMaxRenderFrames = 44100ull * 60 * 6;
// What a render takes on disk, roughly, before it is made.
inline constexpr uint64_t kRenderBytesPerFrame = 2;
// The folder is kept under this size, the renders used least recently going
// first.
inline constexpr uint64_t kRenderedTunesLimitBytes = 256ull << 20;

// Where renders are read and written; empty turns them off (the default).
void SetRenderedTunesFolder(const std::string& folder);
std::string RenderedTunesFolder();

// What a render of this score depends on: the score and the synthesiser's
// signature (soundfont file and settings).
uint64_t RenderKey(const MidiScore& score, const std::string& synthSignature);

// FNV-1a, 64 bits, going on from h: the render keys' hash and the shipped
// renders' checksum.
inline constexpr uint64_t kFnvStart = 0xcbf29ce484222325ull;
uint64_t Fnv(uint64_t h, const void* data, size_t size);

// A render on disk, open for reading.
class RenderedTune {
 public:
  struct Decoding;
  // Where a render that is not one of the cache's files is read from (the
  // shipped renders).
  struct Reader {
    virtual ~Reader() = default;
    virtual bool Read(uint64_t at, float* out, size_t count) = 0;
  };
  static std::shared_ptr<const RenderedTune> FromReader(std::unique_ptr<Reader> reader, uint64_t frames,
                                                        const LoudnessFigure& loudness);
  ~RenderedTune();
  uint64_t Frames() const { return frames_; }
  // The tune's loudness as measured when it was rendered.
  const LoudnessFigure& Loudness() const { return loudness_; }
  // Reads frames [at, at + count) as interleaved stereo floats; false when
  // the file cannot be read or fails its checks (then it is removed, so
  // the next play goes back to the synthesiser).
  bool Read(uint64_t at, float* out, size_t count) const;

 private:
  friend std::shared_ptr<const RenderedTune> OpenRender(const std::string&, uint64_t, uint64_t, bool);
  friend std::shared_ptr<const RenderedTune> FindRenderedTune(uint64_t, uint64_t);
  friend bool VerifyRenderedTune(uint64_t, uint64_t);
  std::unique_ptr<Decoding> decoding_;
  std::unique_ptr<Reader> reader_;
  std::string path_;
  uint64_t frames_ = 0;
  LoudnessFigure loudness_;
};

// The render of key with exactly frames frames, if there is one whose
// header is sound (its frames are checked as they are read).
std::shared_ptr<const RenderedTune> FindRenderedTune(uint64_t key, uint64_t frames);

// Decodes the render of key whole and checks every frame and the stream's
// checksum; one that fails is removed. Slow: never on the game's thread.
// True when a sound render is there.
bool VerifyRenderedTune(uint64_t key, uint64_t frames);

// Writes a finished render (interleaved 16-bit stereo at kRenderScale) on a
// thread of its own, so the audio never waits for the disk.
void StoreRenderedTune(uint64_t key, std::vector<int16_t> pcm);
// Waits until the renders handed to StoreRenderedTune are on disk.
void WaitForRenderedTunesStored();

// Renders every MIDI tune the game would play from these folders (a name
// in an earlier folder shadows the same name in a later one) that has no
// render yet, back to back; prints one line a tune, naming its folder.
// Stops at the first render that cannot be kept. Returns the number of
// tunes that failed.
int RenderTunesOf(const std::vector<std::string>& folders);

// Renders the folders' MIDI tunes (shadowed as above) that have no render yet on a thread of
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
