#include "platform/core/loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

namespace kelvane {

struct LoudnessMeter::State {
  ebur128_state* st = nullptr;
  unsigned channels = 0;
  bool true_peak = false;
  bool failed = false;
  size_t frames = 0;
  ~State() {
    if (st) ebur128_destroy(&st);
  }
};

LoudnessMeter::LoudnessMeter(unsigned sample_rate, unsigned channels, bool true_peak)
    : state_(std::make_unique<State>()) {
  state_->channels = channels;
  state_->true_peak = true_peak;
  // The histogram keeps memory flat however long the tune is.
  const int mode = EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM |
                   (true_peak ? EBUR128_MODE_TRUE_PEAK : EBUR128_MODE_SAMPLE_PEAK);
  state_->st = (channels > 0 && sample_rate > 0) ? ebur128_init(channels, sample_rate, mode) : nullptr;
  state_->failed = state_->st == nullptr;
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::Add(const int16_t* samples, size_t frames) {
  if (state_->failed || frames == 0) return;
  if (ebur128_add_frames_short(state_->st, samples, frames) != EBUR128_SUCCESS) state_->failed = true;
  state_->frames += frames;
}

void LoudnessMeter::Add(const float* samples, size_t frames) {
  if (state_->failed || frames == 0) return;
  if (ebur128_add_frames_float(state_->st, samples, frames) != EBUR128_SUCCESS) state_->failed = true;
  state_->frames += frames;
}

LoudnessFigure LoudnessMeter::Result() const {
  LoudnessFigure figure;
  if (state_->failed || state_->frames == 0) return figure;
  double lufs = 0;
  if (ebur128_loudness_global(state_->st, &lufs) != EBUR128_SUCCESS) return figure;
  double peak = 0;
  for (unsigned c = 0; c < state_->channels; ++c) {
    double channel_peak = 0;
    const int rc = state_->true_peak ? ebur128_true_peak(state_->st, c, &channel_peak)
                                     : ebur128_sample_peak(state_->st, c, &channel_peak);
    if (rc != EBUR128_SUCCESS) return figure;
    peak = std::max(peak, channel_peak);
  }
  figure.integrated_lufs = lufs;  // the library gives -HUGE_VAL for silence
  figure.true_peak_dbtp = peak > 0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
  figure.valid = true;
  return figure;
}

}  // namespace kelvane
