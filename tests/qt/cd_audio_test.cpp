// CD audio from a CUE/BIN image the test writes: three tone tracks (and a
// data track in a second image), listed as a drive, measured from the table
// of contents and played through the disk audio driver.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "platform/cd/cd_disc.h"
#include "platform/cd/cd_drives.h"
#include "music/sound_balance.h"
#include "platform/core/loudness.h"
#include "platform/sdl/file_loudness.h"
#include "platform/sdl/music_stream.h"
#include "platform/sdl/rendered_tunes.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_media.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

void Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Sectors of a stereo sine tone.
std::string Tone(uint32_t sectors, double hz) {
  std::string out;
  out.reserve(sectors * kCdSectorBytes);
  for (uint32_t i = 0; i < sectors * kCdFramesPerSector; ++i) {
    auto v = static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * hz * i / 44100.0)));
    for (int c = 0; c < 2; ++c) {
      out.push_back(static_cast<char>(v & 0xFF));
      out.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
  }
  return out;
}

// Track lengths in sectors: 2 s, 3 s and 1.5 s.
constexpr uint32_t kLengths[3] = {150, 225, 113};
constexpr double kTones[3] = {330, 440, 660};

// Writes disc.cue and disc.bin into dir; returns the sheet's path.
std::string WriteImage(const std::string& dir, bool dataFirst = false) {
  std::string bin, cue = "FILE \"disc.bin\" BINARY\n";
  uint32_t at = 0;
  for (int t = 0; t < 3; ++t) {
    bool data = dataFirst && t == 0;
    char head[64];
    std::snprintf(head, sizeof head, "  TRACK %02d %s\n", t + 1, data ? "MODE1/2352" : "AUDIO");
    cue += head;
    cue += "    INDEX 01 " + test::CueTime(at) + "\n";
    bin += data ? std::string(kLengths[t] * kCdSectorBytes, '\0') : Tone(kLengths[t], kTones[t]);
    at += kLengths[t];
  }
  test::WriteAll(dir + "disc.bin", bin);
  test::WriteAll(dir + "disc.cue", cue);
  return dir + "disc.cue";
}

struct DiskAudio {
  explicit DiskAudio(const std::string& file) {
    CloseSdlAudio();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    ok = OpenSdlAudio();
  }
  ~DiskAudio() {
    CloseSdlAudio();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  bool ok;
};

// Frames of out that sound, and the tone's frequency from its zero crossings.
void Measure(const std::string& pcm, size_t& sounding, double& hz) {
  sounding = 0;
  size_t crossings = 0;
  int16_t last = 0;
  for (size_t i = 0; i + 3 < pcm.size(); i += 4) {
    auto v = static_cast<int16_t>(static_cast<uint8_t>(pcm[i]) |
                                  (static_cast<uint8_t>(pcm[i + 1]) << 8));
    if (std::abs(v) > 200) ++sounding;
    if ((last < 0) != (v < 0) && std::abs(v - last) > 100) ++crossings;
    last = v;
  }
  hz = sounding ? crossings / 2.0 / (static_cast<double>(sounding) / 44100.0) : 0;
}

std::string LabelOf(const std::string& cue) {
  std::string path = std::filesystem::absolute(cue).string();
  for (const CdDrive& d : ListCdDrives())
    if (d.device == path) return d.label;
  return {};
}

TEST(CdAudio, AnImageIsADriveWithItsTracksMeasuredFromTheTableOfContents) {
  std::string dir = test::MakeTempDir("cd-image");
  std::string cue = WriteImage(dir);
  AddCdImage(cue);
  std::string label = LabelOf(cue);
  ASSERT_EQ(label.size(), 2u) << "the image is not listed as a drive";
  EXPECT_EQ(label[1], ':');

  SdlMedia m;
  ASSERT_EQ(m.OpenCD(label), 0) << m.ErrorText(m.LastError());
  ASSERT_EQ(m.SetTimeFormatMs(), 0);
  int tracks = 0;
  ASSERT_EQ(m.TrackCount(tracks), 0);
  EXPECT_EQ(tracks, 3);
  uint32_t start = 0, length = 0;
  uint32_t expectStart = 0;
  for (int t = 1; t <= 3; ++t) {
    ASSERT_EQ(m.TrackStart(t, start), 0);
    ASSERT_EQ(m.TrackLength(t, length), 0);
    EXPECT_EQ(start, expectStart * 1000 / 75) << "track " << t;
    EXPECT_EQ(length, kLengths[t - 1] * 1000 / 75) << "track " << t;
    expectStart += kLengths[t - 1];
  }
  EXPECT_EQ(m.TrackLength(4, length), SdlMedia::kOutOfRange);
  EXPECT_EQ(m.TrackStart(0, start), SdlMedia::kOutOfRange);
  EXPECT_EQ(m.Close(), 0);
}

// Plays track 2 whole into the disk audio driver at out; false if it
// did not start.
bool PlayTrackTwo(const std::string& cue, const std::string& out) {
  DiskAudio audio(out);
  if (!audio.ok) return false;
  SdlMedia m;
  uint32_t start = 0, length = 0;
  if (m.OpenCD(LabelOf(cue)) != 0 || m.TrackStart(2, start) != 0 || m.TrackLength(2, length) != 0 ||
      m.Play(start, start + length) != 0)
    return false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (m.Mode() == MediaMode::Playing && std::chrono::steady_clock::now() < until) Sleep(20);
  Sleep(200);
  m.Close();
  return true;
}

// A track plays as made until measured, at the game's loudness after.
TEST(CdAudio, ATrackPlaysAtTheTargetLoudnessOnceMeasured) {
  std::string dir = test::MakeTempDir("cd-loudness");
  std::string cue = WriteImage(dir);
  AddCdImage(cue);
  SetRenderedTunesFolder(dir + "cache/");
  auto loudness = [&](const std::string& raw) {
    const std::string pcm = test::ReadAll(raw);
    LoudnessMeter meter(kStreamRate);
    meter.Add(reinterpret_cast<const int16_t*>(pcm.data()), pcm.size() / 4);
    return meter.Result().integrated_lufs;
  };
  const std::string made = Tone(kLengths[1], kTones[1]);
  LoudnessMeter meter(kStreamRate);
  meter.Add(reinterpret_cast<const int16_t*>(made.data()), made.size() / 4);
  ASSERT_TRUE(PlayTrackTwo(cue, dir + "first.raw"));
  ASSERT_TRUE(WaitForFileLoudnessMeasured(std::chrono::seconds(30)));
  ASSERT_TRUE(PlayTrackTwo(cue, dir + "again.raw"));
  SetRenderedTunesFolder("");
  const double first = loudness(dir + "first.raw"), again = loudness(dir + "again.raw");
  std::printf("track 2: made %.1f LUFS, first played %.1f, then %.1f\n",
              meter.Result().integrated_lufs, first, again);
  EXPECT_NEAR(first, meter.Result().integrated_lufs + sound_balance::kUnmeasuredGainDb, 1.0);
  EXPECT_NEAR(again, sound_balance::kTargetLufs, 1.0);
}

TEST(CdAudio, TrackTwoPlaysIntoTheMixerForItsLength) {
  std::string dir = test::MakeTempDir("cd-play");
  std::string cue = WriteImage(dir);
  AddCdImage(cue);
  std::string out = dir + "out.raw";
  {
    DiskAudio audio(out);
    ASSERT_TRUE(audio.ok);
    SdlMedia m;
    ASSERT_EQ(m.OpenCD(LabelOf(cue)), 0) << m.ErrorText(m.LastError());
    uint32_t start = 0, length = 0;
    ASSERT_EQ(m.TrackStart(2, start), 0);
    ASSERT_EQ(m.TrackLength(2, length), 0);
    ASSERT_EQ(m.Play(start, start + length), 0);
    auto t0 = std::chrono::steady_clock::now();
    auto waited = [&] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::steady_clock::now() - t0)
          .count();
    };
    while (m.Mode() == MediaMode::Playing && waited() < 30000) Sleep(20);
    EXPECT_EQ(m.Mode(), MediaMode::Stopped);
    // The sound card's clock, not the wall clock, ends the track (the disk
    // driver's runs a little fast, a busy machine's late): the track cannot
    // end much before its 3 s, and what it wrote is measured below.
    EXPECT_GE(waited(), 2500);
    Sleep(200);
    EXPECT_EQ(m.Close(), 0);
  }
  size_t sounding = 0;
  double hz = 0;
  Measure(test::ReadAll(out), sounding, hz);
  std::printf("track 2: %zu sounding frames (%.2f s) at %.0f Hz\n", sounding, sounding / 44100.0,
              hz);
  EXPECT_NEAR(sounding / 44100.0, 3.0, 0.1);
  EXPECT_NEAR(hz, kTones[1], 10.0) << "another track played";
  std::remove(out.c_str());
}

TEST(CdAudio, ADiscTakenOutMidTrackEndsTheTrackCleanly) {
  std::string dir = test::MakeTempDir("cd-eject");
  std::string cue = WriteImage(dir);
  AddCdImage(cue);
  auto audio = std::make_unique<DiskAudio>(dir + "out.raw");
  ASSERT_TRUE(audio->ok);
  SdlMedia m;
  ASSERT_EQ(m.OpenCD(LabelOf(cue)), 0) << m.ErrorText(m.LastError());
  uint32_t start = 0, length = 0;
  ASSERT_EQ(m.TrackStart(2, start), 0);
  ASSERT_EQ(m.TrackLength(2, length), 0);
  ASSERT_EQ(m.Play(start, start + length), 0);
  Sleep(100);
  // The image loses everything after half a second of track 2: the reader
  // has a second queued at most, so the track ends well before its 3 s.
  std::filesystem::resize_file(dir + "disc.bin", uint64_t{kLengths[0] + 37} * kCdSectorBytes);
  auto t0 = std::chrono::steady_clock::now();
  auto waited = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 t0)
        .count();
  };
  while (m.Mode() == MediaMode::Playing && waited() < 30000) Sleep(20);
  EXPECT_EQ(m.Mode(), MediaMode::Stopped);
  EXPECT_EQ(m.Close(), 0);
  audio.reset();
  // Measured in what the sound card played, so a busy machine cannot make
  // it pass or fail: about half a second and what was queued, not 3 s.
  size_t sounding = 0;
  double hz = 0;
  Measure(test::ReadAll(dir + "out.raw"), sounding, hz);
  EXPECT_LT(sounding / 44100.0, 2.0) << "the track played on past the end of the disc";
}

TEST(CdAudio, MissingOrBrokenImagesAndDataTracksGiveNoMusic) {
  std::string dir = test::MakeTempDir("cd-broken");
  SdlMedia m;
  // No such image, no such drive.
  AddCdImage(dir + "missing.cue");
  EXPECT_EQ(m.OpenCD(LabelOf(dir + "missing.cue")), SdlMedia::kUnsupported);
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);
  EXPECT_EQ(m.OpenCD("Y:"), SdlMedia::kUnsupported);
  EXPECT_EQ(m.OpenCD(""), SdlMedia::kUnsupported);
  // A sheet whose BIN file is missing, and one cut off in its middle.
  test::WriteAll(dir + "nobin.cue",
                 "FILE \"gone.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
  EXPECT_NE(m.OpenCD(dir + "nobin.cue"), 0);
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);
  test::WriteAll(dir + "cut.cue", "FILE \"disc.bin\" BINARY\n  TRACK 01 AU");
  EXPECT_NE(m.OpenCD(dir + "cut.cue"), 0);
  test::WriteAll(dir + "junk.cue", std::string("\x01\xff\x00garbage", 10));
  EXPECT_NE(m.OpenCD(dir + "junk.cue"), 0);
  EXPECT_EQ(m.Mode(), MediaMode::NotReady);

  // A data track is listed but not played.
  std::string cue = WriteImage(dir, true);
  ASSERT_EQ(m.OpenCD(cue), 0) << m.ErrorText(m.LastError());
  int tracks = 0;
  ASSERT_EQ(m.TrackCount(tracks), 0);
  EXPECT_EQ(tracks, 3);
  uint32_t start = 0, length = 0;
  ASSERT_EQ(m.TrackStart(1, start), 0);
  EXPECT_EQ(m.TrackLength(1, length), SdlMedia::kNotAudioTrack);
  EXPECT_EQ(m.Play(0, 1000), SdlMedia::kNotAudioTrack);
  EXPECT_NE(m.Mode(), MediaMode::Playing);
  ASSERT_EQ(m.TrackStart(2, start), 0);
  ASSERT_EQ(m.TrackLength(2, length), 0);
  EXPECT_EQ(m.Play(start, start + length), 0);
  EXPECT_EQ(m.Close(), 0);
}

}  // namespace
}  // namespace kelvane
