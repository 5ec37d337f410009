// CUE/BIN images as players hand them over: the files the sheet names, tracks
// kept inside their files, faulty sheets refused with the reason, short files
// losing only what they lack, and nothing that can block the game.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/cd/cd_disc.h"
#include "platform/cd/cd_drives.h"
#include "platform/headless/headless_host.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

constexpr uint32_t kLengths[3] = {150, 225, 113};  // sectors: 2 s, 3 s, 1.5 s

// Sectors whose every sample is the track number times 1000, so a read
// shows which track it came from.
std::string Sectors(uint32_t count, int track, bool bigEndian = false) {
  const auto v = static_cast<uint16_t>(track * 1000);
  const char lo = static_cast<char>(v & 0xFF), hi = static_cast<char>(v >> 8);
  std::string out;
  for (uint32_t i = 0; i < count * kCdSectorSamples; ++i) {
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

// A sheet of three audio tracks in one BIN file.
std::string Sheet(const std::string& bin) {
  std::string cue = "FILE \"" + bin + "\" BINARY\n";
  uint32_t at = 0;
  for (int t = 0; t < 3; ++t) {
    cue += "  TRACK 0" + std::to_string(t + 1) + " AUDIO\n    INDEX 01 " + test::CueTime(at) + "\n";
    at += kLengths[t];
  }
  return cue;
}

std::string Bin() {
  return Sectors(kLengths[0], 1) + Sectors(kLengths[1], 2) + Sectors(kLengths[2], 3);
}

// Reads a track the way the CD source does, fifteen sectors at a time;
// returns the samples that are not the track's own value.
size_t Foreign(CdDisc& disc, int n) {
  const CdTrack t = *disc.Track(n);
  std::optional<CdRange> range = disc.AudioRange(t.startMs, t.startMs + t.lengthMs);
  EXPECT_TRUE(range);
  if (!range) return SIZE_MAX;
  std::vector<int16_t> buffer(15 * kCdSectorSamples);
  size_t foreign = 0;
  for (int32_t at = range->first; at < range->end;) {
    const auto count = static_cast<uint32_t>(std::min<int32_t>(15, range->end - at));
    EXPECT_TRUE(disc.ReadAudio(at, std::span(buffer).first(count * kCdSectorSamples)));
    for (size_t i = 0; i < count * kCdSectorSamples; ++i) foreign += buffer[i] != n * 1000;
    at += static_cast<int32_t>(count);
  }
  return foreign;
}

TEST(CdImage, TheSheetsFilesAreReadAndEveryTrackLiesInsideThem) {
  const std::string dir = test::MakeTempDir("cd-files");
  // The BIN is named by the sheet, not after it.
  test::WriteAll(dir + "music.bin", Bin());
  test::WriteAll(dir + "game.cue", Sheet("music.bin"));
  std::string why;
  std::shared_ptr<CdDisc> disc = CdDisc::Open(dir + "game.cue", why);
  ASSERT_TRUE(disc) << why;
  ASSERT_EQ(disc->TrackCount(), 3);
  uint32_t start = 0;
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(disc->Track(n)->startMs, start * 1000 / 75);
    EXPECT_EQ(disc->Track(n)->lengthMs, kLengths[n - 1] * 1000 / 75);
    EXPECT_EQ(Foreign(*disc, n), 0u) << "track " << n;
    start += kLengths[n - 1];
  }
  // A read never goes past the disc or past its buffer's whole sectors.
  std::vector<int16_t> buffer(15 * kCdSectorSamples + 7, 77);
  EXPECT_FALSE(disc->ReadAudio(-1, buffer));
  EXPECT_FALSE(disc->ReadAudio(static_cast<int32_t>(start) - 14, buffer));
  EXPECT_FALSE(disc->ReadAudio(0, std::span(buffer).first(kCdSectorSamples - 1)));
  ASSERT_TRUE(disc->ReadAudio(static_cast<int32_t>(start) - 15, buffer));
  EXPECT_EQ(buffer[15 * kCdSectorSamples - 1], 3000);
  EXPECT_EQ(buffer[15 * kCdSectorSamples], 77) << "written past the whole sectors";

  // Two files, the second high byte first, in a sheet written on another
  // system (BOM, CRLF, lower case, remarks, gaps, an index 00).
  test::WriteAll(dir + "one.bin", Sectors(kLengths[0], 1) + Sectors(kLengths[1], 2));
  test::WriteAll(dir + "two.bin", Sectors(10, 0, true) + Sectors(kLengths[2], 3, true));
  test::WriteAll(dir + "two files.cue",
                 "\xEF\xBB\xBFREM made elsewhere\r\nTITLE \"x\"\r\nfile \"one.bin\" binary\r\n"
                 "  track 01 audio\r\n    index 01 00:00:00\r\n  TRACK 02 AUDIO\r\n"
                 "    PREGAP 00:02:00\r\n    INDEX 01 00:02:00\r\nFILE \"two.bin\" MOTOROLA\r\n"
                 "  TRACK 03 AUDIO\r\n    INDEX 00 00:00:00\r\n    INDEX 01 00:00:10\r\n");
  disc = CdDisc::Open(dir + "two files.cue", why);
  ASSERT_TRUE(disc) << why;
  ASSERT_EQ(disc->TrackCount(), 3);
  EXPECT_EQ(disc->Track(3)->startMs, (150 + 225 + 10) * 1000 / 75);
  EXPECT_EQ(disc->Track(3)->lengthMs, kLengths[2] * 1000 / 75);
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(Foreign(*disc, n), 0u) << "track " << n;
}

TEST(CdImage, FaultySheetsAreRefusedWithTheReason) {
  const std::string dir = test::MakeTempDir("cd-faults");
  test::WriteAll(dir + "disc.bin", Bin());
  const std::string head = "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n";
  const struct {
    std::string sheet;
    std::string reason;
  } cases[] = {
      // The sheet's own file is missing although one named after the sheet exists.
      {"FILE \"gone.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n", "gone.bin: No such file"},
      {head + "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n  TRACK 03 AUDIO\n    INDEX 01 00:05:00\n",
       "line 4: TRACK 02 has no INDEX 01"},
      {head + "    INDEX 00 00:00:00\n", "TRACK 01 has no INDEX 01"},
      // Minutes that would wrap the sector count, and a start past the file.
      {head + "    INDEX 01 888888885616:00:00\n", "line 3: INDEX time 888888885616:00:00 is not"},
      {head + "    INDEX 01 00:00:75\n", "is not a time"},
      {head + "    INDEX 01 99:00:00\n", "disc.bin ends before track 1"},
      {head + "    INDEX 01 00:01:00\n  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n", "has no length"},
      {head + "    INDEX 01 00:01:00\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n", "lies before"},
      {head + "    INDEX 01 00:00:00\n  TRACK 03 AUDIO\n    INDEX 01 00:01:00\n", "one after the other"},
      {"TRACK 01 AUDIO\n  INDEX 01 00:00:00\n", "TRACK before any FILE"},
      {"FILE \"disc.bin\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", "file type WAVE"},
      {"FILE \"disc.bin\" BINARY\n  TRACK 01 AU", "unknown track type AU"},
      {head + "    INDEX 01 00:00:00\nPLAY LOUD\n", "unknown command PLAY"},
      {"FILE \"disc.bin\n", "quote is not closed"},
      {std::string("\x01\xff\x00garbage", 10), "binary"},
      {"REM nothing\n", "no TRACK"},
  };
  for (const auto& c : cases) {
    test::WriteAll(dir + "s.cue", c.sheet);
    std::string why, damage;
    EXPECT_FALSE(CdDisc::OpenImage(dir + "s.cue", why, damage)) << c.sheet;
    EXPECT_NE(why.find(c.reason), std::string::npos) << why << "\n" << c.sheet;
  }
  // The reason reaches stderr in one line.
  test::WriteAll(dir + "noindex.cue", head);
  testing::internal::CaptureStderr();
  std::string why;
  EXPECT_FALSE(CdDisc::Open(dir + "noindex.cue", why));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "kelvane: CD image " + dir + "noindex.cue: line 2: TRACK 01 has no INDEX 01\n");
}

TEST(CdImage, AFileCutInsideTrackTwoKeepsTheWholeTracksAndSaysSoOnce) {
  const std::string dir = test::MakeTempDir("cd-cut");
  test::WriteAll(dir + "disc.cue", Sheet("disc.bin"));
  // 100 of track 2's 225 sectors are left: it plays shortened, track 3 is gone.
  test::WriteAll(dir + "disc.bin", Bin().substr(0, (150 + 100) * kCdSectorBytes + 1000));
  testing::internal::CaptureStderr();
  std::string why;
  std::shared_ptr<CdDisc> disc = CdDisc::Open(dir + "disc.cue", why);
  CdDisc::Open(dir + "disc.cue", why);  // the music menu probes again
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "kelvane: CD image " + dir +
                "disc.cue: disc.bin ends inside track 2; track 2 cut short; track 3 left out\n");
  ASSERT_TRUE(disc) << why;
  ASSERT_EQ(disc->TrackCount(), 2);
  EXPECT_EQ(disc->Track(1)->lengthMs, 2000u);
  EXPECT_EQ(disc->Track(2)->lengthMs, 100u * 1000 / 75);
  EXPECT_EQ(Foreign(*disc, 1), 0u);
  EXPECT_EQ(Foreign(*disc, 2), 0u);

  // Less than a second of track 2 is not worth a track.
  test::WriteAll(dir + "disc.bin", Bin().substr(0, (150 + 30) * kCdSectorBytes));
  std::string damage;
  disc = CdDisc::OpenImage(dir + "disc.cue", why, damage);
  ASSERT_TRUE(disc) << why;
  EXPECT_EQ(disc->TrackCount(), 1);
  EXPECT_EQ(damage, "disc.bin ends inside track 2; tracks 2 and 3 left out");
}

// Any reader left waiting on the FIFO, seen from its other end.
struct FifoWatch {
  explicit FifoWatch(std::vector<std::string> paths)
      : thread([this, paths] {
          while (!stop) {
            for (const std::string& p : paths) {
              int fd = open(p.c_str(), O_WRONLY | O_NONBLOCK);
              if (fd >= 0) {  // only succeeds while someone reads: release them
                blocked = true;
                close(fd);
              }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
        }) {}
  ~FifoWatch() {
    stop = true;
    thread.join();
  }
  std::atomic<bool> stop{false}, blocked{false};
  std::thread thread;
};

TEST(CdImage, WhatIsNotARegularFileIsRefusedWithoutOpeningIt) {
  const std::string dir = test::MakeTempDir("cd-fifo");
  ASSERT_EQ(mkfifo((dir + "fifo.bin").c_str(), 0644), 0);
  ASSERT_EQ(mkfifo((dir + "fifo.cue").c_str(), 0644), 0);
  std::filesystem::create_directory(dir + "folder.bin");
  test::WriteAll(dir + "a.cue", Sheet("fifo.bin"));
  test::WriteAll(dir + "b.cue", Sheet("folder.bin"));
  FifoWatch watch({dir + "fifo.bin", dir + "fifo.cue"});
  for (const char* name : {"a.cue", "b.cue", "fifo.cue", "fifo.bin"}) {
    std::string why;
    EXPECT_FALSE(CdDisc::Open(dir + name, why)) << name;
    EXPECT_FALSE(why.empty());
  }
  std::string why, damage;
  CdDisc::OpenImage(dir + "a.cue", why, damage);
  EXPECT_EQ(why, "fifo.bin: not a regular file");
  EXPECT_FALSE(watch.blocked) << "a reader waited on the FIFO";
}

// Headless, --cd-image offers the image as the drive the startup dialog
// would: chosen when the settings name no other, its tracks read once; a
// sheet that cannot be used is said at start, and its drive stays empty.
TEST(CdImage, HeadlessRunsOfferImagesAsDrives) {
  const std::string dir = test::MakeDataCopy("cd-headless");
  test::WriteAll(dir + "music.bin", Bin());
  test::WriteAll(dir + "game.cue", Sheet("music.bin"));
  test::WriteAll(dir + "data.cue", "FILE \"music.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
                                   "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
                                   "    INDEX 01 00:02:00\n");
  const std::vector<HeadlessDisc> discs =
      ReadHeadlessDiscs({dir + "game.cue", dir + "missing.cue", dir + "data.cue"});
  ASSERT_EQ(discs.size(), 3u);
  EXPECT_EQ(discs[0].label, "D:");
  EXPECT_TRUE(discs[1].tracks.empty());
  HeadlessMedia m;
  m.discs = discs;
  int tracks = 0;
  uint32_t ms = 0;
  ASSERT_EQ(m.OpenCD("D:"), 0);
  ASSERT_EQ(m.TrackCount(tracks), 0);
  EXPECT_EQ(tracks, 3);
  ASSERT_EQ(m.TrackStart(2, ms), 0);
  EXPECT_EQ(ms, kLengths[0] * 1000 / 75);
  ASSERT_EQ(m.TrackLength(3, ms), 0);
  EXPECT_EQ(ms, kLengths[2] * 1000 / 75);
  EXPECT_NE(m.TrackLength(4, ms), 0);
  EXPECT_EQ(m.Close(), 0);
  EXPECT_NE(m.OpenCD("E:"), 0);  // the missing sheet: an empty drive
  EXPECT_NE(m.OpenCD("Z:"), 0);
  ASSERT_EQ(m.OpenCD("F:"), 0);
  EXPECT_NE(m.TrackLength(1, ms), 0);  // a data track is not played
  EXPECT_EQ(m.TrackLength(2, ms), 0);

  // The whole program: the image is the chosen drive; the missing sheet is
  // named on stderr at start.
  auto run = [&](const std::string& cue) {
    return test::RunCommand(test::GameDir() + "kelvane --headless --data " + dir +
                            " --run-ms 500 --cd-image " + cue + " > " + dir + "out.txt 2>&1");
  };
  ASSERT_EQ(run(dir + "game.cue"), 0) << test::ReadAll(dir + "out.txt");
  EXPECT_EQ(test::ReadAll(dir + "out.txt").find("CD image"), std::string::npos);
  EXPECT_NE(test::ReadAll(dir + "Kelvane.ini").find("drive=D:"), std::string::npos);
  ASSERT_EQ(run(dir + "missing.cue"), 0);
  EXPECT_NE(test::ReadAll(dir + "out.txt").find("CD image " + dir + "missing.cue: "),
            std::string::npos)
      << test::ReadAll(dir + "out.txt");
}

}  // namespace
}  // namespace kelvane
