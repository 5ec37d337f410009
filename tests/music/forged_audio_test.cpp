// The forged tunes and sound effects of the default data folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "config/numbered_files.h"
#include "music/audio_length.h"
#include "music/midi_length.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

uint32_t Le(const std::string& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i)
    v = (v << 8) | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
  return v;
}

// Every effect the game's scenes play, and those the move list names.
std::set<int> EffectNumbers() {
  std::set<int> n = {0, 1, 2, 10, 11, 20, 21, 40, 50, 51, 52, 60, 61};
  for (int k = 28; k <= 36; ++k) n.insert(k);
  for (int k = 66; k <= 71; ++k) n.insert(k);
  std::istringstream readme(test::ReadAll(test::SourceDir() + "data/README.md"));
  const std::string lead = "Sound effects used by the move list:";
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind(lead, 0) != 0) continue;
    std::istringstream list(line.substr(lead.size()));
    for (std::string item; std::getline(list, item, ',');) n.insert(std::atoi(item.c_str()));
  }
  return n;
}

TEST(ForgedAudio, EveryPlayedEffectIsAShortCleanMonoWav) {
  for (int n : EffectNumbers()) {
    std::string name = "Y_q" + ZeroPad(2, n) + ".wav";
    SCOPED_TRACE(name);
    std::string w = test::ReadAll(test::GameDir() + name);
    ASSERT_GT(w.size(), 44u) << "missing";
    ASSERT_EQ(w.substr(0, 4), "RIFF");
    EXPECT_EQ(Le(w, 20, 2), 1u);   // PCM
    EXPECT_EQ(Le(w, 22, 2), 1u);   // mono
    EXPECT_EQ(Le(w, 34, 2), 16u);  // 16-bit
    uint32_t rate = Le(w, 24, 4);
    EXPECT_TRUE(rate == 22050 || rate == 44100) << rate;
    std::optional<uint32_t> ms = WavLengthMs(w);
    ASSERT_TRUE(ms);
    EXPECT_GE(*ms, 40u);
    EXPECT_LE(*ms, 2000u);
    // Ends at rest (no click), no DC offset, clearly audible, not clipped.
    size_t samples = (w.size() - 44) / 2;
    auto at = [&](size_t i) { return static_cast<int16_t>(Le(w, 44 + 2 * i, 2)); };
    EXPECT_LE(std::abs(at(0)), 64);
    EXPECT_LE(std::abs(at(samples - 1)), 64);
    double sum = 0, squares = 0;
    int peak = 0;
    for (size_t i = 0; i < samples; ++i) {
      sum += at(i);
      squares += static_cast<double>(at(i)) * at(i);
      peak = std::max(peak, std::abs(static_cast<int>(at(i))));
    }
    EXPECT_LT(std::abs(sum / static_cast<double>(samples)), 100.0);
    EXPECT_GT(std::sqrt(squares / static_cast<double>(samples)), 1000.0);
    EXPECT_LT(peak, 32767);
  }
}

TEST(ForgedAudio, StageTunesLastAMinuteToTwoAndAHalfAndDiffer) {
  std::set<std::string> seen;
  int count = 0;
  for (int n = 1; n <= 16; ++n) {
    std::string bytes = test::ReadAll(test::GameDir() + "Z" + ZeroPad(2, n) + ".mid");
    if (bytes.empty()) break;
    std::optional<uint32_t> ms = MidiLengthMs(bytes);
    ASSERT_TRUE(ms) << n;
    EXPECT_GE(*ms, 60000u) << n;
    EXPECT_LE(*ms, 150000u) << n;
    EXPECT_TRUE(seen.insert(bytes).second) << "tune " << n << " repeats another";
    ++count;
  }
  EXPECT_GE(count, 8);
  // The menu loop ends exactly on a bar line, so its restart keeps time.
  std::optional<uint32_t> loop = MidiLengthMs(test::ReadAll(test::GameDir() + "Zz.mid"));
  ASSERT_TRUE(loop);
  EXPECT_EQ(*loop % 1920, 0u) << "bars at 125 beats a minute are 1,920 ms";
}

// The dance steps a picture every 120 ms and typed moves start when the
// 4-frame idle loop comes round: every tune's beat is a whole number of
// frames that the idle loop fits.
TEST(ForgedAudio, EveryTuneBeatsInWholePlayFrames) {
  for (const char* name : {"Z01.mid", "Z02.mid", "Z03.mid", "Z04.mid", "Z05.mid", "Z06.mid",
                           "Z07.mid", "Z08.mid", "Zz.mid"}) {
    SCOPED_TRACE(name);
    std::string bytes = test::ReadAll(test::GameDir() + name);
    int tempos = 0;
    for (size_t at = bytes.find("\xFF\x51\x03"); at != std::string::npos;
         at = bytes.find("\xFF\x51\x03", at + 1)) {
      ASSERT_LE(at + 6, bytes.size());
      uint32_t us = (uint32_t{static_cast<uint8_t>(bytes[at + 3])} << 16) |
                    (uint32_t{static_cast<uint8_t>(bytes[at + 4])} << 8) |
                    static_cast<uint8_t>(bytes[at + 5]);
      EXPECT_EQ(us % 120000, 0u) << us << " µs a beat";
      EXPECT_EQ(us % (4 * 120000), 0u) << us << " µs a beat is no whole number of idle loops";
      ++tempos;
    }
    EXPECT_GE(tempos, 1);
  }
}

}  // namespace
}  // namespace kelvane
