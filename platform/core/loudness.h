// Integrated loudness (EBU R128, LUFS) and true peak (dBTP) of stereo
// samples fed in blocks. Desktop only: the page does not link it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kelvane {

struct LoudnessFigure {
  double integrated_lufs = 0;  // -HUGE_VAL for silence
  double true_peak_dbtp = 0;   // -HUGE_VAL for silence
  bool valid = false;          // false if nothing could be measured
};

class LoudnessMeter {
 public:
  // true_peak: oversampled peak (costs about as much as the loudness
  // itself); without it, the sample peak stands in.
  explicit LoudnessMeter(unsigned sample_rate, unsigned channels = 2, bool true_peak = true);
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  // Interleaved frames; `frames` counts frames, not samples.
  void Add(const int16_t* samples, size_t frames);
  void Add(const float* samples, size_t frames);

  LoudnessFigure Result() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kelvane
