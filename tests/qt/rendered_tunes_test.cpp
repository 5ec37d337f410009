// A tune heard whole is kept as a render and plays from it as the
// synthesiser played it, from its start or any place in it, with the
// synthesiser gone; renders that do not fit the tune are never played.
// Tunes rendered ahead of their first hearing are the tunes heard.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/sdl/midi_source.h"
#include "platform/sdl/music_stream.h"
#include "platform/sdl/rendered_tunes.h"
#include "platform/sdl/synthesiser.h"
#include "tests/qt/loaded_score.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

std::vector<float> PlayWhole(MidiSource& play, size_t block) {
  std::vector<float> out;
  std::vector<float> part(block * 2);
  while (play.FramesLeft() > 0) {
    const size_t n = play.Render(part.data(), block);
    out.insert(out.end(), part.begin(), part.begin() + static_cast<long>(n * 2));
  }
  return out;
}

// The largest difference between a and b from frame `from` of a on, in
// steps of the render's 16-bit samples.
double WorstStep(const std::vector<float>& a, const std::vector<float>& b, size_t from = 0) {
  double worst = 0;
  for (size_t i = 0; i < b.size(); ++i)
    worst = std::max(worst, std::fabs(double{a[from * 2 + i]} - b[i]) * kRenderScale);
  return worst;
}

struct RenderedTunes : ::testing::Test {
  std::string folder = test::MakeTempDir("rendered_tunes");
  void SetUp() override {
    SetRenderedTunesFolder(folder);
    StopSynthesiser();
    StartSynthesiser();
    ASSERT_TRUE(WaitForSynthesiser(30000)) << "no soundfont: " << SoundFontPath();
  }
  void TearDown() override {
    WaitForRenderedTunesStored();
    SetRenderedTunesFolder("");
    MidiSource::RenderAhead(true);
    StartSynthesiser();
  }
  std::vector<float> ReadRender(uint64_t key, uint64_t length) {
    std::shared_ptr<const RenderedTune> render = FindRenderedTune(key, length);
    std::vector<float> sound(length * 2);
    if (!render || !render->Read(0, sound.data(), length)) return {};
    return sound;
  }
  std::vector<std::string> Renders() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    return names;
  }
};

TEST_F(RenderedTunes, ATuneHeardWholePlaysFromItsRenderAnywhereWithoutTheSynthesiser) {
  std::shared_ptr<const MidiScore> score = test::LoadedScore("Zz.mid");
  ASSERT_TRUE(score);
  const uint64_t key = RenderKey(*score, SynthSignature());
  const uint64_t length = score->lengthFrames;
  // Heard whole, rendered ahead on the renderer's thread as in the game.
  MidiSource::RenderAhead(true);
  std::vector<float> heard;
  {
    MidiSource play(score, 0, length, 0, {key, nullptr});
    EXPECT_TRUE(play.UsesSynth());
    heard = PlayWhole(play, 512);
  }
  ASSERT_EQ(heard.size(), length * 2);
  WaitForRenderedTunesStored();
  std::shared_ptr<const RenderedTune> render = FindRenderedTune(key, length);
  ASSERT_TRUE(render) << "the whole play was not kept";
  ASSERT_EQ(Renders().size(), 1u);

  // Played back with no synthesiser at all, whole and from places in it,
  // on the spot and ahead: each sample within rounding of what was heard.
  StopSynthesiser();
  for (bool ahead : {false, true}) {
    MidiSource::RenderAhead(ahead);
    MidiSource again(score, 0, length, 0, {key, render});
    EXPECT_FALSE(again.UsesSynth());
    const std::vector<float> replay = PlayWhole(again, ahead ? 256 : 4096);
    ASSERT_EQ(replay.size(), heard.size());
    EXPECT_LE(WorstStep(heard, replay), 0.5 + 1e-3) << "ahead " << ahead;
    for (uint64_t from : {uint64_t{1}, length / 3, length - 1000}) {
      MidiSource part(score, from, std::min(length, from + 60000), 0, {key, render});
      const std::vector<float> piece = PlayWhole(part, 300);
      ASSERT_EQ(piece.size(), std::min<uint64_t>(length - from, 60000) * 2);
      EXPECT_LE(WorstStep(heard, piece, from), 0.5 + 1e-3) << "from " << from;
    }
  }
  // A render is of the sound: the tune plays as loudly as heard.
  double loud = 0;
  for (float x : heard) loud = std::max(loud, double{std::fabs(x)});
  EXPECT_GT(loud, 0.1);
  // Playing from a render keeps nothing new.
  EXPECT_EQ(Renders().size(), 1u);
}

TEST_F(RenderedTunes, OnlyWholeUnbrokenPlaysAreKeptAndRendersThatDoNotFitAreNeverPlayed) {
  std::shared_ptr<const MidiScore> score = test::LoadedScore("Zz.mid");
  ASSERT_TRUE(score);
  const uint64_t key = RenderKey(*score, SynthSignature());
  const uint64_t length = score->lengthFrames;
  MidiSource::RenderAhead(false);
  std::vector<float> block(4096 * 2);
  // One whole play, and its render (if any) written.
  auto hearWhole = [&] {
    MidiSource whole(score, 0, length, 0, {key, nullptr});
    const size_t heard = PlayWhole(whole, 4096).size();
    WaitForRenderedTunesStored();
    return heard;
  };
  // A play from a place in the tune, one cut short, and one silenced on the
  // way (a pause, another tune taking the synthesiser) are not the tune.
  {
    MidiSource late(score, 1000, length, 0, {key, nullptr});
    PlayWhole(late, 4096);
    MidiSource shorter(score, 0, length - 1, 0, {key, nullptr});
    PlayWhole(shorter, 4096);
    MidiSource broken(score, 0, length, 0, {key, nullptr});
    broken.Render(block.data(), 4096);
    broken.Silence();
    PlayWhole(broken, 4096);
    MidiSource first(score, 0, length, 0, {key, nullptr});
    MidiSource second(score, 0, length, 0, {key, nullptr});
    first.Render(block.data(), 4096);
    second.Render(block.data(), 4096);  // takes the synthesiser from the first
    PlayWhole(first, 4096);
  }
  WaitForRenderedTunesStored();
  EXPECT_FALSE(FindRenderedTune(key, length));
  EXPECT_TRUE(Renders().empty());

  // The render of another score, or of another soundfont, is not this one's.
  EXPECT_NE(RenderKey(*score, SynthSignature() + "x"), key);
  std::shared_ptr<const MidiScore> other = test::LoadedScore("Z07.mid");
  ASSERT_TRUE(other);
  EXPECT_NE(RenderKey(*other, SynthSignature()), key);

  hearWhole();
  ASSERT_TRUE(FindRenderedTune(key, length));
  EXPECT_FALSE(FindRenderedTune(key, length + 1)) << "a tune of another length";
  const std::vector<std::string> names = Renders();
  ASSERT_EQ(names.size(), 1u);
  const std::string path = folder + names[0];
  // Under another key's name, cut short, or not a render at all: refused,
  // so the synthesiser plays and a whole play writes it anew.
  const uint64_t otherKey = RenderKey(*other, SynthSignature());
  char otherName[32];
  std::snprintf(otherName, sizeof otherName, "%016llx.flac", static_cast<unsigned long long>(otherKey));
  fs::copy_file(path, folder + otherName);
  EXPECT_FALSE(FindRenderedTune(otherKey, length));
  fs::resize_file(path, fs::file_size(path) - 2);
  EXPECT_FALSE(FindRenderedTune(key, length));
  test::WriteAll(path, std::string(fs::file_size(folder + otherName), 'x'));
  EXPECT_FALSE(FindRenderedTune(key, length));
  hearWhole();
  EXPECT_TRUE(FindRenderedTune(key, length));

  // The folder is kept under its limit, the renders used longest ago going
  // first (sparse stand-ins of a quarter of the limit each).
  const auto now = fs::file_time_type::clock::now();
  auto old = [&](int i) { return folder + "00000000000000a" + std::to_string(i) + ".flac"; };
  // The player's own files in a folder they named are never touched.
  for (const char* own : {"mine.pcm", "notes.tmp", "00000000000000b0.pcm.tmpx"}) {
    test::WriteAll(folder + own, "x");
    fs::last_write_time(folder + own, now - std::chrono::hours(30));
  }
  // A raw render of an earlier version goes at once.
  const std::string raw = folder + "00000000000000d0.pcm";
  test::WriteAll(raw, "x");
  // A half-written render left by a stopped program goes once it is old.
  const std::string leftover = folder + "00000000000000c0.pcm.tmp123";
  test::WriteAll(leftover, "x");
  fs::last_write_time(leftover, now - std::chrono::hours(1));
  for (int i = 0; i < 4; ++i) {
    const std::string name = old(i);
    test::WriteAll(name, "");
    fs::resize_file(name, kRenderedTunesLimitBytes / 4);
    fs::last_write_time(name, now - std::chrono::hours(10 - i));
  }
  fs::last_write_time(folder + otherName, now - std::chrono::hours(20));
  fs::remove(path);
  hearWhole();
  EXPECT_TRUE(FindRenderedTune(key, length)) << "the newest render stays";
  EXPECT_FALSE(fs::exists(folder + otherName));
  EXPECT_FALSE(fs::exists(old(0)));
  EXPECT_TRUE(fs::exists(old(1)));
  EXPECT_TRUE(fs::exists(old(3)));
  for (const char* own : {"mine.pcm", "notes.tmp", "00000000000000b0.pcm.tmpx"})
    EXPECT_TRUE(fs::exists(folder + own)) << own;
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_FALSE(fs::exists(raw));

  // A folder that cannot be written to: the tune plays all the same, and
  // the failure is reported once, not at every loop.
  SetRenderedTunesFolder(old(3) + "/sub/");
  ::testing::internal::CaptureStderr();
  for (int loop = 0; loop < 2; ++loop) EXPECT_EQ(hearWhole(), length * 2);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("cannot be written"), std::string::npos);
  EXPECT_EQ(said.find("cannot be written"), said.rfind("cannot be written")) << said;
}

TEST_F(RenderedTunes, ARenderThatIsNoFileOrIsDamagedIsNeverHeardAndTheSynthesiserTakesOver) {
  std::shared_ptr<const MidiScore> score = test::LoadedScore("Zz.mid");
  ASSERT_TRUE(score);
  const uint64_t key = RenderKey(*score, SynthSignature());
  const uint64_t length = score->lengthFrames;
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.flac", static_cast<unsigned long long>(key));
  const std::string path = folder + name;

  // A FIFO under the render's name is refused at once, and left alone.
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  auto refused = std::async(std::launch::async, [&] {
    return !FindRenderedTune(key, length) && !VerifyRenderedTune(key, length);
  });
  if (refused.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);  // lets the reader go
    ADD_FAILURE() << "opening the render waits for a writer";
    refused.wait();
    ::close(writer);
  }
  EXPECT_TRUE(refused.get());
  EXPECT_TRUE(fs::is_fifo(path));
  fs::remove(path);

  MidiSource::RenderAhead(false);
  auto hearWhole = [&] {
    MidiSource whole(score, 0, length, 0, {key, nullptr});
    std::vector<float> heard = PlayWhole(whole, 4096);
    WaitForRenderedTunesStored();
    return heard;
  };
  ASSERT_FALSE(hearWhole().empty());
  ASSERT_TRUE(FindRenderedTune(key, length));
  const std::string good = test::ReadAll(path);
  std::string damaged = good;
  for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i) damaged[i] ^= 0x5a;

  // Damaged before this start: the whole check made aside removes it; the
  // synthesiser's next whole play makes it anew.
  test::WriteAll(path + ".new", damaged);
  fs::rename(path + ".new", path);
  EXPECT_FALSE(VerifyRenderedTune(key, length));
  EXPECT_FALSE(fs::exists(path));
  const std::vector<float> heard = hearWhole();
  EXPECT_TRUE(VerifyRenderedTune(key, length));
  std::shared_ptr<const RenderedTune> render = FindRenderedTune(key, length);
  ASSERT_TRUE(render);

  // Damaged while in use: found as it plays; what plays is the tune or
  // silence, never noise, and the render goes.
  {
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const size_t at = damaged.size() / 2;
    ASSERT_EQ(::pwrite(fd, damaged.data() + at, 64, static_cast<off_t>(at)), 64);
    ::close(fd);
  }
  ::testing::internal::CaptureStderr();
  MidiSource play(score, 0, length, 0, {key, render});
  const std::vector<float> heardNow = PlayWhole(play, 4096);
  ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(heardNow.size(), heard.size());
  size_t silent = 0, wrong = 0;
  for (size_t i = 0; i < heard.size(); ++i) {
    if (heardNow[i] == 0.0f)
      ++silent;
    else if (std::fabs(double{heardNow[i]} - heard[i]) * kRenderScale > 0.5 + 1e-3)
      ++wrong;
  }
  EXPECT_EQ(wrong, 0u);
  EXPECT_GT(silent, heard.size() / 4);
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(RenderedTunes, TunesRenderedAheadOfTheirFirstHearingSoundAsHeardAndNeverDisturbThePlay) {
  // A data folder: two tunes, one that is not MIDI at all, and other files.
  const std::string data = test::MakeTempDir("rendered_tunes_data");
  for (const char* tune : {"Zz.mid", "Z07.mid"}) fs::copy_file(test::GameDir() + tune, data + tune);
  test::WriteAll(data + "broken.MID", "not a tune");
  test::WriteAll(data + "notes.txt", "x");

  // Rendered aside while the game's synthesiser plays the stage tune for
  // the first time: neither disturbs the other, and each render is the
  // tune as a first hearing sounds.
  std::shared_ptr<const MidiScore> stage = test::LoadedScore("Z07.mid");
  ASSERT_TRUE(stage);
  const uint64_t stageKey = RenderKey(*stage, SynthSignature());
  StartRenderingTunesAside({data}, false);
  std::vector<float> stageHeard;
  {
    MidiSource play(stage, 0, stage->lengthFrames, 0, {0, nullptr});
    stageHeard = PlayWhole(play, 512);
  }
  ASSERT_TRUE(WaitForTunesRenderedAside(std::chrono::minutes(2)));
  EXPECT_EQ(Renders().size(), 2u);
  const std::vector<float> stageRendered = ReadRender(stageKey, stage->lengthFrames);
  ASSERT_EQ(stageRendered.size(), stageHeard.size());
  EXPECT_LE(WorstStep(stageHeard, stageRendered), 0.5 + 1e-3);
  StopSynthesiser();
  StartSynthesiser();
  std::shared_ptr<const MidiScore> menu = test::LoadedScore("Zz.mid");
  ASSERT_TRUE(menu);
  const uint64_t menuKey = RenderKey(*menu, SynthSignature());
  {
    MidiSource play(menu, 0, menu->lengthFrames, 0, {0, nullptr});
    const std::vector<float> menuRendered = ReadRender(menuKey, menu->lengthFrames);
    ASSERT_FALSE(menuRendered.empty());
    EXPECT_LE(WorstStep(PlayWhole(play, 512), menuRendered), 0.5 + 1e-3);
  }

  // Rendered on the spot: tunes with a render are left alone; the broken
  // one fails; a render is the same whatever was rendered before it.
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(RenderTunesOf({data}), 1);
  fs::remove(folder + [&] {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.flac", static_cast<unsigned long long>(stageKey));
    return std::string(name);
  }());
  EXPECT_EQ(RenderTunesOf({data}), 1);
  const std::string said = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(said.find(data + "Zz.mid: rendered before"), std::string::npos) << said;
  EXPECT_NE(said.find(data + "Z07.mid: rendered in"), std::string::npos) << said;
  EXPECT_NE(said.find(data + "broken.MID: not a MIDI file"), std::string::npos) << said;
  EXPECT_EQ(ReadRender(stageKey, stage->lengthFrames), stageRendered);

  // Stopped at once: nothing half-written is left.
  fs::remove_all(folder);
  fs::create_directories(folder);
  StartRenderingTunesAside({data}, false);
  EXPECT_TRUE(StopRenderingTunesAside(std::chrono::seconds(10)));
  WaitForRenderedTunesStored();
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
  EXPECT_EQ(FindRenderedTune(stageKey, stage->lengthFrames), nullptr) << "not reached";

  // A folder nearly full: renders made aside never push one out (with more
  // tunes than it holds, every start would render them all again).
  const std::string full = folder + "00000000000000f0.flac";
  test::WriteAll(full, "");
  fs::resize_file(full, kRenderedTunesLimitBytes - 1000000);
  StartRenderingTunesAside({data}, false);
  ASSERT_TRUE(WaitForTunesRenderedAside(std::chrono::minutes(2)));
  EXPECT_TRUE(fs::exists(full));
  EXPECT_EQ(Renders().size(), 1u);

  // A folder that takes no render: the renderer gives up at the first,
  // reported once.
  test::WriteAll(folder + "file", "x");
  SetRenderedTunesFolder(folder + "file/sub/");
  ::testing::internal::CaptureStderr();
  StartRenderingTunesAside({data}, false);
  ASSERT_TRUE(WaitForTunesRenderedAside(std::chrono::minutes(2)));
  const std::string complaint = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(complaint.find("cannot be written"), std::string::npos);
  EXPECT_EQ(complaint.find("cannot be written"), complaint.rfind("cannot be written")) << complaint;
}

}  // namespace
}  // namespace kelvane
