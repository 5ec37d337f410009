#include "music/music_player.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "app/frame_pacing.h"
#include "app/lifecycle.h"
#include "app/trace.h"
#include "platform/core/text_codec.h"
#include "tests/fake_platform.h"
#include "tests/memory_trace.h"

namespace kelvane {
namespace {

using test::MemoryTrace;

// A scene without a handler, standing for the menus that loop a tune.
constexpr int8_t kNoHandlerScene = 4;

struct MusicTest : ::testing::Test {
  std::string folder = test::MakeTempDir("music_player");
  test::TestGame tg{folder};
  Game& g = tg.g();
  HeadlessMedia& media = tg.fakes.media;
  MemoryTrace mem;
  TraceLog trace{mem.file};
  // Length the fake device reports per file name; missing = cannot open.
  std::map<std::string, uint32_t> lengths;
  int openAttempts = 0;

  void SetUp() override {
    g.trace = &trace;
    g.st.frameInterval = 40;
    g.st.sceneCode = scene::kPlay1;
    g.st.playMode = 2;
    media.measure = [this](const std::string& path) -> std::optional<uint32_t> {
      ++openAttempts;
      auto it = lengths.find(path);
      if (it == lengths.end()) return std::nullopt;
      return it->second;
    };
    At(1000);
  }
  void At(uint32_t tick) { tg.fakes.clock.now = tick; }
  // The two drivers, kept from running a frame step or an idle time-out so
  // that only the music end timer acts.
  void Tick() {
    Quiet();
    Timer1Timer(g);
  }
  void Idle() {
    Quiet();
    bool done = true;
    AppEvIdle(g, done);
  }
  void Quiet() {
    g.st.lastFrameTick = tg.fakes.clock.now;
    g.st.lastInputTick = tg.fakes.clock.now;
  }
  // A stage tune file that exists on disk and that the device measures.
  std::string Tune(int n, uint32_t ms) {
    std::string path = folder + "Z" + (n < 10 ? "0" : "") + std::to_string(n) + ".mid";
    test::WriteAll(path, "MThd");
    lengths[path] = ms;
    return path;
  }
  std::string Caption() { return tg.fakes.window.At(FormId::FM).caption; }
};

// ---- Stepping through a source ----

TEST_F(MusicTest, StepTuneWrapsWithinTheCurrentSource) {
  g.music.bgmSource = source::kStageTunes;
  g.st.tuneCount = 0;
  g.music.tuneNumber() = 1;
  StepTune(g, +1);
  StepTune(g, -1);
  EXPECT_EQ(g.music.tuneNumber(), 1) << "no tunes: nothing moves";

  g.st.tuneCount = 1;
  StepTune(g, +1);
  EXPECT_EQ(g.music.tuneNumber(), 1) << "one tune: nothing moves";

  g.st.tuneCount = 5;
  StepTune(g, -1);
  EXPECT_EQ(g.music.tuneNumber(), 5) << "back from 1 gives the count";
  StepTune(g, +1);
  EXPECT_EQ(g.music.tuneNumber(), 1) << "forward from the count gives 1";
  StepTune(g, +1);
  EXPECT_EQ(g.music.tuneNumber(), 2);

  // The play list keeps its own index and count; the stage tune stays put.
  g.music.bgmSource = source::kPlayList;
  g.music.playListCount = 3;
  g.music.playListIndex() = 3;
  StepTune(g, +1);
  EXPECT_EQ(g.music.playListIndex(), 1);
  EXPECT_EQ(g.music.tuneNumber(), 2);
}

TEST_F(MusicTest, TuneNamesFollowTheSource) {
  g.music.bgmSource = source::kStageTunes;
  g.music.tuneNumber() = 3;
  BuildTuneName(g);
  EXPECT_EQ(g.st.bgmFileName, folder + "Z03.mid");

  g.music.bgmSource = source::kCD;
  g.music.cdTrack() = 7;
  BuildTuneName(g);
  EXPECT_EQ(g.st.bgmFileName, "CD track7");

  g.music.bgmSource = source::kPlayList;
  g.music.playList[2] = "/music/song.mp3";
  g.music.playListIndex() = 2;
  BuildTuneName(g);
  EXPECT_EQ(g.st.bgmFileName, "/music/song.mp3");

  // An index past the table names nothing instead of reading beyond it.
  g.music.playListIndex() = 40;
  BuildTuneName(g);
  EXPECT_EQ(g.st.bgmFileName, "");

  g.st.bgmFileName = "kept";
  g.music.bgmSource = 5;
  BuildTuneName(g);
  EXPECT_EQ(g.st.bgmFileName, "kept");
}

// ---- Timing a stage ----

TEST_F(MusicTest, MissingFirstTuneGivesAMinuteOfSilence) {
  g.st.tuneCount = 0;
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_EQ(openAttempts, 0) << "a missing file is never handed to the device";
  EXPECT_FALSE(media.isOpen);
  EXPECT_EQ(g.st.bgmFileName, "");
  EXPECT_EQ(g.st.bgmLength, 60000);
  EXPECT_EQ(g.st.bgmStartTick, 1000u);
  EXPECT_EQ(g.st.bgmEndTick, 61000u);
  EXPECT_EQ(g.st.bgmLoop, 0);
}

TEST_F(MusicTest, StageTuneIsOpenedPlayedAndTimed) {
  std::string z2 = Tune(2, 123456);
  g.music.tuneNumber() = 2;
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_TRUE(media.isOpen);
  EXPECT_TRUE(media.playing);
  EXPECT_EQ(media.file, z2);
  EXPECT_EQ(g.st.bgmLength, 123456);
  EXPECT_EQ(g.st.bgmEndTick, 1000u + 123456u);
}

TEST_F(MusicTest, EndTimerFiresOnceAndEndsTheStage) {
  Tune(1, 5000);
  BuildTuneName(g);
  PlayCurrent(g);
  At(5999);
  Tick();
  EXPECT_EQ(mem.Count("\"op\":\"end\""), 0);
  EXPECT_EQ(g.st.sceneCode, scene::kPlay1);

  At(6000);
  Idle();
  Tick();
  At(20000);
  Tick();
  Idle();
  EXPECT_EQ(mem.Count("\"op\":\"end\""), 1);
  EXPECT_EQ(g.st.bgmLength, 0);
  EXPECT_NE(g.st.sceneCode, scene::kPlay1) << "the play scene was left";
  EXPECT_EQ(openAttempts, 1) << "an ended tune is not reopened";
}

TEST_F(MusicTest, ContinuousPlayGoesOnToTheNextTuneAndWraps) {
  std::string z1 = Tune(1, 4000);
  std::string z2 = Tune(2, 7000);
  g.st.tuneCount = 2;
  g.st.playMode = 6;
  g.st.sceneCode = scene::kDemoPlay;
  g.music.tuneNumber() = 2;
  BuildTuneName(g);
  PlayCurrent(g);

  At(1000 + 7000);
  Tick();
  EXPECT_EQ(g.st.sceneCode, scene::kDemoPlay) << "continuous play does not end the stage";
  EXPECT_EQ(g.music.tuneNumber(), 1);
  EXPECT_EQ(media.file, z1);
  EXPECT_TRUE(media.playing);
  EXPECT_EQ(g.st.bgmLength, 4000);
  EXPECT_EQ(g.st.bgmEndTick, 8000u + 4000u);
}

TEST_F(MusicTest, LoopedTuneReopensAndRearmsEachTime) {
  std::string zz = folder + "Zz.mid";
  test::WriteAll(zz, "MThd");
  lengths[zz] = 30000;
  g.st.sceneCode = kNoHandlerScene;
  PlayLooped(g, zz);
  EXPECT_EQ(g.st.bgmLoop, 1);
  EXPECT_EQ(g.st.bgmEndTick, 31000u);

  for (uint32_t round = 1; round <= 3; ++round) {
    uint32_t end = 1000 + 30000 * round;
    At(end);
    Tick();
    EXPECT_EQ(openAttempts, 1 + static_cast<int>(round)) << "restarted by reopening the file";
    EXPECT_EQ(g.st.bgmStartTick, end);
    EXPECT_EQ(g.st.bgmEndTick, end + 30000);
    EXPECT_EQ(g.st.bgmLength, 30000);
    EXPECT_EQ(g.st.bgmLoop, 1);
    EXPECT_TRUE(media.playing);
  }
  EXPECT_EQ(mem.Count("\"op\":\"close\""), 3) << "each restart closes the old one first";
  EXPECT_EQ(g.st.sceneCode, kNoHandlerScene);
}

TEST_F(MusicTest, StopMusicClosesAndDisarms) {
  Tune(1, 9000);
  BuildTuneName(g);
  PlayCurrent(g);
  StopMusic(g);
  EXPECT_FALSE(media.isOpen);
  EXPECT_EQ(g.st.bgmLength, 0);
  EXPECT_EQ(g.st.bgmLoop, 0);
  StopMusic(g);  // on a closed device: nothing to do
  EXPECT_EQ(mem.Count("\"op\":\"close\""), 1);

  PlayCurrent(g);
  FormDestroy(g);
  EXPECT_FALSE(media.isOpen) << "the game stops its music when it closes";
}

// ---- Tunes the device cannot use ----

TEST_F(MusicTest, UnplayableTuneFallsBackToSilenceWithoutAMessage) {
  std::string bad = folder + "Z01.mid";
  test::WriteAll(bad, "not a tune");  // exists, but the device refuses it
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_EQ(openAttempts, 1);
  EXPECT_FALSE(media.isOpen);
  EXPECT_EQ(g.st.bgmFileName, "");
  EXPECT_EQ(g.st.bgmLength, 60000);
  EXPECT_TRUE(tg.fakes.app.messages.empty());

  At(61000);
  Tick();
  EXPECT_NE(g.st.sceneCode, scene::kPlay1) << "the silent stage still ends";
}

TEST_F(MusicTest, AbsurdLengthsAreNotTrusted) {
  Tune(1, 0);
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_EQ(g.st.bgmLength, 60000) << "a zero length would never end the stage";
  EXPECT_FALSE(media.isOpen);

  Tune(1, 0xFFFFFFF0u);
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_EQ(g.st.bgmLength, 3600000) << "capped at an hour";
  EXPECT_TRUE(media.playing);

  Tune(1, 3600001);
  PlayCurrent(g);
  EXPECT_EQ(g.st.bgmLength, 3600000);
  Tune(1, 3600000);
  PlayCurrent(g);
  EXPECT_EQ(g.st.bgmLength, 3600000);
}

TEST_F(MusicTest, MissingMenuTuneLoopsAMinuteOfSilence) {
  g.st.sceneCode = kNoHandlerScene;
  PlayLooped(g, folder + "Zz.mid");
  EXPECT_FALSE(media.isOpen);
  EXPECT_EQ(g.st.bgmLength, 60000);
  EXPECT_EQ(g.st.bgmLoop, 1);
  EXPECT_TRUE(tg.fakes.app.messages.empty());

  At(61000);
  Tick();
  EXPECT_EQ(g.st.sceneCode, kNoHandlerScene) << "a menu loop never ends a stage";
  EXPECT_EQ(g.st.bgmLength, 60000);
  EXPECT_EQ(g.st.bgmEndTick, 121000u);
  EXPECT_EQ(g.st.bgmLoop, 1);
}

TEST_F(MusicTest, NextTuneMissingStopsThePreviousOne) {
  Tune(1, 9000);
  g.st.tuneCount = 2;  // Z02.mid vanished after the count
  BuildTuneName(g);
  PlayCurrent(g);
  ASSERT_TRUE(media.playing);
  StepTune(g, +1);
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_FALSE(media.isOpen);
  EXPECT_EQ(g.st.bgmLength, 60000);
}

// ---- The music menu's preview ----

TEST_F(MusicTest, PreviewNamesTheTuneInTheCaptionAndIsNotTimed) {
  Tune(3, 185000);
  g.st.sceneCode = scene::kMusicMenu;
  g.music.tuneNumber() = 3;
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_TRUE(media.playing);
  EXPECT_EQ(g.st.bgmLength, 0) << "a preview never ends a stage";
  EXPECT_EQ(Caption(), Utf8ToSjis("♪[ Z03.mid ]  3min.05sec."));
  EXPECT_EQ(Caption().substr(0, 2), "\x81\xF4") << "the note sign in Shift-JIS";

  At(1000 + 185000);
  Tick();
  EXPECT_EQ(g.st.sceneCode, scene::kMusicMenu);

  StopMusic(g);
  EXPECT_EQ(Caption(), "Kelvane");
  EXPECT_FALSE(media.isOpen);
}

TEST_F(MusicTest, PreviewOfAMissingTuneShowsTheSilence) {
  g.st.sceneCode = scene::kMusicMenu;
  g.music.tuneNumber() = 9;
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_EQ(Caption(), Utf8ToSjis("♪[  ]  1min.00sec."));
  EXPECT_EQ(g.st.bgmLength, 0);
}

TEST_F(MusicTest, CaptionFormatsMinutesAndSeconds) {
  EXPECT_EQ(MusicCaption("a.mid", 59999), Utf8ToSjis("♪[ a.mid ]  0min.59sec."));
  EXPECT_EQ(MusicCaption("a.mid", 600000), Utf8ToSjis("♪[ a.mid ]  10min.00sec."));
  EXPECT_EQ(MusicCaption("CD track12", 61500), Utf8ToSjis("♪[ CD track12 ]  1min.01sec."));
}

TEST_F(MusicTest, PreviewCaptionShowsOnlyTheFileName) {
  std::string sub = folder + "sub/";
  test::RunCommand("mkdir -p '" + sub + "'");
  std::string song = sub + "song.wav";
  test::WriteAll(song, "RIFF");
  lengths[song] = 2000;
  g.st.sceneCode = scene::kMusicMenu;
  g.music.bgmSource = source::kPlayList;
  g.music.playList[1] = song;
  g.music.playListIndex() = 1;
  g.music.playListCount = 1;
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_EQ(Caption(), Utf8ToSjis("♪[ song.wav ]  0min.02sec."));
}

// ---- CD audio ----

// A drive with a disc of a chosen number of tracks, each a minute long,
// back to back.
class DiscMedia : public HeadlessMedia {
 public:
  int OpenCD(const std::string& drive) override {
    ++cdOpens;
    if (drive != "E:") return lastError = 275;
    isOpen = true;
    playing = false;
    return lastError = 0;
  }
  int TrackCount(int& n) override {
    if (!isOpen) return lastError = kNotOpen;
    n = tracks;
    return lastError = 0;
  }
  int TrackStart(int track, uint32_t& ms) override {
    if (!isOpen) return lastError = kNotOpen;
    ms = static_cast<uint32_t>(track - 1) * 60000u;
    return lastError = 0;
  }
  int TrackLength(int, uint32_t& ms) override {
    if (!isOpen) return lastError = kNotOpen;
    ms = 60000;
    return lastError = 0;
  }
  int Play(std::optional<uint32_t> from, std::optional<uint32_t> to) override {
    playFrom = from;
    playTo = to;
    return HeadlessMedia::Play(from, to);
  }
  int tracks = 5;
  int cdOpens = 0;
  std::optional<uint32_t> playFrom, playTo;
};

struct CdTest : MusicTest {
  DiscMedia disc;
  void SetUp() override {
    MusicTest::SetUp();
    g.pf.media = &disc;
    g.music.bgmSource = source::kCD;
    g.st.cdDriveName = "E:";
  }
};

TEST_F(CdTest, TrackBeyondTheDiscIsLoweredToItsTrackCount) {
  g.music.cdTrack() = 9;
  OpenCD(g);
  EXPECT_EQ(g.music.cdTrack(), 5);
  EXPECT_EQ(g.music.cdTrackCount, 5);

  g.music.cdTrack() = 0;
  OpenCD(g);
  EXPECT_EQ(g.music.cdTrack(), 1) << "an unusable track number starts at 1";
}

TEST_F(CdTest, TrackPlaysItsOwnRangeAndIsTimed) {
  g.music.cdTrack() = 3;
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_EQ(g.st.bgmFileName, "CD track3");
  ASSERT_TRUE(disc.playFrom && disc.playTo);
  EXPECT_EQ(*disc.playFrom, 120000u);
  EXPECT_EQ(*disc.playTo, 180000u);
  EXPECT_EQ(g.st.bgmLength, 60000);
  EXPECT_TRUE(disc.playing);
}

TEST_F(CdTest, UnusableDiscLeavesNoTrackAndASilentMinute) {
  for (int tracks : {0, 100}) {
    disc.tracks = tracks;
    g.music.cdTrack() = 2;
    g.music.previewState = 3;
    OpenCD(g);
    EXPECT_EQ(g.music.cdTrack(), 0) << tracks;
    EXPECT_EQ(g.music.cdTrackCount, 0) << tracks;
    EXPECT_EQ(g.music.previewState, 0) << tracks;
  }
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_FALSE(disc.isOpen) << "the device left open by the probe is closed";
  EXPECT_EQ(g.st.bgmFileName, "");
  EXPECT_EQ(g.st.bgmLength, 60000);
}

TEST_F(CdTest, FailedOpenOfTheDriveLeavesNoTrack) {
  g.pf.media = &media;  // the plain fake has no CD drive
  g.music.cdTrack() = 4;
  g.music.cdTrackCount = 4;
  g.music.previewState = 1;
  BuildTuneName(g);
  PlayCurrent(g);
  EXPECT_EQ(g.music.cdTrack(), 0);
  EXPECT_EQ(g.music.cdTrackCount, 0);
  EXPECT_EQ(g.music.previewState, 0);
  EXPECT_EQ(g.st.bgmLength, 60000);
  EXPECT_EQ(g.st.bgmFileName, "");
  EXPECT_TRUE(tg.fakes.app.messages.empty());

  g.pf.media = &disc;
  g.st.cdDriveName = "";  // no drive chosen
  g.music.cdTrack() = 2;
  OpenCD(g);
  EXPECT_EQ(g.music.cdTrack(), 0);
  EXPECT_EQ(disc.cdOpens, 0);
}

TEST_F(CdTest, MenuProbesTheDriveEveryThirdAnimationCycle) {
  g.st.sceneCode = scene::kMusicMenu;
  g.music.cdPollCount = 0;
  for (int cycle = 0; cycle < 2; ++cycle) {
    for (int idle = 0; idle < 16; ++idle) PollCD(g, idle);
  }
  EXPECT_EQ(disc.cdOpens, 0);
  PollCD(g, 0);
  EXPECT_EQ(disc.cdOpens, 1);
  EXPECT_EQ(g.music.cdPollCount, 0);
  EXPECT_EQ(g.music.cdTrackCount, 5) << "a disc put in while the menu waits is found";

  // Another source never touches the drive.
  g.music.bgmSource = source::kStageTunes;
  for (int i = 0; i < 10; ++i) PollCD(g, 0);
  EXPECT_EQ(disc.cdOpens, 1);
}

TEST_F(CdTest, MenuProbeLeavesAPlayingTrackAlone) {
  g.st.sceneCode = scene::kMusicMenu;
  g.music.cdTrack() = 2;
  BuildTuneName(g);
  PlayCurrent(g);
  int opens = disc.cdOpens;
  for (int i = 0; i < 10; ++i) PollCD(g, 0);
  EXPECT_EQ(disc.cdOpens, opens);
  EXPECT_TRUE(disc.playing);
}

}  // namespace
}  // namespace kelvane
