#include "platform/headless/input_script.h"

#include <gtest/gtest.h>

#include "app/options.h"

namespace kelvane {
namespace {

TEST(InputScript, ParsesEveryEventKindSortedByTime) {
  std::string error;
  auto events = ParseInputScript(
      "# a comment\n"
      "500 key down 38 shift\n"
      "100 mouse down right 10 20 alt\n"
      "\n"
      "200 mouse move 5 6   # trailing comment\n"
      "300 wheel up 1 2 shift alt\n"
      "400 drop /tmp/a.mid /tmp/b.wav\n"
      "500 key up 38\n"
      "900 close\n",
      "s.txt", error);
  ASSERT_TRUE(events) << error;
  ASSERT_EQ(events->size(), 7u);
  const auto& e = *events;
  EXPECT_EQ(e[0].kind, InputEvent::Kind::MouseDown);
  EXPECT_EQ(e[0].button, MouseButton::Right);
  EXPECT_EQ(e[0].pos, (Point{10, 20}));
  EXPECT_TRUE(e[0].shift.alt);
  EXPECT_EQ(e[1].kind, InputEvent::Kind::MouseMove);
  EXPECT_EQ(e[2].kind, InputEvent::Kind::WheelUp);
  EXPECT_TRUE(e[2].shift.shift && e[2].shift.alt);
  EXPECT_EQ(e[3].paths, (std::vector<std::string>{"/tmp/a.mid", "/tmp/b.wav"}));
  // Same time: file order is kept.
  EXPECT_EQ(e[4].kind, InputEvent::Kind::KeyDown);
  EXPECT_EQ(e[4].vk, 38);
  EXPECT_TRUE(e[4].shift.shift);
  EXPECT_EQ(e[5].kind, InputEvent::Kind::KeyUp);
  EXPECT_EQ(e[6].kind, InputEvent::Kind::Close);
  EXPECT_EQ(e[6].ms, 900u);
}

TEST(InputScript, MalformedLinesNameFileAndLine) {
  struct Case {
    const char* text;
    const char* where;
  } cases[] = {
      {"10 key down\n", "s.txt:1: "},
      {"\n\nx key down 38\n", "s.txt:3: "},
      {"10 key press 38\n", "s.txt:1: "},
      {"10 key down 300\n", "s.txt:1: "},
      {"10 key down 38 ctrl\n", "s.txt:1: "},
      {"10 mouse down left 1\n", "s.txt:1: "},
      {"10 mouse down thumb 1 2\n", "s.txt:1: "},
      {"10 wheel sideways 1 2\n", "s.txt:1: "},
      {"10 drop\n", "s.txt:1: "},
      {"10 close now\n", "s.txt:1: "},
      {"10 jump\n", "s.txt:1: "},
      {"-5 close\n", "s.txt:1: "},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseInputScript(c.text, "s.txt", error)) << c.text;
    EXPECT_EQ(error.rfind(c.where, 0), 0u) << c.text << " -> " << error;
    EXPECT_GT(error.size(), std::string(c.where).size()) << "a reason follows";
  }
}

TEST(Options, ParsesTheHarnessOptionsAndRefusesUnknownOnes) {
  std::string error;
  auto o = ParseOptions({"--headless", "--run-ms", "2000", "--start-tick", "4294967000", "--seed",
                         "7", "--trace", "t.jsonl", "--frames", "f", "--frame-every", "5",
                         "--realtime", "--stats", "a.MID"},
                        error);
  ASSERT_TRUE(o) << error;
  EXPECT_TRUE(o->headless && o->realtime && o->stats);
  EXPECT_EQ(*o->runMs, 2000u);
  EXPECT_EQ(o->startTick, 4294967000u);
  EXPECT_EQ(*o->seed, 7u);
  EXPECT_EQ(o->frameEvery, 5);
  EXPECT_EQ(o->files, std::vector<std::string>{"a.MID"});
  EXPECT_FALSE(ParseOptions({"--bogus"}, error));
  EXPECT_NE(error.find("--bogus"), std::string::npos);
  EXPECT_FALSE(ParseOptions({"--run-ms"}, error));
  EXPECT_FALSE(ParseOptions({"--run-ms", "12x"}, error));
  EXPECT_FALSE(ParseOptions({"--start-tick", "4294967296"}, error));
  EXPECT_FALSE(ParseOptions({"--frame-every", "0"}, error));
}

}  // namespace
}  // namespace kelvane
