#include "platform/sdl/midi_source.h"

#include <fluidsynth.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <condition_variable>
#include <thread>

#include "music/sound_balance.h"

namespace kelvane {
namespace {

constexpr int kChannels = 16;
constexpr int kDrumChannel = 9;
constexpr int kDrumBank = 128;
constexpr int kBankSelect = 0;
constexpr int kAllSoundOff = 120;
constexpr int kResetControllers = 121;

// Up to about 190 ms of a play are rendered ahead, in runs of about 46 ms,
// topped up when half is used: the renderer wakes some 10 times a second
// (runs of 23 ms cost measurably more), and a stop or a change of tune still
// fades within a mix period because the stream fades what is ready.
constexpr size_t kAheadFrames = 8192;
constexpr size_t kAheadBlock = 2048;

std::atomic<bool> renderAheadOn{true};

uint64_t UsToFrames(uint64_t us) {
  return us * kStreamRate / 1000000u;
}

// The instruments a tune selects on each channel, in first-use order; a
// channel that plays notes without a program change plays program 0.
std::vector<SynthPreset> PresetsOf(const std::vector<MidiEvent>& events) {
  // The defaults every channel falls back to stay loaded for good.
  std::vector<SynthPreset> out = {{0, 0}, {kDrumBank, 0}};
  int bank[kChannels] = {};
  bool chosen[kChannels] = {};
  auto add = [&](SynthPreset p) {
    if (std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
  };
  for (const MidiEvent& e : events) {
    int ch = e.status & 0x0F;
    int bankOf = ch == kDrumChannel ? kDrumBank : bank[ch];
    switch (e.status & 0xF0) {
      case 0xB0:
        if (e.data1 == kBankSelect) bank[ch] = e.data2;
        break;
      case 0xC0:
        add({bankOf, e.data1});
        chosen[ch] = true;
        break;
      case 0x90:
        if (!chosen[ch]) add({bankOf, 0});
        chosen[ch] = true;
        break;
      default:
        break;
    }
  }
  return out;
}

}  // namespace

// The thread that renders the synthesiser's current play ahead of the mixer.
struct AheadRenderer {
  std::mutex render;            // one play at a time through the synthesiser
  MidiSource* owner = nullptr;  // whose state the synthesiser holds (render lock)
  std::vector<MidiSource*> plays;  // the plays rendered ahead (render lock)
  std::mutex m;
  std::condition_variable wake;
  bool wanted = false;
  std::vector<float> block;  // the renderer's scratch
  std::thread thread;

  // Lives as long as the process: a play may still be let go while the
  // program's statics are torn down.
  AheadRenderer() : thread([this] { Run(); }) { thread.detach(); }
  void Want() {
    {
      std::lock_guard<std::mutex> lock(m);
      if (wanted) return;
      wanted = true;
    }
    wake.notify_one();
  }
  // Made the synthesiser's current play: the one before loses its state.
  void Claim(MidiSource* s) {
    if (owner == s) return;
    if (owner) owner->inSync_ = false;
    owner = s;
  }
  void Run() {
    pthread_setname_np(pthread_self(), "kelvane-music");
    std::unique_lock<std::mutex> lock(m);
    for (;;) {
      wake.wait(lock, [&] { return wanted; });
      wanted = false;
      lock.unlock();
      // The render lock is let go between runs, so the mixer never waits
      // for more than one of them.
      for (bool more = true; more;) {
        more = false;
        for (size_t i = 0;; ++i) {
          std::lock_guard<std::mutex> r(render);
          if (i >= plays.size()) break;
          more = plays[i]->RenderAheadStep() || more;
        }
      }
      lock.lock();
    }
  }
};

namespace {
AheadRenderer& Renderer() {
  static AheadRenderer& r = *new AheadRenderer;
  return r;
}
}  // namespace

std::shared_ptr<const MidiScore> ScoreOf(const MidiTune& tune) {
  auto score = std::make_shared<MidiScore>();
  score->events.reserve(tune.events.size());
  for (const MidiEvent& e : tune.events)
    score->events.push_back({UsToFrames(e.us), e.status, e.data1, e.data2});
  score->presets = PresetsOf(tune.events);
  score->lengthFrames = UsToFrames(uint64_t{tune.lengthMs} * 1000u);
  return score;
}

MidiSource::MidiSource(std::shared_ptr<const MidiScore> score, uint64_t from, uint64_t to,
                       uint64_t presets, PlayRender render)
    : score_(std::move(score)),
      events_(score_->events),
      presets_(presets),
      ahead_(renderAheadOn && !render.synth),
      rendered_(std::move(render.tune)),
      own_(render.synth),
      measured_(render.loudness),
      renderKey_(render.key) {
  pos_ = std::min(from, score_->lengthFrames);
  end_ = std::clamp(to, pos_, score_->lengthFrames);
  handed_ = pos_;
  while (next_ < events_.size() && events_[next_].frame < pos_) ++next_;
  if (rendered_ && rendered_->Frames() != score_->lengthFrames) rendered_.reset();
  recording_ = !rendered_ && renderKey_ != 0 && pos_ == 0 && end_ == score_->lengthFrames &&
               end_ > 0 && end_ <= kMaxRenderFrames;
  if (ahead_) {
    ready_.resize(kAheadFrames * 2);
    AheadRenderer& r = Renderer();  // started before the first play needs it
    std::lock_guard<std::mutex> lock(r.render);
    r.plays.push_back(this);
  }
  // A render needs no first block from the mixer to start from.
  if (ahead_ && rendered_) Renderer().Want();
}

MidiSource::~MidiSource() {
  if (own_) return;
  // Every play may have held the synthesiser, rendered ahead or not.
  AheadRenderer& r = Renderer();
  std::lock_guard<std::mutex> lock(r.render);
  if (r.owner == this) r.owner = nullptr;
  std::erase(r.plays, this);
}

// A render knows the tune's loudness, or with renders off a measure of the
// synthesiser's play; the first hearing plays at the standard gain.
float MidiSource::Level() const {
  namespace sb = sound_balance;
  const LoudnessFigure* figure = rendered_ ? &rendered_->Loudness() : measured_ ? &*measured_ : nullptr;
  const double db = figure && figure->valid
                        ? sb::NormalisingGainDb(figure->integrated_lufs, figure->true_peak_dbtp)
                        : sb::kUnmeasuredGainDb;
  return static_cast<float>(sb::GainFactor(db));
}

void MidiSource::RenderAhead(bool on) {
  renderAheadOn = on;
}

uint64_t MidiSource::FramesLeft() const {
  const uint64_t at = handed_;
  return end_ > at ? end_ - at : 0;
}

void MidiSource::Send(fluid_synth_t* synth, const Event& e, bool notes) {
  int ch = e.status & 0x0F;
  switch (e.status & 0xF0) {
    case 0x80:
      if (notes) fluid_synth_noteoff(synth, ch, e.data1);
      break;
    case 0x90:
      if (notes) fluid_synth_noteon(synth, ch, e.data1, e.data2);
      break;
    case 0xA0:
      if (notes) fluid_synth_key_pressure(synth, ch, e.data1, e.data2);
      break;
    case 0xB0:
      fluid_synth_cc(synth, ch, e.data1, e.data2);
      break;
    case 0xC0:
      fluid_synth_program_change(synth, ch, e.data1);
      break;
    case 0xD0:
      fluid_synth_channel_pressure(synth, ch, e.data1);
      break;
    case 0xE0:
      fluid_synth_pitch_bend(synth, ch, e.data1 | (e.data2 << 7));
      break;
    default:
      break;
  }
}

void MidiSource::Resync(fluid_synth_t* synth) {
  fluid_synth_all_sounds_off(synth, -1);
  for (int ch = 0; ch < kChannels; ++ch) {
    fluid_synth_cc(synth, ch, kResetControllers, 0);
    fluid_synth_cc(synth, ch, kBankSelect, 0);
    fluid_synth_program_change(synth, ch, 0);
    fluid_synth_pitch_bend(synth, ch, 8192);
  }
  for (size_t i = 0; i < next_; ++i) Send(synth, events_[i], false);
  inSync_ = true;
}

long MidiSource::RenderSequence(float* out, size_t want) {
  if (rendered_) {
    if (!rendered_->Read(pos_, out, want)) {
      // The tune's time runs on; the next play of it starts afresh.
      if (!readFailed_) std::fprintf(stderr, "kelvane: a rendered tune cannot be read\n");
      readFailed_ = true;
      std::fill(out, out + want * 2, 0.0f);
    }
    pos_ += want;
    return static_cast<long>(want);
  }
  if (!own_ && !PresetsLoaded(presets_)) return -1;  // its instruments are still being read
  fluid_synth_t* synth = own_ ? own_ : Synth();
  if (!synth) {
    StopRecording();
    // The soundfont is still loading: time runs on in silence, and the
    // tune comes in where it stands once it is ready.
    std::fill(out, out + want * 2, 0.0f);
    pos_ += want;
    while (next_ < events_.size() && events_[next_].frame < pos_) ++next_;
    inSync_ = false;
    return static_cast<long>(want);
  }
  if (!inSync_) {
    // A render starts from a reset synthesiser (its effects may still ring
    // faintly with what played before, which renders made aside on a fresh
    // synthesiser do not); a play put back in step on the way is no longer
    // one whole render.
    if (recording_ && pos_ == 0)
      fluid_synth_system_reset(synth);
    else
      StopRecording();
    Resync(synth);
  }
  left_.resize(want);
  right_.resize(want);
  size_t done = 0;
  while (done < want) {
    while (next_ < events_.size() && events_[next_].frame <= pos_)
      Send(synth, events_[next_++], true);
    uint64_t until = next_ < events_.size() ? events_[next_].frame : UINT64_MAX;
    size_t n = static_cast<size_t>(std::min<uint64_t>(want - done, until - pos_));
    fluid_synth_write_float(synth, static_cast<int>(n), left_.data(), static_cast<int>(done), 1,
                            right_.data(), static_cast<int>(done), 1);
    done += n;
    pos_ += n;
  }
  for (size_t i = 0; i < want; ++i) {
    out[i * 2] = left_[i];
    out[i * 2 + 1] = right_[i];
  }
  if (recording_) Record(out, want);
  return static_cast<long>(want);
}

void MidiSource::Record(const float* frames, size_t count) {
  if (record_.size() / 2 + count != pos_) return StopRecording();
  if (record_.empty()) record_.reserve(score_->lengthFrames * 2);
  for (size_t i = 0; i < count * 2; ++i) {
    const long v = std::lround(frames[i] * kRenderScale);
    if (v < -32768 || v > 32767) return StopRecording();  // louder than a render holds
    record_.push_back(static_cast<int16_t>(v));
  }
  if (record_.size() / 2 == score_->lengthFrames) {
    StoreRenderedTune(renderKey_, std::move(record_));
    StopRecording();
  }
}

void MidiSource::StopRecording() {
  recording_ = false;
  record_ = {};
}

size_t MidiSource::TakeReady(float* out, size_t frames) {
  std::lock_guard<std::mutex> lock(readyLock_);
  const size_t n = std::min(frames, readyFrames_);
  for (size_t i = 0; i < n; ++i) {
    const size_t at = (readyStart_ + i) % kAheadFrames;
    out[i * 2] = ready_[at * 2];
    out[i * 2 + 1] = ready_[at * 2 + 1];
  }
  readyStart_ = (readyStart_ + n) % kAheadFrames;
  readyFrames_ -= n;
  return n;
}

bool MidiSource::RenderAheadStep() {
  // A synthesiser's play is topped up only once it holds the synthesiser.
  if (!rendered_ &&
      (Renderer().owner != this || !inSync_ || !Synth() || !PresetsLoaded(presets_)))
    return false;
  size_t room;
  {
    std::lock_guard<std::mutex> lock(readyLock_);
    room = kAheadFrames - readyFrames_;
  }
  const uint64_t rest = end_ - pos_;
  const size_t n = static_cast<size_t>(std::min<uint64_t>({room, kAheadBlock, rest}));
  // A short run only for the play's last frames.
  if (n == 0 || (n < kAheadBlock && n < rest)) return false;
  std::vector<float>& block = Renderer().block;
  block.resize(n * 2);
  RenderSequence(block.data(), n);
  std::lock_guard<std::mutex> lock(readyLock_);
  for (size_t i = 0; i < n; ++i) {
    const size_t at = (readyStart_ + readyFrames_ + i) % kAheadFrames;
    ready_[at * 2] = block[i * 2];
    ready_[at * 2 + 1] = block[i * 2 + 1];
  }
  readyFrames_ += n;
  return true;
}

size_t MidiSource::Render(float* out, size_t frames) {
  const size_t want = static_cast<size_t>(std::min<uint64_t>(frames, FramesLeft()));
  if (own_) {
    RenderSequence(out, want);
    handed_ += want;
    return want;
  }
  size_t got = ahead_ ? TakeReady(out, want) : 0;
  if (got < want) {
    AheadRenderer& r = Renderer();
    std::lock_guard<std::mutex> lock(r.render);
    // What the renderer finished meanwhile comes first; then the ready
    // frames are used up and the synthesiser stands where the play is.
    if (ahead_) got += TakeReady(out + got * 2, want - got);
    if (got < want) {
      if (!rendered_) r.Claim(this);
      const long n = RenderSequence(out + got * 2, want - got);
      if (n < 0) {
        // Waiting for the instruments: the play does not move meanwhile.
        std::fill(out + got * 2, out + frames * 2, 0.0f);
        handed_ += got;
        return frames;
      }
      got += static_cast<size_t>(n);
    }
  }
  handed_ += got;
  if (ahead_) {
    bool low;
    {
      std::lock_guard<std::mutex> lock(readyLock_);
      low = readyFrames_ <= kAheadFrames / 2;
    }
    if (low && handed_ < end_) Renderer().Want();
  }
  return got;
}

void MidiSource::Silence() {
  AheadRenderer& r = Renderer();
  std::lock_guard<std::mutex> lock(r.render);
  StopRecording();
  // Another play may have the synthesiser by now; its sound stays.
  if (!rendered_ && (r.owner == this || !ahead_)) {
    if (fluid_synth_t* synth = Synth()) {
      fluid_synth_all_sounds_off(synth, -1);
      for (int ch = 0; ch < kChannels; ++ch) fluid_synth_cc(synth, ch, kResetControllers, 0);
    }
    if (r.owner == this) r.owner = nullptr;
  }
  inSync_ = false;
  // What was rendered ahead is dropped: a later render goes on from the
  // place handed out.
  std::lock_guard<std::mutex> ready(readyLock_);
  readyStart_ = readyFrames_ = 0;
  pos_ = handed_;
  next_ = 0;
  while (next_ < events_.size() && events_[next_].frame < pos_) ++next_;
}

LoudnessFigure MeasureSynthesised(std::shared_ptr<const MidiScore> score, const std::string& soundFont) {
  // The music that plays comes first; a low priority rather than idle, so
  // that a busy machine still measures the tune within seconds.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
  // One tune at a time: a synthesiser apart holds its instruments' samples.
  static std::mutex& one = *new std::mutex;  // measurers may outlive the statics
  std::lock_guard<std::mutex> lock(one);
  PrivateSynth synth(soundFont);
  if (!synth.Get() || !score) return {};
  synth.Load(score->presets);
  MidiSource play(score, 0, score->lengthFrames, 0, {0, nullptr, synth.Get()});
  // As the render's figure is taken: the sample peak stands in for the true peak.
  LoudnessMeter meter(kStreamRate, 2, false);
  constexpr size_t kBlock = 4096;
  std::vector<float> block(kBlock * 2);
  while (play.FramesLeft() > 0) {
    const size_t n = play.Render(block.data(), kBlock);
    if (n == 0) break;
    meter.Add(block.data(), n);
  }
  return meter.Result();
}

}  // namespace kelvane
