// The default tunes rendered offline through the real synthesiser and the
// music stream: clean levels, no DC, stops that fade instead of clicking.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config/numbered_files.h"
#include "music/audio_length.h"
#include "music/midi_events.h"
#include "music/sound_balance.h"
#include "platform/core/loudness.h"
#include "platform/sdl/midi_source.h"
#include "platform/sdl/music_stream.h"
#include "platform/sdl/file_loudness.h"
#include "platform/sdl/rendered_tunes.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_media.h"
#include "platform/sdl/synthesiser.h"
#include "tests/qt/loaded_score.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

constexpr size_t kBlock = 512;

std::vector<std::string> DefaultTunes() {
  std::vector<std::string> names;
  for (int n = 1; n <= 8; ++n) names.push_back("Z" + ZeroPad(2, n) + ".mid");
  names.push_back("Zz.mid");
  return names;
}

// Renders frames of the stream as it stands, appending to out.
void Render(std::vector<int16_t>& out, size_t frames) {
  size_t at = out.size();
  out.resize(at + frames * 2, 0);
  for (size_t done = 0; done < frames; done += kBlock)
    RenderMusicStream(out.data() + at + done * 2, std::min(kBlock, frames - done));
}

class MusicLevels : public ::testing::Test {
 protected:
  void SetUp() override {
    StartSynthesiser();
    ASSERT_TRUE(WaitForSynthesiser(30000)) << "no soundfont: " << SoundFontPath();
    ResetMusicStream();
  }
  void TearDown() override { ResetMusicStream(); }
};

TEST_F(MusicLevels, EveryDefaultTunePlaysWithoutClippingOrDcAndEndsAtRest) {
  double musicRms = 0;
  for (const std::string& name : DefaultTunes()) {
    SCOPED_TRACE(name);
    std::shared_ptr<const MidiScore> score = test::LoadedScore(name);
    ASSERT_TRUE(score);
    ResetMusicStream();
    StreamStart(std::make_shared<MidiSource>(score, 0, score->lengthFrames));
    std::vector<int16_t> pcm;
    pcm.reserve(score->lengthFrames * 2 + kBlock * 4);
    while (!StreamEnded()) Render(pcm, kBlock);
    size_t frames = pcm.size() / 2;
    // The stream plays exactly the tempo map's length (to within a block).
    EXPECT_NEAR(static_cast<double>(frames), static_cast<double>(score->lengthFrames), kBlock);

    size_t clipped = 0;
    double sum = 0, squares = 0, loudestSecond = 0, second = 0;
    int peak = 0;
    for (size_t i = 0; i < pcm.size(); ++i) {
      int v = pcm[i];
      clipped += v >= 32767 || v <= -32767;
      peak = std::max(peak, std::abs(v));
      sum += v;
      squares += static_cast<double>(v) * v;
      second += static_cast<double>(v) * v;
      if ((i + 1) % (kStreamRate * 2) == 0) {
        loudestSecond = std::max(loudestSecond, std::sqrt(second / (kStreamRate * 2)));
        second = 0;
      }
    }
    double dc = sum / static_cast<double>(pcm.size()) / 32768.0;
    double rms = std::sqrt(squares / static_cast<double>(pcm.size()));
    double limited = 100.0 * static_cast<double>(StreamLimitedFrames()) / frames;
    std::printf(
        "%-7s %6.1f s  peak %5d  rms %5.0f  loudest second rms %5.0f  dc %+.5f  "
        "clipped %zu  limited %.3f %%\n",
        name.c_str(), frames / double(kStreamRate), peak, rms, loudestSecond, dc, clipped, limited);
    EXPECT_EQ(clipped, 0u);
    EXPECT_LT(std::fabs(dc), 0.005);
    EXPECT_GT(rms, 1000.0) << "too quiet";
    // The gain leaves the limiter as a guard only, not a squasher.
    EXPECT_LT(limited, 1.0);
    // The end of the tune fades to silence.
    for (size_t i = pcm.size() - 20; i < pcm.size(); ++i) EXPECT_LT(std::abs(pcm[i]), 200);
    musicRms += rms;
  }
  // The sound effects are mixed on top at the effects balance: on the whole
  // they are as loud as the music, within 6 dB either way, so that neither
  // drowns the other.
  double effects = 0;
  int count = 0;
  for (int n = 80; n <= 95; ++n) {
    std::string wav = test::ReadAll(test::GameDir() + "Y_q" + std::to_string(n) + ".wav");
    ASSERT_GT(wav.size(), 44u) << n;
    double squares = 0;
    size_t samples = (wav.size() - 44) / 2;
    for (size_t i = 0; i < samples; ++i) {
      auto v = static_cast<int16_t>(static_cast<uint8_t>(wav[44 + 2 * i]) |
                                    (static_cast<uint8_t>(wav[45 + 2 * i]) << 8));
      squares += static_cast<double>(v) * v;
    }
    effects += std::sqrt(squares / static_cast<double>(samples));
    ++count;
  }
  effects = effects / count * kEffectsBalance;
  musicRms /= static_cast<double>(DefaultTunes().size());
  const double db = 20 * std::log10(effects / musicRms);
  std::printf("effects rms %.0f as mixed on average, music rms %.0f: effects %+.1f dB\n", effects,
              musicRms, db);
  EXPECT_LT(std::fabs(db), 6.0);
}

// Every tune plays at the game's one loudness once measured, and the
// effects sit the same distance under it whatever the tune: measured on
// what the stream plays, for the loudest and the quietest default tunes.
TEST_F(MusicLevels, MeasuredTunesPlayAtTheTargetLoudnessWithTheEffectsAFixedDistanceUnder) {
  namespace sb = sound_balance;
  const std::string folder = test::MakeTempDir("music_levels_renders");
  SetRenderedTunesFolder(folder);
  MidiSource::RenderAhead(false);
  auto playedLoudness = [](std::shared_ptr<MidiSource> source) {
    ResetMusicStream();
    StreamStart(std::move(source));
    std::vector<int16_t> pcm;
    while (!StreamEnded()) Render(pcm, kBlock);
    LoudnessMeter meter(kStreamRate);
    meter.Add(pcm.data(), pcm.size() / 2);
    return meter.Result();
  };
  // The default tunes' span: the loudest and the quietest as they are made.
  struct Tune {
    std::string name;
    double made, played;
  };
  std::vector<Tune> tunes;
  for (const char* name : {"Z01.mid", "Z07.mid"}) {
    SCOPED_TRACE(name);
    std::shared_ptr<const MidiScore> score = test::LoadedScore(name);
    ASSERT_TRUE(score);
    const uint64_t key = RenderKey(*score, SynthSignature());
    // First heard on the synthesiser, not measured yet: the standard gain.
    const LoudnessFigure first = playedLoudness(std::make_shared<MidiSource>(score, 0, score->lengthFrames, 0, PlayRender{key, nullptr}));
    WaitForRenderedTunesStored();
    std::shared_ptr<const RenderedTune> render = FindRenderedTune(key, score->lengthFrames);
    ASSERT_TRUE(render && render->Loudness().valid);
    EXPECT_NEAR(render->Loudness().integrated_lufs, first.integrated_lufs - sb::kUnmeasuredGainDb, 0.5);
    // From its render, at the target (or held under it by the peak limit).
    const LoudnessFigure played =
        playedLoudness(std::make_shared<MidiSource>(score, 0, score->lengthFrames, 0, PlayRender{key, render}));
    std::printf("%s: made %.1f LUFS, played %.1f LUFS, true peak %.1f dBTP\n", name,
                first.integrated_lufs, played.integrated_lufs, played.true_peak_dbtp);
    EXPECT_NEAR(played.integrated_lufs, sb::kTargetLufs, 1.0);
    EXPECT_LE(played.true_peak_dbtp, sb::kTruePeakCeilingDbtp + 0.5);
    // Turned off, it plays as made.
    SetLoudnessNormalised(false);
    const LoudnessFigure plain =
        playedLoudness(std::make_shared<MidiSource>(score, 0, score->lengthFrames, 0, PlayRender{key, render}));
    SetLoudnessNormalised(true);
    EXPECT_NEAR(plain.integrated_lufs, first.integrated_lufs, 0.5);
    tunes.push_back({name, first.integrated_lufs, played.integrated_lufs});
  }
  SetRenderedTunesFolder("");
  MidiSource::RenderAhead(true);
  ASSERT_EQ(tunes.size(), 2u);
  EXPECT_GT(std::fabs(tunes[0].made - tunes[1].made), 1.0) << "the tunes differ as made";

  // The effects as the mixer adds them, back to back: their loudness while
  // they sound (each alone is shorter than a loudness block).
  std::unique_ptr<LoudnessMeter> meter;
  unsigned effectsRate = 0;
  for (int n = 80; n <= 95; ++n) {
    const std::string wav = test::ReadAll(test::GameDir() + "Y_q" + std::to_string(n) + ".wav");
    ASSERT_GT(wav.size(), 44u) << n;
    const unsigned channels = static_cast<uint8_t>(wav[22]);
    const unsigned rate = static_cast<uint8_t>(wav[24]) | static_cast<uint8_t>(wav[25]) << 8 |
                          static_cast<uint8_t>(wav[26]) << 16;
    if (!meter) meter = std::make_unique<LoudnessMeter>(effectsRate = rate);
    ASSERT_EQ(rate, effectsRate) << n;
    // Played on both speakers, as the mixer does with a mono file.
    std::vector<int16_t> samples;
    for (size_t i = 0; 45 + 2 * i < wav.size(); ++i) {
      const auto v = static_cast<int16_t>(static_cast<uint8_t>(wav[44 + 2 * i]) |
                                          (static_cast<uint8_t>(wav[45 + 2 * i]) << 8));
      const auto mixed = static_cast<int16_t>(std::lround(v * EffectsBalance()));
      samples.insert(samples.end(), channels == 1 ? 2 : 1, mixed);
    }
    meter->Add(samples.data(), samples.size() / 2);
  }
  const LoudnessFigure figure = meter->Result();
  ASSERT_TRUE(figure.valid);
  const double effects = figure.integrated_lufs;
  for (const Tune& t : tunes) {
    const double under = t.played - effects;
    std::printf("effects %.1f LUFS: %.1f LU under %s\n", effects, under, t.name.c_str());
    EXPECT_NEAR(under, sb::kTargetLufs - effects, 1.0) << t.name;
  }
  // Heard over the music, not lost under it nor standing out.
  EXPECT_GT(sb::kTargetLufs - effects, 0.5);
  EXPECT_LT(sb::kTargetLufs - effects, 6.0);
}

// A loud and a quiet WAV file, as the sound card gets them: as made while
// not measured yet, at the target from the start after.
TEST(FileLoudness, WavTunesPlayAtTheTargetLoudnessOnceMeasured) {
  namespace sb = sound_balance;
  const std::string dir = test::MakeTempDir("file_loudness");
  SetRenderedTunesFolder(dir + "cache/");
  // Four seconds of a chord with a little noise, at a level.
  auto writeWav = [&](const std::string& name, double amplitude) {
    constexpr uint32_t kFrames = kStreamRate * 4;
    std::vector<int16_t> pcm(kFrames * 2);
    uint32_t noise = 1;
    for (uint32_t i = 0; i < kFrames; ++i) {
      noise = noise * 1664525u + 1013904223u;
      const double t = static_cast<double>(i) / kStreamRate;
      const double v = (std::sin(2 * M_PI * 220 * t) + 0.7 * std::sin(2 * M_PI * 330 * t) +
                        0.5 * std::sin(2 * M_PI * 1320 * t)) / 2.2 +
                       0.05 * (static_cast<double>(noise >> 16) / 32768.0 - 1.0);
      pcm[i * 2] = pcm[i * 2 + 1] = static_cast<int16_t>(std::lround(v * amplitude * 32767));
    }
    auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    const uint32_t bytes = kFrames * 4;
    std::string wav = "RIFF" + u32(36 + bytes) + "WAVEfmt " + u32(16) + std::string("\x01\x00\x02\x00", 4) +
                      u32(kStreamRate) + u32(kStreamRate * 4) + std::string("\x04\x00\x10\x00", 4) +
                      "data" + u32(bytes);
    wav.append(reinterpret_cast<const char*>(pcm.data()), bytes);
    test::WriteAll(dir + name, wav);
    LoudnessMeter meter(kStreamRate);
    meter.Add(pcm.data(), kFrames);
    return meter.Result().integrated_lufs;
  };
  // Plays the file whole through the mixer into the disk audio driver;
  // the loudness of what the sound card got.
  auto played = [&](const std::string& name) {
    const std::string out = dir + name + ".raw";
    CloseSdlAudio();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    EXPECT_TRUE(OpenSdlAudio());
    {
      SdlMedia m;
      EXPECT_EQ(m.OpenFile(dir + name), 0);
      EXPECT_EQ(m.Play(std::nullopt, std::nullopt), 0);
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (m.Mode() == MediaMode::Playing && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      m.Close();
    }
    CloseSdlAudio();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string pcm = test::ReadAll(out);
    LoudnessMeter meter(kStreamRate);
    meter.Add(reinterpret_cast<const int16_t*>(pcm.data()), pcm.size() / 4);
    return meter.Result();
  };
  for (auto [name, amplitude] : {std::pair<std::string, double>{"loud.wav", 0.9}, {"quiet.wav", 0.03}}) {
    SCOPED_TRACE(name);
    const double made = writeWav(name, amplitude);
    const LoudnessFigure first = played(name);
    ASSERT_TRUE(WaitForFileLoudnessMeasured(std::chrono::seconds(30)));
    ASSERT_TRUE(KnownFileLoudness(dir + name));
    const LoudnessFigure again = played(name);
    std::printf("%s: made %.1f LUFS, first played %.1f, then %.1f LUFS (%.1f dBTP)\n", name.c_str(),
                made, first.integrated_lufs, again.integrated_lufs, again.true_peak_dbtp);
    EXPECT_NEAR(first.integrated_lufs, made + sb::kUnmeasuredGainDb, 1.0);
    EXPECT_NEAR(again.integrated_lufs, sb::kTargetLufs, 1.0);
    EXPECT_LE(again.true_peak_dbtp, sb::kTruePeakCeilingDbtp + 0.5);
  }
  EXPECT_TRUE(std::filesystem::exists(dir + "cache/loudness.txt")) << "the figures are kept";
  SetRenderedTunesFolder("");
}

// Stopping, pausing or changing tunes fades over a few milliseconds: the
// last samples before silence are near zero.
TEST_F(MusicLevels, StopsPausesAndChangesFadeInsteadOfCutting) {
  std::shared_ptr<const MidiScore> a = test::LoadedScore("Z06.mid");
  std::shared_ptr<const MidiScore> b = test::LoadedScore("Z08.mid");
  ASSERT_TRUE(a && b);
  auto tail = [](const std::vector<int16_t>& pcm, size_t from) {
    int most = 0;
    for (size_t i = from; i < pcm.size(); ++i) most = std::max(most, std::abs(int{pcm[i]}));
    return most;
  };
  std::vector<int16_t> pcm;
  StreamStart(std::make_shared<MidiSource>(a, kStreamRate * 20, a->lengthFrames));
  Render(pcm, kStreamRate * 2);
  int before = tail(pcm, pcm.size() - kStreamRate);
  ASSERT_GT(before, 2000) << "the tune should be sounding here";

  // Stop: the fade ends within the ramp, then silence.
  StreamStop();
  size_t stopAt = pcm.size();
  Render(pcm, kRampFrames);
  Render(pcm, kStreamRate / 10);
  std::printf("before the stop %d, last ramp samples %d, %d, after %d\n", before,
              pcm[stopAt + kRampFrames * 2 - 2], pcm[stopAt + kRampFrames * 2 - 1],
              tail(pcm, stopAt + kRampFrames * 2));
  for (size_t i = stopAt + kRampFrames * 2 - 8; i < stopAt + kRampFrames * 2; ++i)
    EXPECT_LT(std::abs(pcm[i]), 200);
  EXPECT_LT(tail(pcm, stopAt + kRampFrames * 2), 200);
  // No sample-to-sample jump as large as a cut from the tune's level.
  int jump = 0;
  for (size_t i = stopAt; i + 2 < stopAt + kRampFrames * 2; ++i)
    jump = std::max(jump, std::abs(pcm[i + 2] - pcm[i]));
  EXPECT_LT(jump, before / 2);

  // Pause and resume: silent while held, back afterwards.
  pcm.clear();
  StreamStart(std::make_shared<MidiSource>(a, kStreamRate * 20, a->lengthFrames));
  Render(pcm, kStreamRate);
  StreamPause();
  Render(pcm, kRampFrames);
  size_t held = pcm.size();
  Render(pcm, kStreamRate / 5);
  EXPECT_LT(tail(pcm, held), 200);
  StreamResume();
  Render(pcm, kStreamRate);
  EXPECT_GT(tail(pcm, pcm.size() - kStreamRate), 2000);

  // A change of tune: the old one fades, the new one follows at once.
  StreamStart(std::make_shared<MidiSource>(b, kStreamRate * 10, b->lengthFrames));
  size_t change = pcm.size();
  Render(pcm, kStreamRate / 2);
  jump = 0;
  for (size_t i = change; i + 2 < change + kRampFrames * 2; ++i)
    jump = std::max(jump, std::abs(pcm[i + 2] - pcm[i]));
  EXPECT_LT(jump, 8000);
  EXPECT_GT(tail(pcm, change + kStreamRate / 4 * 2), 2000) << "the new tune does not sound";
}

// A play that ends at a stop position inside the tune fades there too.
TEST_F(MusicLevels, APlayRangeEndsAtItsStopPositionAtRest) {
  std::shared_ptr<const MidiScore> a = test::LoadedScore("Z01.mid");
  ASSERT_TRUE(a);
  uint64_t from = kStreamRate * 30, to = from + kStreamRate / 2;
  StreamStart(std::make_shared<MidiSource>(a, from, to));
  std::vector<int16_t> pcm;
  while (!StreamEnded()) Render(pcm, kBlock);
  EXPECT_NEAR(static_cast<double>(pcm.size() / 2), static_cast<double>(to - from), kBlock);
  for (size_t i = (to - from) * 2 - 10; i < (to - from) * 2; ++i) EXPECT_LT(std::abs(pcm[i]), 200);
}

}  // namespace
}  // namespace kelvane
