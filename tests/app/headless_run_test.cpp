// Runs the real program headless, as a player's scripts and CI do.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "config/ini_file.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

std::string Kelvane() {
  return test::GameDir() + "kelvane";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

long Field(const std::string& line, const std::string& name) {
  size_t p = line.find("\"" + name + "\":");
  if (p == std::string::npos) return -1;
  return std::stol(line.substr(p + name.size() + 3));
}

TEST(HeadlessRun, TwoSecondsOfDemonstrationStartThenCloseAndWriteTheSettings) {
  std::string dir = test::MakeDataCopy("headless");
  std::string trace = dir + "t.jsonl";
  ASSERT_EQ(test::RunCommand(Kelvane() + " --headless --seed 1 --data " + dir +
                             " --run-ms 2000 --trace " + trace + " > " + dir + "out.txt 2>&1"),
            0)
      << test::ReadAll(dir + "out.txt");
  std::vector<long> frameTimes;
  std::string last;
  for (const auto& line : Lines(test::ReadAll(trace))) {
    if (line.find("\"ev\":\"frame\"") != std::string::npos && Field(line, "scene") == 254)
      frameTimes.push_back(Field(line, "t"));
    last = line;
  }
  ASSERT_GE(frameTimes.size(), 45u);
  ASSERT_LE(frameTimes.size(), 50u);
  for (size_t i = 1; i < frameTimes.size(); ++i) EXPECT_EQ(frameTimes[i] - frameTimes[i - 1], 40);
  EXPECT_NE(last.find("\"ev\":\"close\""), std::string::npos) << last;
  EXPECT_EQ(Field(last, "t"), 2000);

  std::vector<std::string> keys;
  for (const auto& line : Lines(test::ReadAll(dir + "Kelvane.ini"))) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) keys.push_back(line.substr(0, eq));
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"0:big", "c_max", "color", "SOMmk", "MUSmk", "MUScx",
                                            "NOMAL", "HARD_", "drive", "wallL", "wallS", "t-com",
                                            "ename", "comef", "BGMvol", "SEvol"}));
}

TEST(HeadlessRun, TheVirtualClockMayStartJustBeforeTheWrap) {
  std::string dir = test::MakeDataCopy("headless-wrap");
  std::string trace = dir + "t.jsonl";
  ASSERT_EQ(test::RunCommand(Kelvane() + " --headless --seed 1 --data " + dir +
                             " --start-tick 4294966296 --run-ms 2000 --trace " + trace +
                             " > /dev/null 2>&1"),
            0);
  int frames = 0;
  for (const auto& line : Lines(test::ReadAll(trace)))
    if (line.find("\"ev\":\"frame\"") != std::string::npos) ++frames;
  EXPECT_GE(frames, 45);
}

TEST(HeadlessRun, BadCommandLinesExitWithTwo) {
  std::string dir = test::MakeTempDir("headless-bad");
  EXPECT_EQ(test::RunCommand(Kelvane() + " --headless --bogus > /dev/null 2>&1"), 2);
  EXPECT_EQ(test::RunCommand(Kelvane() + " --headless --data " + dir + "missing > " + dir +
                             "err.txt 2>&1"),
            2);
  EXPECT_NE(test::ReadAll(dir + "err.txt").find(dir + "missing"), std::string::npos);
  test::WriteAll(dir + "in.txt", "0 key down 38\n10 key sideways 38\n");
  EXPECT_EQ(test::RunCommand(Kelvane() + " --headless --data " + dir + " --input " + dir +
                             "in.txt --run-ms 100 > " + dir + "err2.txt 2>&1"),
            2);
  EXPECT_NE(test::ReadAll(dir + "err2.txt").find(dir + "in.txt:2: "), std::string::npos);
}

}  // namespace
}  // namespace kelvane
