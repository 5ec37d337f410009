#include "platform/sdl/sdl_media.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/numbered_files.h"
#include "music/audio_length.h"
#include "music/midi_length.h"
#include "platform/sdl/music_stream.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/synthesiser.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

// Ends the test program if a test outlives its time: audio drivers can
// block, and a hung test must not stall the whole run.
class Watchdog {
 public:
  explicit Watchdog(int seconds) {
    thread_ = std::thread([this, seconds] {
      std::unique_lock<std::mutex> lock(m_);
      if (!cv_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) {
        std::fprintf(stderr, "sdl_media_test: timed out after %d s\n", seconds);
        std::_Exit(3);
      }
    });
  }
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(m_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

void Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Runs the mixer on the given SDL audio driver for one test.
struct AudioOn {
  explicit AudioOn(const char* driver, const std::string& diskFile = "") {
    CloseSdlAudio();
    setenv("SDL_AUDIODRIVER", driver, 1);
    if (!diskFile.empty()) setenv("SDL_DISKAUDIOFILE", diskFile.c_str(), 1);
    ok = OpenSdlAudio();
  }
  ~AudioOn() {
    CloseSdlAudio();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  bool ok;
};

std::string StageTune(int n) {
  return test::GameDir() + "Z" + ZeroPad(2, n) + ".mid";
}

TEST(SdlMedia, AnUnopenedDeviceRefusesEveryQuery) {
  SdlMedia m;
  uint32_t ms = 7;
  int tracks = 7;
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);
  EXPECT_EQ(m.Length(ms), MediaDevice::kNotOpen);
  EXPECT_EQ(m.TrackCount(tracks), MediaDevice::kNotOpen);
  EXPECT_EQ(m.TrackStart(1, ms), MediaDevice::kNotOpen);
  EXPECT_EQ(m.TrackLength(1, ms), MediaDevice::kNotOpen);
  EXPECT_EQ(m.SetTimeFormatMs(), MediaDevice::kNotOpen);
  EXPECT_EQ(m.Play(std::nullopt, std::nullopt), MediaDevice::kNotOpen);
  EXPECT_EQ(m.Stop(), MediaDevice::kNotOpen);
  EXPECT_EQ(m.Close(), MediaDevice::kNotOpen);
  EXPECT_EQ(m.LastError(), MediaDevice::kNotOpen);
  EXPECT_EQ(ms, 7u);
  EXPECT_EQ(tracks, 7);
  EXPECT_NE(m.ErrorText(MediaDevice::kNotOpen), "");
  EXPECT_EQ(m.ErrorText(0), "");
}

void WriteWav(const std::string& path, double seconds, double hz, int amplitude, bool square);
double ResidentMb();

TEST(SdlMedia, FailedOpensLeaveTheDeviceClosedWithAnError) {
  Watchdog dog(60);
  AudioOn audio("dummy");
  SdlMedia m;
  EXPECT_EQ(m.OpenCD("W:"), SdlMedia::kUnsupported);
  EXPECT_EQ(m.LastError(), SdlMedia::kUnsupported);
  EXPECT_NE(m.ErrorText(m.LastError()).find("CD"), std::string::npos);
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);

  std::string dir = test::MakeTempDir("sdl-media");
  EXPECT_EQ(m.OpenFile(dir + "missing.mid"), SdlMedia::kFileNotFound);
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);
  test::WriteAll(dir + "notes.mid", "these are not notes");
  EXPECT_EQ(m.OpenFile(dir + "notes.mid"), SdlMedia::kCannotPlay);
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);
  // A MIDI file with no time in it would give a stage that never ends.
  std::string empty = std::string("MThd\0\0\0\x06\0\x01\0\x01\x01\xE0", 14) +
                      std::string("MTrk\0\0\0\x04\0\xFF\x2F\0", 12);
  test::WriteAll(dir + "empty.mid", empty);
  ASSERT_EQ(MidiLengthMs(empty), 0u);
  EXPECT_EQ(m.OpenFile(dir + "empty.mid"), SdlMedia::kCannotPlay);
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);
  uint32_t ms = 0;
  EXPECT_EQ(m.Length(ms), MediaDevice::kNotOpen);

  // Refused from what the file is, before it is opened: a pipe (which would
  // block), a WAV larger than its format can describe.
  ASSERT_EQ(mkfifo((dir + "pipe.wav").c_str(), 0600), 0);
  EXPECT_EQ(m.OpenFile(dir + "pipe.wav"), SdlMedia::kCannotPlay);
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);
  WriteWav(dir + "huge.wav", 0.1, 440.0, 8000, false);
  std::filesystem::resize_file(dir + "huge.wav", kMaxWavFileBytes + 1);
  EXPECT_EQ(m.OpenFile(dir + "huge.wav"), SdlMedia::kCannotPlay);
  EXPECT_NE(m.ErrorText(m.LastError()).find("4 GB"), std::string::npos);
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);
  std::filesystem::remove(dir + "huge.wav");

  // A CD open closes the file that was open, as a fresh open does.
  ASSERT_EQ(m.OpenFile(StageTune(1)), 0);
  EXPECT_EQ(m.OpenCD("X:"), SdlMedia::kUnsupported);
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);
}

TEST(SdlMedia, EveryStageTuneMeasuresAsItsTempoMapSays) {
  Watchdog dog(180);
  AudioOn audio("dummy");
  ASSERT_TRUE(audio.ok);
  SdlMedia m;
  int tunes = 0;
  for (int n = 1; n <= 16 && std::filesystem::exists(StageTune(n)); ++n) {
    SCOPED_TRACE(StageTune(n));
    ASSERT_EQ(m.OpenFile(StageTune(n)), 0) << m.ErrorText(m.LastError());
    ASSERT_EQ(m.SetTimeFormatMs(), 0);
    uint32_t ms = 0, trackMs = 0, start = 9;
    int tracks = 0;
    ASSERT_EQ(m.Length(ms), 0);
    EXPECT_EQ(ms, MidiLengthMs(test::ReadAll(StageTune(n))));
    EXPECT_GE(ms, 60000u);
    EXPECT_LE(ms, 150000u);
    // A file is one track from 0 to its length.
    EXPECT_EQ(m.TrackCount(tracks), 0);
    EXPECT_EQ(tracks, 1);
    EXPECT_EQ(m.TrackStart(1, start), 0);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(m.TrackLength(1, trackMs), 0);
    EXPECT_EQ(trackMs, ms);
    EXPECT_EQ(m.TrackLength(2, trackMs), SdlMedia::kOutOfRange);
    EXPECT_EQ(m.Mode(), MediaMode::Stopped);
    ++tunes;
  }
  EXPECT_GE(tunes, 8);
  // The menu loop, and a sound effect opened as music, measure too.
  ASSERT_EQ(m.OpenFile(test::GameDir() + "Zz.mid"), 0);
  uint32_t ms = 0;
  ASSERT_EQ(m.Length(ms), 0);
  EXPECT_EQ(ms, MidiLengthMs(test::ReadAll(test::GameDir() + "Zz.mid")));
  ASSERT_EQ(m.OpenFile(test::GameDir() + "Y_q70.wav"), 0);
  ASSERT_EQ(m.Length(ms), 0);
  std::optional<uint32_t> header = WavLengthMs(test::ReadAll(test::GameDir() + "Y_q70.wav"));
  ASSERT_TRUE(header);
  EXPECT_NEAR(static_cast<double>(ms), static_cast<double>(*header), 2.0);
  EXPECT_EQ(m.Close(), 0);
  EXPECT_EQ(m.Close(), MediaDevice::kNotOpen);
}

TEST(SdlMedia, WithoutAudioATuneIsStillTimedAndStopsAtItsEndPosition) {
  Watchdog dog(60);
  CloseSdlAudio();
  ASSERT_FALSE(SdlAudioIsOpen());
  SdlMedia m;
  ASSERT_EQ(m.OpenFile(StageTune(1)), 0);
  uint32_t ms = 0;
  ASSERT_EQ(m.Length(ms), 0);
  EXPECT_EQ(ms, MidiLengthMs(test::ReadAll(StageTune(1))));
  EXPECT_EQ(m.Play(std::nullopt, ms + 1), SdlMedia::kOutOfRange);
  ASSERT_EQ(m.Play(1000, ms), 0);
  EXPECT_EQ(m.Mode(), MediaMode::Playing);
  // A short range stops by itself (polled without a bound a busy machine
  // could break; the watchdog catches a play that never ends).
  ASSERT_EQ(m.Play(1000, 1300), 0);
  Sleep(300);
  while (m.Mode() == MediaMode::Playing) Sleep(10);
  EXPECT_EQ(m.Mode(), MediaMode::Stopped);
  // Stop keeps the place; a plain Play goes on from there.
  ASSERT_EQ(m.Play(std::nullopt, std::nullopt), 0);
  ASSERT_EQ(m.Stop(), 0);
  EXPECT_EQ(m.Mode(), MediaMode::Stopped);
  ASSERT_EQ(m.Play(std::nullopt, std::nullopt), 0);
  EXPECT_EQ(m.Mode(), MediaMode::Playing);
  EXPECT_EQ(m.Close(), 0);
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);
}

// Resident set of this process in MB.
double ResidentMb() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (f) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

// Once the soundfont has loaded, a MIDI tune opens and sounds within
// milliseconds; every open works on the one synthesiser, never loading the
// soundfont again, and changing tunes does not pile up instruments.
TEST(SdlMedia, MidiTunesOpenAndSoundAtOnceOnTheOneSynthesiser) {
  Watchdog dog(120);
  AudioOn audio("dummy");
  ASSERT_TRUE(audio.ok);
  ASSERT_TRUE(WaitForSynthesiser(30000)) << "no soundfont: " << SoundFontPath();
  int loads = SoundFontLoads();
  SdlMedia m;
  using Clock = std::chrono::steady_clock;
  double worstOpen = 0, mostMb = 0, firstMb = 0;
  std::vector<double> sounds;
  for (int round = 0; round < 2; ++round) {
    for (int n = 1; n <= 9; ++n) {
      std::string tune = n == 9 ? test::GameDir() + "Zz.mid" : StageTune(n);
      SCOPED_TRACE(tune);
      uint64_t t0 = StreamClockUs();
      Clock::time_point c0 = Clock::now();
      ASSERT_EQ(m.OpenFile(tune), 0) << m.ErrorText(m.LastError());
      ASSERT_EQ(m.Play(std::nullopt, std::nullopt), 0);
      double openMs = std::chrono::duration<double, std::milli>(Clock::now() - c0).count();
      // However busy the machine, a tune that sounds at all does so within
      // seconds; how quickly is measured in bench/, not here.
      uint64_t sound = 0;
      for (int waited = 0; waited < 10000 && !sound; ++waited) {
        Sleep(1);
        sound = StreamFirstSoundUs();
      }
      ASSERT_NE(sound, 0u) << "the tune made no sound";
      EXPECT_GE(sound, t0) << "a sound from before the open was taken for the tune's";
      double soundMs = static_cast<double>(sound - t0) / 1000.0;
      std::printf("%s: open %.2f ms, first sound after %.1f ms\n", tune.c_str(), openMs, soundMs);
      worstOpen = std::max(worstOpen, openMs);
      sounds.push_back(soundMs);
      Sleep(300);
      EXPECT_EQ(m.Mode(), MediaMode::Playing);
      double mb = ResidentMb();
      if (round == 0 && n == 1) firstMb = mb;
      mostMb = std::max(mostMb, mb);
    }
  }
  ASSERT_EQ(m.Close(), 0);
  std::sort(sounds.begin(), sounds.end());
  double median = sounds[sounds.size() / 2];
  std::printf(
      "worst open %.2f ms; first sound after %.1f ms (median), %.1f ms (worst); resident "
      "%.0f MB after the first tune, %.0f MB at most\n",
      worstOpen, median, sounds.back(), firstMb, mostMb);
  // An open reads the file only; the soundfont stays loaded from before.
  // The times printed above are for the eye: a busy machine stretches them,
  // so their goals live in the benchmarks (BM_MidiTuneOpen and
  // BM_MidiTuneFirstSound).
  EXPECT_EQ(SoundFontLoads(), loads) << "an open loaded the soundfont again";
  // The whole soundfont is 148 MB; a tune's instruments are a few MB. The
  // address sanitizer keeps freed blocks in quarantine (256 MB), so there the
  // resident size says nothing about what the synthesiser holds.
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(mostMb - firstMb, 60.0);
#endif
}

TEST(SdlMedia, WithoutASoundFontMidiTunesTakeTheMissingTunePath) {
  Watchdog dog(60);
  CloseSdlAudio();
  StopSynthesiser();
  std::string saved = getenv("SDL_SOUNDFONTS") ? getenv("SDL_SOUNDFONTS") : "";
  setenv("SDL_SOUNDFONTS", "/nonexistent/none.sf2", 1);
  {
    AudioOn audio("dummy");
    ASSERT_TRUE(audio.ok);
    EXPECT_EQ(SynthesiserState(), SynthState::NoSoundFont);
    SdlMedia m;
    EXPECT_EQ(m.OpenFile(StageTune(1)), SdlMedia::kCannotPlay);
    EXPECT_NE(m.ErrorText(m.LastError()).find("soundfont"), std::string::npos);
    EXPECT_EQ(m.Mode(), MediaMode::NotReady);
    // WAV tunes do not need it.
    EXPECT_EQ(m.OpenFile(test::GameDir() + "Y_q70.wav"), 0);
  }
  StopSynthesiser();
  if (saved.empty())
    unsetenv("SDL_SOUNDFONTS");
  else
    setenv("SDL_SOUNDFONTS", saved.c_str(), 1);
  StartSynthesiser();
}

// The little-endian 16-bit sample at a byte offset of raw output.
int16_t SampleAt(const std::string& pcm, size_t byte) {
  return static_cast<int16_t>(static_cast<uint8_t>(pcm[byte]) |
                              (static_cast<uint8_t>(pcm[byte + 1]) << 8));
}

// Mean square of 16-bit samples.
double Power(const std::string& pcm, size_t from, size_t to) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = from & ~size_t{1}; i + 1 < std::min(to, pcm.size()); i += 2, ++n) {
    const int16_t s = SampleAt(pcm, i);
    sum += static_cast<double>(s) * s;
  }
  return n ? sum / static_cast<double>(n) : 0;
}

TEST(SdlMedia, AStageTuneSoundsThroughTheDiskDriver) {
  Watchdog dog(90);
  std::string file = test::MakeTempDir("disk-audio") + "out.raw";
  {
    AudioOn audio("disk", file);
    ASSERT_TRUE(audio.ok) << "the disk audio driver did not open";
    SdlMedia m;
    ASSERT_EQ(m.OpenFile(StageTune(2)), 0) << m.ErrorText(m.LastError());
    ASSERT_EQ(m.Play(std::nullopt, std::nullopt), 0);
    // Three seconds of play, checked in small steps.
    for (int waited = 0; waited < 3000; waited += 100) {
      Sleep(100);
      ASSERT_EQ(m.Mode(), MediaMode::Playing) << "after " << waited << " ms";
    }
    EXPECT_EQ(m.Stop(), 0);
    EXPECT_EQ(m.Close(), 0);
  }
  std::string pcm = test::ReadAll(file);
  // 44.1 kHz, two channels, 16 bits: about 176 kB a second.
  ASSERT_GT(pcm.size(), 176400u) << "less than a second was written";
  double rms = std::sqrt(Power(pcm, 0, pcm.size()));
  std::printf("disk audio: %zu bytes written, rms %.0f\n", pcm.size(), rms);
  EXPECT_GT(rms, 300.0) << "the tune came out (nearly) silent";
  // Not one burst: the second half of what was written sounds too.
  EXPECT_GT(std::sqrt(Power(pcm, pcm.size() / 2, pcm.size())), 100.0);
  std::remove(file.c_str());
}

// A 16-bit stereo WAV file at the stream's rate: a sine of the given
// frequency and amplitude (or a square wave), seconds long.
void WriteWav(const std::string& path, double seconds, double hz, int amplitude, bool square) {
  const uint32_t frames = static_cast<uint32_t>(seconds * kStreamRate);
  std::string data;
  for (uint32_t i = 0; i < frames; ++i) {
    double phase = std::sin(2 * M_PI * hz * i / kStreamRate);
    if (square) phase = phase >= 0 ? 1 : -1;
    const auto v = static_cast<int16_t>(std::lround(phase * amplitude));
    for (int c = 0; c < 2; ++c) {
      data += static_cast<char>(v & 0xFF);
      data += static_cast<char>((v >> 8) & 0xFF);
    }
  }
  auto u32 = [](uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
  };
  auto u16 = [](uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; };
  std::string wav = "RIFF" + u32(36 + static_cast<uint32_t>(data.size())) + "WAVEfmt " + u32(16) +
                    u16(1) + u16(2) + u32(kStreamRate) + u32(kStreamRate * 4) + u16(4) + u16(16) +
                    "data" + u32(static_cast<uint32_t>(data.size())) + data;
  test::WriteAll(path, wav);
}

std::vector<int16_t> Samples(const std::string& pcm) {
  std::vector<int16_t> out(pcm.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = SampleAt(pcm, i * 2);
  return out;
}

// A WAV tune fades over a few milliseconds when it is stopped, resumed,
// replayed from a position and closed: a 440 Hz sine moves at most about
// 1,000 a sample, a cut would jump by up to its full amplitude.
TEST(SdlMedia, WavTunesFadeInsteadOfCutting) {
  Watchdog dog(90);
  const std::string dir = test::MakeTempDir("wav-fade");
  const std::string file = dir + "out.raw";
  WriteWav(dir + "sine.wav", 4.0, 440.0, 16000, false);
  {
    AudioOn audio("disk", file);
    ASSERT_TRUE(audio.ok) << "the disk audio driver did not open";
    SdlMedia m;
    ASSERT_EQ(m.OpenFile(dir + "sine.wav"), 0) << m.ErrorText(m.LastError());
    ASSERT_EQ(m.Play(std::nullopt, std::nullopt), 0);
    Sleep(400);
    ASSERT_EQ(m.Stop(), 0);
    Sleep(300);
    ASSERT_EQ(m.Play(std::nullopt, std::nullopt), 0);
    Sleep(300);
    ASSERT_EQ(m.Play(1000, std::nullopt), 0);
    Sleep(300);
    ASSERT_EQ(m.Close(), 0);
    Sleep(200);
  }
  const std::vector<int16_t> pcm = Samples(test::ReadAll(file));
  ASSERT_GT(pcm.size(), size_t{kStreamRate});
  int loudest = 0, jump = 0;
  size_t quiet = 0, longestQuiet = 0;
  for (size_t i = 0; i < pcm.size(); ++i) {
    loudest = std::max(loudest, std::abs(int{pcm[i]}));
    if (i >= 2) jump = std::max(jump, std::abs(pcm[i] - pcm[i - 2]));
    quiet = std::abs(int{pcm[i]}) < 200 ? quiet + 1 : 0;
    longestQuiet = std::max(longestQuiet, quiet);
  }
  std::printf("wav tune: loudest %d, largest step %d, longest quiet %.0f ms\n", loudest, jump,
              static_cast<double>(longestQuiet) / 2 / kStreamRate * 1000);
  EXPECT_GT(loudest, 12000) << "the tune did not sound";
  EXPECT_GT(longestQuiet / 2, size_t{kStreamRate / 5}) << "the stop did not silence it";
  EXPECT_LT(jump, 2000);
}

// Effects sound at the effects volume, also after a WAV tune has stopped
// (the stop fades the mixer's music to silence and must not take the
// effects with it). The tune plays with the music volume at 0, so every
// sample written is an effect's.
TEST(SdlMedia, EffectsFollowTheirVolumeBeforeAndAfterAWavTuneStops) {
  Watchdog dog(90);
  const std::string dir = test::MakeTempDir("effects");
  WriteWav(dir + "beep.wav", 0.15, 1000.0, 8000, true);
  WriteWav(dir + "tune.wav", 4.0, 440.0, 16000, false);
  struct Heard {
    int before = 0, after = 0;  // loudest sample before and after the stop
    int burstsAfter = 0;        // separate sounds after the stop
  };
  auto play = [&](float volume) {
    const std::string file = dir + "out" + std::to_string(volume) + ".raw";
    uintmax_t stopAt = 0;
    {
      SetMusicVolume(0.0f);
      SetEffectsVolume(volume);
      AudioOn audio("disk", file);
      EXPECT_TRUE(audio.ok);
      SdlMedia m;
      SdlSoundEffects effects;
      EXPECT_EQ(m.OpenFile(dir + "tune.wav"), 0) << m.ErrorText(m.LastError());
      EXPECT_EQ(m.Play(std::nullopt, std::nullopt), 0);
      Sleep(100);
      effects.Play(dir + "beep.wav");
      Sleep(400);
      EXPECT_EQ(m.Close(), 0);
      Sleep(100);
      stopAt = std::filesystem::file_size(file);
      for (int i = 0; i < 2; ++i) {
        effects.Play(dir + "beep.wav");
        Sleep(400);
      }
    }
    SetMusicVolume(1.0f);
    SetEffectsVolume(1.0f);
    const std::vector<int16_t> pcm = Samples(test::ReadAll(file));
    Heard h;
    size_t quiet = kStreamRate;  // samples since the last sound
    for (size_t i = 0; i < pcm.size(); ++i) {
      const int v = std::abs(int{pcm[i]});
      const bool after = i * 2 >= stopAt;
      (after ? h.after : h.before) = std::max(after ? h.after : h.before, v);
      if (v > 200) {
        if (after && quiet > kStreamRate / 20) ++h.burstsAfter;
        quiet = 0;
      } else {
        ++quiet;
      }
    }
    std::printf("effects at volume %.1f: peak %d before the tune stops, %d after, %d sounds after\n",
                volume, h.before, h.after, h.burstsAfter);
    return h;
  };
  const double full = 8000 * EffectsBalance();
  for (float volume : {1.0f, 0.5f}) {
    SCOPED_TRACE(volume);
    const Heard h = play(volume);
    EXPECT_NEAR(h.before, full * volume, 100);
    EXPECT_NEAR(h.after, full * volume, 100);
    EXPECT_EQ(h.burstsAfter, 2);
  }
  const Heard silent = play(0.0f);
  EXPECT_EQ(silent.before, 0);
  EXPECT_EQ(silent.after, 0);
}

// A WAV tune of gigabytes streams from its file: it opens, measures from
// its header and plays without being read into memory. (A sparse file: the
// samples past the first second are silence.)
TEST(SdlMedia, AHugeWavTuneStreamsFromItsFile) {
  Watchdog dog(60);
  AudioOn audio("dummy");
  ASSERT_TRUE(audio.ok);
  const std::string dir = test::MakeTempDir("huge-wav");
  WriteWav(dir + "huge.wav", 1.0, 440.0, 8000, false);
  // The header claims 1.5 GB of samples, which the file then holds.
  const uint64_t size = 1'500'000'000;
  {
    std::string wav = test::ReadAll(dir + "huge.wav");
    const auto put32 = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) wav[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put32(4, static_cast<uint32_t>(size - 8));
    put32(40, static_cast<uint32_t>(size - 44));
    test::WriteAll(dir + "huge.wav", wav);
  }
  std::filesystem::resize_file(dir + "huge.wav", size);
  const double before = ResidentMb();
  SdlMedia m;
  ASSERT_EQ(m.OpenFile(dir + "huge.wav"), 0) << m.ErrorText(m.LastError());
  uint32_t ms = 0;
  ASSERT_EQ(m.Length(ms), 0);
  EXPECT_EQ(ms, kMaxTuneLengthMs);  // 2 h 21 min of samples, timed as an hour
  ASSERT_EQ(m.Play(std::nullopt, std::nullopt), 0);
  Sleep(300);
  EXPECT_EQ(m.Mode(), MediaMode::Playing);
  const double grown = ResidentMb() - before;
  std::printf("a 1.5 GB WAV tune: resident size grew by %.0f MB\n", grown);
  EXPECT_LT(grown, 500.0) << "the file was read into memory";
  EXPECT_EQ(m.Close(), 0);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelvane
