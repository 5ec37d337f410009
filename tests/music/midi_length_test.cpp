#include "music/midi_length.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "music/audio_length.h"
#include "music/midi_events.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

std::string Be(uint32_t v, int bytes) {
  std::string s;
  for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string Le(uint32_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string VarLen(uint32_t v) {
  std::string s(1, static_cast<char>(v & 0x7F));
  while (v >>= 7) s.insert(s.begin(), static_cast<char>(0x80 | (v & 0x7F)));
  return s;
}

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s += static_cast<char>(b);
  return s;
}

std::string Header(uint16_t tracks, uint16_t division, uint16_t format = 1) {
  return "MThd" + Be(6, 4) + Be(format, 2) + Be(tracks, 2) + Be(division, 2);
}

std::string Track(const std::string& events) {
  return "MTrk" + Be(static_cast<uint32_t>(events.size()), 4) + events;
}

std::string Tempo(uint32_t delta, uint32_t usPerQuarter) {
  return VarLen(delta) + Bytes({0xFF, 0x51, 0x03}) + Be(usPerQuarter, 3);
}
std::string NoteOn(uint32_t delta, int key = 60) {
  return VarLen(delta) + Bytes({0x90, key, 100});
}
std::string NoteOff(uint32_t delta, int key = 60) {
  return VarLen(delta) + Bytes({0x80, key, 0});
}
std::string EndOfTrack(uint32_t delta = 0) {
  return VarLen(delta) + Bytes({0xFF, 0x2F, 0x00});
}

TEST(MidiLength, DefaultsTo120BeatsAMinuteUntilTheFirstTempo) {
  std::string song = Header(1, 480, 0) + Track(NoteOn(0) + NoteOff(960) + EndOfTrack());
  EXPECT_EQ(MidiLengthMs(song), 1000u);
  // A tempo change half-way: 480 ticks at 120, 480 ticks at 60.
  song = Header(1, 480, 0) + Track(NoteOn(0) + Tempo(480, 1000000) + NoteOff(480) + EndOfTrack());
  EXPECT_EQ(MidiLengthMs(song), 500u + 1000u);
}

TEST(MidiLength, TempoMapOfTheConductorTrackTimesTheOtherTracks) {
  std::string conductor = Tempo(0, 1000000) + Tempo(480, 250000) + EndOfTrack();
  std::string melody = NoteOn(0) + NoteOff(960) + EndOfTrack();
  std::string song = Header(2, 480) + Track(conductor) + Track(melody);
  EXPECT_EQ(MidiLengthMs(song), 1000u + 250u);
  // The same with the tempo events on the last track instead of the first.
  EXPECT_EQ(MidiLengthMs(Header(2, 480) + Track(melody) + Track(conductor)), 1250u);
}

TEST(MidiLength, LongestTrackCountsAndLateTempoChangesDoNot) {
  std::string shortTrack = NoteOn(0) + NoteOff(480) + Tempo(0, 2000000) + EndOfTrack();
  std::string longTrack = NoteOn(0) + NoteOff(1920) + EndOfTrack(480);
  // 480 ticks at 120 bpm, then 1920 at 30 bpm: the tempo change on the short
  // track still rules the long one.
  EXPECT_EQ(MidiLengthMs(Header(2, 480) + Track(shortTrack) + Track(longTrack)), 500u + 8000u);
  // The last event is itself a tempo change: its time counts, its new tempo
  // stretches nothing.
  std::string song = Header(1, 96, 0) + Track(NoteOn(0) + NoteOff(96) + Tempo(960, 100));
  EXPECT_EQ(MidiLengthMs(song), 500u + 5000u);
}

TEST(MidiLength, RunningStatusSysexAndMetaEventsAreWalkedThrough) {
  std::string text(200, 'x');                                            // needs a two-byte length
  std::string events = NoteOn(0, 60) + VarLen(120) + Bytes({62, 100}) +  // running note on
                       VarLen(0) + Bytes({0xFF, 0x01}) + VarLen(200) + text +  // text event
                       VarLen(120) + Bytes({64, 100}) +  // running status survives the meta event
                       VarLen(0) + Bytes({0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}) +  // GM reset
                       VarLen(120) + Bytes({0xC0, 5}) +  // one data byte
                       VarLen(0) + Bytes({0xD0, 40}) + VarLen(120) + Bytes({0xE0, 0, 64}) +
                       VarLen(0) + Bytes({0xF7, 0x02, 0x01, 0x02}) +  // escaped bytes
                       VarLen(120) + Bytes({0x80, 60, 0}) + EndOfTrack();
  EXPECT_EQ(MidiLengthMs(Header(1, 120, 0) + Track(events)), 2500u);  // 5 quarters
}

TEST(MidiLength, DamagedTracksAreMeasuredAsFarAsTheyGo) {
  std::string good = NoteOn(0) + NoteOff(480) + NoteOn(480) + NoteOff(480);
  std::string song = Header(1, 480, 0) + Track(good + EndOfTrack());
  // The file ends in the middle of the last note off.
  std::string cut = song.substr(0, song.size() - 5);
  EXPECT_EQ(MidiLengthMs(cut), 1000u);
  // A chunk length beyond the end of the file.
  std::string overlong = Header(1, 480, 0) + "MTrk" + Be(10000, 4) + good;
  EXPECT_EQ(MidiLengthMs(overlong), 1500u);
  // A data byte with no status to run on stops the track at once.
  EXPECT_EQ(
      MidiLengthMs(Header(1, 480, 0) + Track(VarLen(480) + Bytes({60, 100}) + EndOfTrack(480))),
      0u);
  // A real-time byte in the middle stops the track there.
  std::string stray = NoteOn(0) + NoteOff(480) + VarLen(480) + Bytes({0xF8}) + NoteOn(480);
  EXPECT_EQ(MidiLengthMs(Header(1, 480, 0) + Track(stray)), 500u);
  // Events after the end of the track are not played.
  std::string after = NoteOn(0) + EndOfTrack(480) + NoteOff(4800);
  EXPECT_EQ(MidiLengthMs(Header(1, 480, 0) + Track(after)), 500u);
}

TEST(MidiLength, HeaderTrackCountIsNotTrustedAndOtherChunksAreSkipped) {
  std::string a = NoteOn(0) + NoteOff(480) + EndOfTrack();
  std::string b = NoteOn(0) + NoteOff(1440) + EndOfTrack();
  std::string alien = "XFIH" + Be(3, 4) + "abc";
  EXPECT_EQ(MidiLengthMs(Header(1, 480) + Track(a) + alien + Track(b)), 1500u);
  EXPECT_EQ(MidiLengthMs(Header(5, 480) + Track(a)), 500u);
  // A longer header than six bytes is skipped by its length.
  std::string longHeader = "MThd" + Be(8, 4) + Be(1, 2) + Be(1, 2) + Be(480, 2) + "zz";
  EXPECT_EQ(MidiLengthMs(longHeader + Track(b)), 1500u);
  // Only a header: a real but empty tune.
  EXPECT_EQ(MidiLengthMs(Header(0, 480)), 0u);
}

// A tune started from the middle is sought by ticks: the tick for a time
// is the inverse of the same tempo map, ending at the last event.
TEST(MidiLength, TickAtATimeFollowsTheTempoMap) {
  std::string song = Header(1, 480, 0) + Track(NoteOn(0) + Tempo(480, 1000000) + NoteOff(480) + EndOfTrack());
  for (auto [ms, tick] : {std::pair{0u, 0u}, {250u, 240u}, {500u, 480u}, {1000u, 720u}, {1500u, 960u},
                          {60000u, 960u}})
    EXPECT_EQ(MidiTickAtMs(song, ms), tick) << ms << " ms";
  // A stopped clock (tempo 0) is never passed.
  std::string stuck = Header(1, 480, 0) + Track(NoteOn(0) + Tempo(480, 0) + NoteOff(480) + EndOfTrack());
  EXPECT_EQ(MidiTickAtMs(stuck, 499), 479u);
  EXPECT_EQ(MidiTickAtMs(stuck, 501), 960u);
  uint16_t div25 = static_cast<uint16_t>((0x100 - 25) << 8 | 40);
  std::string smpte = Header(1, div25, 0) + Track(Tempo(0, 2000000) + NoteOn(0) + NoteOff(2500));
  EXPECT_EQ(MidiTickAtMs(smpte, 1234), 1234u);
  EXPECT_EQ(MidiTickAtMs("RIFF", 10), std::nullopt);
}

TEST(MidiLength, SmpteDivisionIgnoresTempo) {
  // 25 frames a second, 40 ticks a frame: one tick is one millisecond.
  uint16_t div25 = static_cast<uint16_t>((0x100 - 25) << 8 | 40);
  std::string events = Tempo(0, 2000000) + NoteOn(0) + NoteOff(2500) + EndOfTrack();
  EXPECT_EQ(MidiLengthMs(Header(1, div25, 0) + Track(events)), 2500u);
  // 29.97 frames a second, 100 ticks a frame.
  uint16_t div2997 = static_cast<uint16_t>((0x100 - 29) << 8 | 100);
  EXPECT_EQ(MidiLengthMs(Header(1, div2997, 0) + Track(NoteOn(0) + NoteOff(2997))), 1000u);
  // An impossible frame rate is no usable division.
  uint16_t div17 = static_cast<uint16_t>((0x100 - 17) << 8 | 100);
  EXPECT_EQ(MidiLengthMs(Header(1, div17, 0) + Track(events)), std::nullopt);
}

TEST(MidiLength, AbsurdLengthsStopAtAnHour) {
  std::string slow = Tempo(0, 0xFFFFFF) + NoteOn(0) + NoteOff(0x0FFFFFFF) + NoteOff(0x0FFFFFFF);
  EXPECT_EQ(MidiLengthMs(Header(1, 1, 0) + Track(slow)), kMaxTuneLengthMs);
  // Just under the cap is kept: 3,599 s at one second a quarter.
  std::string hour = Tempo(0, 1000000) + NoteOn(0) + NoteOff(3599);
  EXPECT_EQ(MidiLengthMs(Header(1, 1, 0) + Track(hour)), 3599000u);
}

TEST(MidiLength, NonMidiBytesCannotBeMeasured) {
  EXPECT_EQ(MidiLengthMs(""), std::nullopt);
  EXPECT_EQ(MidiLengthMs("just some text, not a tune at all"), std::nullopt);
  EXPECT_EQ(MidiLengthMs("MThd"), std::nullopt);
  EXPECT_EQ(MidiLengthMs("MThd" + Be(2, 4) + Be(1, 2) + Be(480, 2) + Track(NoteOn(0))),
            std::nullopt);
  EXPECT_EQ(MidiLengthMs(Header(1, 0, 0) + Track(NoteOn(0) + NoteOff(480))), std::nullopt);
}

TEST(MidiLength, RiffWrappedMidiIsMeasuredInside) {
  std::string smf = Header(1, 480, 0) + Track(NoteOn(0) + NoteOff(1920) + EndOfTrack());
  std::string info = "LIST" + Le(4, 4) + "INFO";
  std::string rmid = "RIFF" + Le(static_cast<uint32_t>(4 + info.size() + 8 + smf.size()), 4) +
                     "RMID" + info + "data" + Le(static_cast<uint32_t>(smf.size()), 4) + smf;
  EXPECT_EQ(MidiLengthMs(rmid), 2000u);
}

std::string Wav(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t dataBytes,
                uint32_t claimed) {
  uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  std::string fmt =
      Le(1, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * align, 4) + Le(align, 2) + Le(bits, 2);
  return "RIFF" + Le(36 + dataBytes, 4) + "WAVE" + "fmt " + Le(16, 4) + fmt + "data" +
         Le(claimed, 4) + std::string(dataBytes, '\0');
}

TEST(AudioLength, WavLengthComesFromTheDataChunkAndByteRate) {
  EXPECT_EQ(WavLengthMs(Wav(22050, 1, 16, 44100, 44100)), 1000u);
  EXPECT_EQ(WavLengthMs(Wav(44100, 2, 16, 88200, 88200)), 500u);
  // A header that claims more than the file holds: what is there.
  EXPECT_EQ(WavLengthMs(Wav(22050, 1, 16, 22050, 0x7FFFFFFF)), 500u);
  // An odd-sized chunk before fmt is padded to even length.
  std::string w = Wav(8000, 1, 8, 4000, 4000);
  std::string withList =
      w.substr(0, 12) + "LIST" + Le(3, 4) + "abc" + std::string(1, '\0') + w.substr(12);
  EXPECT_EQ(WavLengthMs(withList), 500u);
  EXPECT_EQ(WavLengthMs("RIFF....WAVE"), std::nullopt);
  EXPECT_EQ(WavLengthMs(Header(1, 480)), std::nullopt);
  std::string noRate = Wav(0, 1, 16, 100, 100);
  EXPECT_EQ(WavLengthMs(noRate), std::nullopt);
}

TEST(AudioLength, Mp3LengthWalksFramesAfterTheTag) {
  // MPEG 1 layer III, 128 kbit/s, 44.1 kHz: 417-byte frames of 1152 samples.
  std::string frame = Bytes({0xFF, 0xFB, 0x90, 0x00}) + std::string(413, '\x55');
  std::string tagBody(20, '\xFF');  // sync-like bytes inside the tag must not count
  std::string tag = "ID3" + Bytes({3, 0, 0, 0, 0, 0, 20}) + tagBody;
  std::string mp3 = tag;
  for (int i = 0; i < 100; ++i) mp3 += frame;
  mp3 += "TAG" + std::string(125, ' ');
  EXPECT_EQ(Mp3LengthMs(mp3), 2612u);  // 115200 samples at 44.1 kHz
  EXPECT_EQ(MeasureTuneBytes("SONG.MP3", mp3), 2612u);
  EXPECT_EQ(MeasureTuneBytes("song.txt", mp3), std::nullopt);
  EXPECT_EQ(Mp3LengthMs("no frames here"), std::nullopt);
}

TEST(AudioLength, MeasureGoesByContentsForMidiAndWav) {
  std::string smf = Header(1, 480, 0) + Track(NoteOn(0) + NoteOff(960));
  EXPECT_EQ(MeasureTuneBytes("renamed.wav", smf), 1000u);
  EXPECT_EQ(MeasureTuneBytes("x.mid", Wav(22050, 1, 16, 44100, 44100)), 1000u);
  EXPECT_EQ(MeasureTuneBytes("x.mid", "garbage"), std::nullopt);
}

// Files are measured from their headers, whatever their size: sparse files
// stand in for huge ones. Each format is tried at its largest accepted size
// and one byte beyond.
TEST(AudioLength, TuneFilesAreMeasuredFromTheirHeadersUpToTheirFormatsLimits) {
  const std::string dir = test::MakeTempDir("tune-files");
  auto sized = [&](const std::string& name, const std::string& head, uint64_t size) {
    test::WriteAll(dir + name, head);
    std::filesystem::resize_file(dir + name, size);
    return ReadTuneFile(dir + name);
  };
  // WAV: 48 kHz, 8 channels of 32 bits (1,536,000 bytes a second), so that
  // 1.5 GB stays under the hour that tunes are capped at.
  const std::string wavHead = Wav(48000, 8, 32, 0, 0xFFFFFFFFu - 36);
  TuneFileResult r = sized("big.wav", wavHead, 1'500'000'000);
  ASSERT_TRUE(r.file) << r.why;
  EXPECT_EQ(r.file->kind, TuneFile::Kind::Wave);
  EXPECT_EQ(r.file->lengthMs, (1'500'000'000ull - 44) * 1000 / 1'536'000);
  r = sized("big.wav", wavHead, kMaxWavFileBytes);
  ASSERT_TRUE(r.file) << r.why;
  EXPECT_EQ(r.file->lengthMs, (0xFFFFFFFFull - 36) * 1000 / 1'536'000);
  r = sized("big.wav", wavHead, kMaxWavFileBytes + 1);
  EXPECT_FALSE(r.file);
  EXPECT_FALSE(r.missing);
  EXPECT_NE(r.why.find("4 GB"), std::string::npos) << r.why;

  // MIDI: read whole, so bounded; the padding after the track is ignored.
  const std::string smf = Header(1, 480, 0) + Track(NoteOn(0) + NoteOff(960) + EndOfTrack());
  r = sized("big.mid", smf, kMaxMidiFileBytes);
  ASSERT_TRUE(r.file) << r.why;
  EXPECT_EQ(r.file->kind, TuneFile::Kind::Midi);
  EXPECT_EQ(r.file->lengthMs, 1000u);
  EXPECT_EQ(r.file->midi.size(), kMaxMidiFileBytes);
  r = sized("big.mid", smf, kMaxMidiFileBytes + 1);
  EXPECT_FALSE(r.file);
  EXPECT_NE(r.why.find("too large"), std::string::npos) << r.why;

  // MP3: a small file is walked whole, a large one in part and reckoned on
  // at its rate; both come out as the whole walk does.
  const std::string frame = Bytes({0xFF, 0xFB, 0x90, 0x00}) + std::string(413, '\x55');
  for (size_t frames : {100, 20000}) {
    std::string mp3 = "ID3" + Bytes({3, 0, 0, 0, 0, 0, 20}) + std::string(20, '\xFF');
    for (size_t i = 0; i < frames; ++i) mp3 += frame;
    r = sized("a.mp3", mp3, mp3.size());
    ASSERT_TRUE(r.file) << r.why;
    EXPECT_EQ(r.file->kind, TuneFile::Kind::Mp3);
    EXPECT_NEAR(r.file->lengthMs, *Mp3LengthMs(mp3), 1.0) << frames << " frames";
  }

  // What is not a tune is refused with a reason; a missing file says so.
  test::WriteAll(dir + "notes.wav", "these are not notes");
  for (const std::string name : {"notes.wav", "empty.mid", "fifo.mp3", "."}) {
    SCOPED_TRACE(name);
    if (name == "empty.mid") test::WriteAll(dir + name, Header(1, 480, 0) + Track(EndOfTrack()));
    if (name == "fifo.mp3") {
      ASSERT_EQ(mkfifo((dir + name).c_str(), 0600), 0);
    }
    r = ReadTuneFile(dir + name);
    EXPECT_FALSE(r.file);
    EXPECT_FALSE(r.missing);
    EXPECT_NE(r.why, "");
  }
  r = ReadTuneFile(dir + "missing.wav");
  EXPECT_TRUE(r.missing);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

// The sequencer's view of a file: every channel event on the tempo map's
// time line, tracks merged in time order.
TEST(MidiEvents, EventsFallOnTheTempoMapAndTracksMerge) {
  // 480 ticks a quarter; 120 bpm for one quarter, then 60 bpm.
  std::string conductor = Track(Tempo(0, 500000) + Tempo(480, 1000000) + EndOfTrack());
  std::string a = Track(NoteOn(0, 60) + NoteOff(480, 60) + NoteOn(0, 62) + VarLen(240) +
                        Bytes({0x40, 0}) +  // running status: note on, velocity 0
                        EndOfTrack());
  std::string b = Track(VarLen(0) + Bytes({0xC3, 5}) + VarLen(480) + Bytes({0xE3, 0x00, 0x40}) +
                        EndOfTrack(480));
  std::string file = Header(3, 480) + conductor + a + b;
  std::optional<MidiTune> tune = ReadMidiTune(file);
  ASSERT_TRUE(tune);
  EXPECT_EQ(tune->lengthMs, MidiLengthMs(file));
  EXPECT_EQ(tune->lengthMs, 1500u);  // half a second, then a one-second quarter
  struct Expect {
    uint64_t us;
    uint8_t status, d1, d2;
  };
  const Expect want[] = {{0, 0x90, 60, 100},      {0, 0xC3, 5, 0},         {500000, 0x80, 60, 0},
                         {500000, 0x90, 62, 100}, {500000, 0xE3, 0, 0x40}, {1000000, 0x90, 64, 0}};
  ASSERT_EQ(tune->events.size(), std::size(want));
  for (size_t i = 0; i < std::size(want); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(tune->events[i].us, want[i].us);
    EXPECT_EQ(tune->events[i].status, want[i].status);
    EXPECT_EQ(tune->events[i].data1, want[i].d1);
    EXPECT_EQ(tune->events[i].data2, want[i].d2);
  }
  EXPECT_FALSE(ReadMidiTune("RIFF nothing"));
}

TEST(MidiEvents, EveryDefaultTuneReadsToItsMeasuredLength) {
  for (const char* name : {"Z01.mid", "Z02.mid", "Z03.mid", "Z04.mid", "Z05.mid", "Z06.mid",
                           "Z07.mid", "Z08.mid", "Zz.mid"}) {
    SCOPED_TRACE(name);
    std::string bytes = test::ReadAll(test::GameDir() + name);
    std::optional<MidiTune> tune = ReadMidiTune(bytes);
    ASSERT_TRUE(tune);
    EXPECT_EQ(tune->lengthMs, MidiLengthMs(bytes));
    ASSERT_FALSE(tune->events.empty());
    EXPECT_LE(tune->events.back().us / 1000, tune->lengthMs);
    EXPECT_TRUE(std::is_sorted(tune->events.begin(), tune->events.end(),
                               [](const MidiEvent& x, const MidiEvent& y) { return x.us < y.us; }));
  }
}

}  // namespace
}  // namespace kelvane
