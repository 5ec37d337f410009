// How loud the game plays: one target for every tune, whatever its source,
// and the effects set against the same target. Both hosts read these.
#pragma once

#include <algorithm>
#include <cmath>

namespace kelvane::sound_balance {

// Integrated loudness every tune is brought to (LUFS). Quiet enough that
// a quiet synthesised tune reaches it without the peak limit holding it
// far below, loud enough to sit well over a laptop's speakers.
inline constexpr double kTargetLufs = -18.0;

// No sample may come closer than this to full scale after the gain
// (dBTP, inter-sample peaks included), so nothing clips.
inline constexpr double kTruePeakCeilingDbtp = -1.0;

// A tune not measured yet plays at this gain until its figure is known:
// as its file or the synthesiser makes it, never louder than it was made.
inline constexpr double kUnmeasuredGainDb = 0.0;

// The most a measurement may lift or cut a tune: a near-silent file is
// not raised into hiss, and a broken figure cannot mute a tune for good.
inline constexpr double kMaxBoostDb = 20.0;
inline constexpr double kMaxCutDb = -30.0;

// The gain on the effects' samples. Effects sound over the music at the
// target: this sets how far under or over it they sit. The default effects
// measure -15 LUFS while they sound; at -5 dB they sit 2 LU under the
// music, short and bright enough to be heard over every tune without
// standing out.
inline constexpr double kEffectsGainDb = -5.0;

// With normalisation turned off every tune plays as made, and the effects
// take the half gain they always had against tunes as made.
inline constexpr double kEffectsFactorAsMade = 0.5;

// The gain that brings a tune of this integrated loudness to the target
// without its true peak passing the ceiling. A silent tune (no finite
// loudness) keeps unity gain; a figure that is not a number plays at the
// standard gain.
constexpr double NormalisingGainDb(double integrated_lufs, double true_peak_dbtp) {
  if (integrated_lufs != integrated_lufs || true_peak_dbtp != true_peak_dbtp) {
    return kUnmeasuredGainDb;
  }
  if (integrated_lufs == -HUGE_VAL) return 0.0;
  const double to_target = kTargetLufs - integrated_lufs;
  const double to_ceiling = kTruePeakCeilingDbtp - true_peak_dbtp;
  return std::clamp(std::min(to_target, to_ceiling), kMaxCutDb, kMaxBoostDb);
}

// Decibels as a factor on the samples.
inline double GainFactor(double gain_db) { return std::pow(10.0, gain_db / 20.0); }

}  // namespace kelvane::sound_balance
