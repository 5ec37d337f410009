#include "platform/sdl/midi_source.h"

#include <fluidsynth.h>

#include <algorithm>

namespace kelvane {
namespace {

constexpr int kChannels = 16;
constexpr int kDrumChannel = 9;
constexpr int kDrumBank = 128;
constexpr int kBankSelect = 0;
constexpr int kAllSoundOff = 120;
constexpr int kResetControllers = 121;

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
                       uint64_t presets)
    : score_(std::move(score)), events_(score_->events), presets_(presets) {
  pos_ = std::min(from, score_->lengthFrames);
  end_ = std::clamp(to, pos_, score_->lengthFrames);
  while (next_ < events_.size() && events_[next_].frame < pos_) ++next_;
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

size_t MidiSource::Render(float* out, size_t frames) {
  size_t want = static_cast<size_t>(std::min<uint64_t>(frames, FramesLeft()));
  if (!PresetsLoaded(presets_)) {
    // Its instruments are still being read: the tune starts once they are in.
    std::fill(out, out + frames * 2, 0.0f);
    return frames;
  }
  fluid_synth_t* synth = Synth();
  if (!synth) {
    // The soundfont is still loading: time runs on in silence, and the
    // tune comes in where it stands once it is ready.
    std::fill(out, out + want * 2, 0.0f);
    pos_ += want;
    while (next_ < events_.size() && events_[next_].frame < pos_) ++next_;
    inSync_ = false;
    return want;
  }
  if (!inSync_) Resync(synth);
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
  return want;
}

void MidiSource::Silence() {
  if (fluid_synth_t* synth = Synth()) {
    fluid_synth_all_sounds_off(synth, -1);
    for (int ch = 0; ch < kChannels; ++ch) fluid_synth_cc(synth, ch, kResetControllers, 0);
  }
  inSync_ = false;
}

}  // namespace kelvane
