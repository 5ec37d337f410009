#include "platform/sdl/music_stream.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <vector>

namespace kelvane {
namespace {

// Sources come at their own level (the synthesiser's is set where it is
// made); this is the stream's own trim.
constexpr float kMasterGain = 1.0f;
// The limiter lets go within about 80 ms.
constexpr float kLimiterRelease = 1.0f / (0.08f * kStreamRate);
// A one-pole high-pass at about 5 Hz takes out DC and leaves the bass.
constexpr float kDcPole = 1.0f - 2.0f * 3.14159265f * 5.0f / kStreamRate;
constexpr float kRampStep = 1.0f / kRampFrames;

struct DcBlocker {
  float x1 = 0, y1 = 0;
  float Run(float x) {
    float y = x - x1 + kDcPole * y1;
    x1 = x;
    y1 = y;
    return y;
  }
};

struct Voice {
  std::shared_ptr<MusicSource> source;
  float gain = 0;    // the fade's current level
  float target = 1;  // where the fade is heading
  float level = 1;   // the source's loudness factor
  bool retiring = false;
  bool ended = false;
  bool silenced = false;
  uint64_t firstSoundUs = 0;
  DcBlocker dc[2];
};

struct Stream {
  std::mutex m;
  std::vector<Voice> voices;  // the last one not retiring is the current one
  std::vector<float> mix, part;
  float limiterGain = 1;
  uint64_t limitedFrames = 0;
  std::atomic<float> volume{1.0f};
  std::atomic<bool> normalised{true};
};

Stream& S() {
  static Stream s;
  return s;
}

uint64_t NowUs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void Silence(Voice& v) {
  if (!v.silenced) v.source->Silence();
  v.silenced = true;
}

Voice* Current(Stream& s) {
  if (s.voices.empty() || s.voices.back().retiring) return nullptr;
  return &s.voices.back();
}

void Retire(Voice& v) {
  v.retiring = true;
  v.target = 0;
}

// Renders one voice into s.part from frame `from` of the block; returns the
// frame where the voice stopped needing the synthesiser (for the next one).
size_t RenderVoice(Stream& s, Voice& v, size_t from, size_t frames) {
  size_t want = frames - from;
  if (v.gain == 0 && v.target == 0) return from;  // held or gone
  if (v.retiring) {
    // A retiring voice renders only as long as its fade lasts.
    want = std::min(want, static_cast<size_t>(std::ceil(v.gain / kRampStep)));
  }
  uint64_t left = v.source->FramesLeft();
  float* out = s.part.data() + from * 2;
  size_t got = v.ended ? 0 : v.source->Render(out, want);
  if (got < want) v.ended = true;
  bool sounded = false;
  for (size_t i = 0; i < got; ++i) {
    if (v.gain < v.target) v.gain = std::min(v.target, v.gain + kRampStep);
    if (v.gain > v.target) v.gain = std::max(v.target, v.gain - kRampStep);
    // The end of the range fades too, so a play that stops mid-note ends
    // at silence.
    float endFade = left > i ? std::min(1.0f, static_cast<float>(left - i) * kRampStep) : 0.0f;
    float g = v.gain * endFade * v.level;
    for (int c = 0; c < 2; ++c) {
      float x = v.dc[c].Run(out[i * 2 + c]) * g;
      sounded |= x > 1e-4f || x < -1e-4f;
      s.mix[(from + i) * 2 + c] += x;
    }
  }
  if (sounded && !v.firstSoundUs) v.firstSoundUs = NowUs();
  if (v.retiring && v.gain == 0) Silence(v);
  return from + got;
}

}  // namespace

void WithMusicStream(const std::function<void()>& fn) {
  std::lock_guard<std::mutex> lock(S().m);
  fn();
}

void StreamStart(std::shared_ptr<MusicSource> source) {
  Stream& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  for (Voice& v : s.voices) Retire(v);
  Voice v;
  v.level = s.normalised ? source->Level() : 1.0f;
  v.source = std::move(source);
  s.voices.push_back(std::move(v));
}

void StreamPause() {
  Stream& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  if (Voice* v = Current(s)) v->target = 0;
}

void StreamResume() {
  Stream& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  if (Voice* v = Current(s)) v->target = 1;
}

void StreamStop() {
  Stream& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  for (Voice& v : s.voices) Retire(v);
}

bool StreamEnded() {
  Stream& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  Voice* v = Current(s);
  return !v || v->ended;
}

uint64_t StreamFirstSoundUs() {
  Stream& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  Voice* v = Current(s);
  return v ? v->firstSoundUs : 0;
}

uint64_t StreamClockUs() {
  return NowUs();
}

void SetStreamVolume(float volume) {
  S().volume = volume;
}

void SetLoudnessNormalised(bool on) {
  S().normalised = on;
}

bool LoudnessNormalised() {
  return S().normalised;
}

void RenderMusicStream(int16_t* out, size_t frames) {
  Stream& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  if (s.voices.empty()) return;
  s.mix.assign(frames * 2, 0.0f);
  s.part.assign(frames * 2, 0.0f);
  size_t synthFrom = 0;  // where the synthesiser is free within the block
  for (Voice& v : s.voices) {
    if (v.source->UsesSynth()) {
      synthFrom = RenderVoice(s, v, synthFrom, frames);
    } else {
      RenderVoice(s, v, 0, frames);
    }
  }
  // Voices that have faded out for good, or played to their end and
  // been replaced, are dropped.
  std::erase_if(s.voices, [](Voice& v) {
    if (!v.retiring || v.gain > 0) return false;
    Silence(v);
    return true;
  });

  float gain = kMasterGain * s.volume;
  for (size_t i = 0; i < frames; ++i) {
    float l = s.mix[i * 2] * gain;
    float r = s.mix[i * 2 + 1] * gain;
    float peak = std::max(std::fabs(l), std::fabs(r));
    // Instant attack, slow release: no sample ever passes the ceiling.
    if (peak * s.limiterGain > kLimiterCeiling) s.limiterGain = kLimiterCeiling / peak;
    if (s.limiterGain < 0.999f) ++s.limitedFrames;
    l *= s.limiterGain;
    r *= s.limiterGain;
    s.limiterGain = std::min(1.0f, s.limiterGain + kLimiterRelease);
    for (float x : {l, r}) {
      int sum = *out + static_cast<int>(std::lround(x * 32767.0f));
      *out++ = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
    }
  }
}

uint64_t StreamLimitedFrames() {
  std::lock_guard<std::mutex> lock(S().m);
  return S().limitedFrames;
}

void ResetMusicStream() {
  Stream& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  for (Voice& v : s.voices) Silence(v);
  s.voices.clear();
  s.limiterGain = 1;
  s.limitedFrames = 0;
}

}  // namespace kelvane
