// Whole sessions of play: the real program runs headless on a fresh copy of
// the default data with a scripted keyboard, and its trace is checked.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "actiondata/action_data.h"
#include "actiondata/action_file.h"
#include "actiondata/load_group.h"
#include "config/ini_file.h"
#include "flow/run_record.h"
#include "graphics/raster.h"
#include "tests/judge_rule.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

constexpr int kSeed = 7;

// Scene codes as the trace writes them (unsigned bytes).
constexpr int kOpening = 0;
constexpr int kOpeningLogo = 1;
constexpr int kLoadSlot = 7;
constexpr int kModeMenu = 2;
constexpr int kMusicMenu = 3;
constexpr int kSaveSlot = 8;
constexpr int kStart1 = 10;
constexpr int kPlay1 = 11;
constexpr int kStart2 = 12;
constexpr int kPlay2 = 13;
constexpr int kResult = 14;
constexpr int kExitQuestion = 253;
constexpr int kDemoStart = 254;
constexpr int kDemoPlay = 255;

constexpr int kVkEnd = 35;

// One line of the trace: a flat JSON object, values kept as text.
struct Event {
  std::map<std::string, std::string> fields;

  std::string Str(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
  }
  long Num(const std::string& key) const {
    std::string v = Str(key);
    return v.empty() ? -999999 : std::stol(v);
  }
  bool Is(const std::string& ev) const { return Str("ev") == ev; }
};

// Reads a JSON string starting at the opening quote; leaves p after it.
// Escapes other than \uXXXX keep their character; \uXXXX becomes '?'.
std::string ReadJsonString(const std::string& s, size_t& p) {
  std::string out;
  for (++p; p < s.size() && s[p] != '"'; ++p) {
    if (s[p] != '\\') {
      out += s[p];
      continue;
    }
    ++p;
    if (p < s.size() && s[p] == 'u') {
      out += '?';
      p += 4;
    } else if (p < s.size()) {
      out += s[p] == 'n' ? '\n' : s[p];
    }
  }
  ++p;
  return out;
}

Event ParseLine(const std::string& line) {
  Event e;
  size_t p = line.find('{');
  if (p == std::string::npos) return e;
  ++p;
  while (p < line.size() && line[p] == '"') {
    std::string key = ReadJsonString(line, p);
    if (p >= line.size() || line[p] != ':') break;
    ++p;
    std::string value;
    if (p < line.size() && line[p] == '"') {
      value = ReadJsonString(line, p);
    } else {
      size_t end = line.find_first_of(",}", p);
      value = line.substr(p, end - p);
      p = end;
    }
    e.fields[key] = value;
    if (p < line.size() && line[p] == ',') ++p;
  }
  return e;
}

struct Frame {
  long t, scene, sub, row, x, face, code, weight, mode, score1, score2;
};

struct Trace {
  std::vector<Event> events;
  std::vector<Frame> frames;
};

// Every trace a scenario reads must explain its scores by its judge lines.
Trace ReadTrace(const std::string& path) {
  Trace tr;
  const std::string text = test::ReadAll(path);
  for (const std::string& problem : test::JudgeRuleProblems(text))
    ADD_FAILURE() << path << ": " << problem;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    Event e = ParseLine(line);
    if (e.Is("frame")) {
      tr.frames.push_back({e.Num("t"), e.Num("scene"), e.Num("sub"), e.Num("row"), e.Num("x"),
                           e.Num("face"), e.Num("code"), e.Num("weight"), e.Num("mode"),
                           e.Num("score1"), e.Num("score2")});
    }
    tr.events.push_back(std::move(e));
  }
  return tr;
}

struct ScenarioRun {
  std::string dir;
  int exitCode = -1;
  Trace trace;
};

std::string ScriptPath(const std::string& name) {
  return test::SourceDir() + "tests/scenarios/" + name;
}

// An empty script runs the game untouched.
ScenarioRun RunScenario(const std::string& tag, const std::string& script, long runMs) {
  ScenarioRun r;
  r.dir = test::MakeDataCopy("scenario-" + tag);
  std::string trace = r.dir + "trace.jsonl";
  std::string input = script.empty() ? "" : " --input " + ScriptPath(script);
  r.exitCode =
      test::RunCommand(test::GameDir() + "kelvane --headless --data " + r.dir + " --seed " +
                       std::to_string(kSeed) + " --run-ms " + std::to_string(runMs) + input +
                       " --trace " + trace + " > " + r.dir + "out.txt 2>&1");
  r.trace = ReadTrace(trace);
  return r;
}

// The scenes in the order they ran, each stay counted once.
std::vector<int> SceneVisits(const Trace& tr) {
  std::vector<int> visits;
  for (const Frame& f : tr.frames)
    if (visits.empty() || visits.back() != f.scene) visits.push_back(static_cast<int>(f.scene));
  return visits;
}

// A turn may pass through the save scene before the scene after its play
// scene; the flow around it is the same either way.
std::vector<int> WithoutSaveScene(std::vector<int> visits) {
  std::vector<int> out;
  for (size_t i = 0; i < visits.size(); ++i) {
    bool afterPlay =
        i > 0 && (visits[i - 1] == kPlay1 || visits[i - 1] == kPlay2 || visits[i - 1] == kDemoPlay);
    if (visits[i] == kSaveSlot && afterPlay) continue;
    out.push_back(visits[i]);
  }
  return out;
}

// Frames of the n-th stay (0-based) in scene.
std::vector<Frame> Stay(const Trace& tr, int scene, int n = 0) {
  std::vector<Frame> out;
  int seen = -1;
  long prevScene = -1;
  for (const Frame& f : tr.frames) {
    if (f.scene == scene && prevScene != scene) ++seen;
    if (f.scene == scene && seen == n) out.push_back(f);
    prevScene = f.scene;
  }
  return out;
}

// The sub-steps of frames, each run of equal values counted once, keeping
// only the values in keep (all when empty).
std::vector<long> SubSteps(const std::vector<Frame>& frames, const std::vector<long>& keep = {}) {
  std::vector<long> out;
  long prev = -99999;
  for (const Frame& f : frames) {
    if (f.sub != prev && (keep.empty() || std::find(keep.begin(), keep.end(), f.sub) != keep.end()))
      out.push_back(f.sub);
    prev = f.sub;
  }
  return out;
}

bool HasSub(const std::vector<Frame>& frames, long sub) {
  return std::any_of(frames.begin(), frames.end(), [&](const Frame& f) { return f.sub == sub; });
}

// "op file-name" of each music event in [from, to).
std::vector<std::string> MusicOps(const Trace& tr, long from, long to) {
  std::vector<std::string> ops;
  for (const Event& e : tr.events) {
    if (!e.Is("music") || e.Num("t") < from || e.Num("t") >= to) continue;
    std::string file = e.Str("file");
    size_t cut = file.find_last_of('/');
    ops.push_back(e.Str("op") + (file.empty() ? "" : " " + file.substr(cut + 1)));
  }
  return ops;
}

std::vector<long> SoundEffects(const Trace& tr, long from, long to) {
  std::vector<long> out;
  for (const Event& e : tr.events)
    if (e.Is("sfx") && e.Num("t") >= from && e.Num("t") < to) out.push_back(e.Num("n"));
  return out;
}

long CloseTime(const Trace& tr) {
  for (const Event& e : tr.events)
    if (e.Is("close")) return e.Num("t");
  return -1;
}

// The move list the run used, to name the rows and points that typed
// commands must give.
struct Moves {
  std::unique_ptr<ActionData> data = std::make_unique<ActionData>();

  explicit Moves(const std::string& dir) {
    std::string error;
    std::string text = test::ReadAll(dir + ActionFileName("act"));
    EXPECT_TRUE(ParseActionText(*data, text, "Z_ac.txt", &error)) << error;
    for (int group = 0; group < ActionData::kGroupCapacity; ++group) MapGroupCommands(*data, group);
  }
  int Row(int code) const { return data->codeToRow[static_cast<size_t>(code)]; }
  const ActionRow& Of(int code) const { return data->actionRows[static_cast<size_t>(Row(code))]; }
  int First(int code) const { return Of(code).firstScore + Of(code).scoreExtra; }
  int Repeat(int code) const { return Of(code).score + Of(code).scoreExtra; }
};

// Distinct rows in the order they started.
std::vector<long> RowsStarted(const std::vector<Frame>& frames) {
  std::vector<long> rows;
  for (const Frame& f : frames)
    if (rows.empty() || rows.back() != f.row) rows.push_back(f.row);
  return rows;
}

// The score of the given player each time it changed.
std::vector<long> ScoreSteps(const std::vector<Frame>& frames, int player) {
  std::vector<long> scores;
  for (const Frame& f : frames) {
    long s = player == 1 ? f.score1 : f.score2;
    if (scores.empty() || scores.back() != s) scores.push_back(s);
  }
  return scores;
}

// Whether the result's shows (from sub-step 100 on) ran a losing action, a
// row above the victory rows.
bool ShowsLoser(const std::vector<Frame>& result, int victoryRows) {
  return std::any_of(result.begin(), result.end(),
                     [&](const Frame& f) { return f.sub >= 100 && f.row > victoryRows; });
}

// Release times of a key in a script.
std::vector<long> KeyUpTimes(const std::string& script, int vk) {
  std::vector<long> times;
  std::istringstream in(test::ReadAll(ScriptPath(script)));
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    long t;
    std::string kind, dir;
    int code;
    if (words >> t >> kind >> dir >> code && kind == "key" && dir == "up" && code == vk)
      times.push_back(t);
  }
  return times;
}

int SettingsValue(const std::string& dir, const std::string& key) {
  IniFile ini(test::ReadAll(dir + "Kelvane.ini"));
  return ini.ReadInteger("Kelvane", key, -100);
}

// ---- The scenarios ----

TEST(Scenarios, DemonstrationOpeningAndEveryMenuPage) {
  ScenarioRun r = RunScenario("menu", "menu_pages.txt", 25000);
  ASSERT_EQ(r.exitCode, 0) << test::ReadAll(r.dir + "out.txt");
  const Trace& tr = r.trace;
  ASSERT_EQ(SceneVisits(tr), (std::vector<int>{kDemoStart, kDemoPlay, kOpening, kOpeningLogo,
                                               kModeMenu, kDemoStart}));

  std::vector<Frame> demo = Stay(tr, kDemoPlay);
  EXPECT_TRUE(std::all_of(demo.begin(), demo.end(), [](const Frame& f) { return f.mode == 5; }));
  // The menu tune starts with the opening and loops on through the menu.
  long openingAt = Stay(tr, kOpening).front().t;
  long menuEnd = Stay(tr, kModeMenu).back().t;
  EXPECT_EQ(MusicOps(tr, openingAt, menuEnd + 1),
            (std::vector<std::string>{"open Zz.mid", "play"}));

  // 0 a page drops in, 25 a cursor move, 100 confirm, 200 back, 250 the
  // gallery step, 251 a gallery picture.
  std::vector<long> menu = SubSteps(Stay(tr, kModeMenu), {0, 25, 100, 200, 250, 251});
  EXPECT_EQ(menu, (std::vector<long>{0, 100, 0,   100,  // page 0 -> 1 -> 2
                                     0, 200,            // page 2 back to 1
                                     0, 25,  100,       // page 1 right -> 4
                                     0, 200,            // page 4 back to 1
                                     0, 25,  200,       // page 1 centre, back to 0
                                     0, 25,  100,       // page 0 left -> 3
                                     0, 100, 250, 251,  // generated picture
                                     0, 25,  100, 250,  // no level yet: default backdrop
                                     0, 200,            // page 3 back to 0
                                     0, 200}));         // page 0 back to the demonstration

  // Backing out of the menu starts the continuous demonstration.
  std::vector<Frame> again = Stay(tr, kDemoStart, 1);
  ASSERT_FALSE(again.empty());
  EXPECT_EQ(again.back().mode, 6);
  EXPECT_EQ(MusicOps(tr, again.front().t, again.front().t + 1),
            (std::vector<std::string>{"stop", "close"}));
}

TEST(Scenarios, UntouchedTheDemonstrationAndTheOpeningAlternate) {
  ScenarioRun r = RunScenario("untouched", "", 175000);
  ASSERT_EQ(r.exitCode, 0) << test::ReadAll(r.dir + "out.txt");
  const Trace& tr = r.trace;
  ASSERT_EQ(SceneVisits(tr), (std::vector<int>{kDemoStart, kDemoPlay, kOpening, kOpeningLogo,
                                               kDemoStart, kDemoPlay}));

  // The demonstration lasts exactly as long as its tune, whose end leads
  // to the opening and its menu tune.
  long openingAt = Stay(tr, kOpening).front().t;
  std::vector<std::string> ops = MusicOps(tr, 0, openingAt + 1);
  ASSERT_EQ(ops.size(), 7u);
  EXPECT_EQ(ops[1], "play");
  EXPECT_EQ(ops[2], "end");
  EXPECT_EQ(ops[5], "open Zz.mid");
  long tuneLength = -1, playAt = -1, endAt = -1;
  for (const Event& e : tr.events) {
    if (!e.Is("music")) continue;
    if (e.Str("op") == "open" && tuneLength < 0) tuneLength = e.Num("length");
    if (e.Str("op") == "play" && playAt < 0) playAt = e.Num("t");
    if (e.Str("op") == "end" && endAt < 0) endAt = e.Num("t");
  }
  EXPECT_EQ(endAt, playAt + tuneLength);
  EXPECT_LE(Stay(tr, kDemoPlay).back().t, endAt);

  // The opening without a key: 10 plain frames, 19 logo pieces of 6 frames,
  // 7 logo cycles of 66, the closing circle's 36, 8 frames of pause and the
  // last step, all 40 ms apart.
  EXPECT_EQ(Stay(tr, kOpening).size(), 10u);
  std::vector<Frame> logo = Stay(tr, kOpeningLogo);
  EXPECT_EQ(logo.size(), 19u * 6 + 7 * 66 + 36 + 8 + 1);
  EXPECT_EQ(logo.back().t - logo.front().t, static_cast<long>(logo.size() - 1) * 40);
  EXPECT_EQ(SubSteps(logo, {0, 3, 10, 32, 40}), (std::vector<long>{0, 3, 10, 32, 40}));

  // The next demonstration shows the second colour, which scores as player 2.
  std::vector<Frame> second = Stay(tr, kDemoPlay, 1);
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(second.back().mode, 5);
  EXPECT_EQ(second.back().score1, 0);
  EXPECT_GT(second.back().score2, 0);
}

TEST(Scenarios, ExitQuestionNoThenYes) {
  ScenarioRun r = RunScenario("exit", "exit_question.txt", 60000);
  ASSERT_EQ(r.exitCode, 0) << test::ReadAll(r.dir + "out.txt");
  const Trace& tr = r.trace;
  ASSERT_EQ(SceneVisits(tr),
            (std::vector<int>{kDemoStart, kDemoPlay, kOpening, kOpeningLogo, kModeMenu,
                              kExitQuestion, kModeMenu, kExitQuestion}));

  // No: the question waits at 200, N leaves through 201 and the menu tune
  // starts again.
  std::vector<Frame> no = Stay(tr, kExitQuestion, 0);
  EXPECT_EQ(no.back().sub, 201);
  EXPECT_EQ(no.back().mode, 4);
  EXPECT_TRUE(HasSub(no, 200));
  EXPECT_EQ(MusicOps(tr, no.front().t, no.front().t + 1),
            (std::vector<std::string>{"stop", "close"}));
  EXPECT_EQ(MusicOps(tr, no.back().t, Stay(tr, kModeMenu, 1).back().t),
            (std::vector<std::string>{"open Zz.mid", "play"}));

  // Yes: confirmed with its sound, twenty frames of farewell, then the game
  // closes by itself long before the run's end.
  std::vector<Frame> yes = Stay(tr, kExitQuestion, 1);
  EXPECT_EQ(SubSteps(yes, {200, 250, 270}), (std::vector<long>{200, 250, 270}));
  std::vector<long> sounds = SoundEffects(tr, yes.front().t, yes.back().t);
  EXPECT_NE(std::find(sounds.begin(), sounds.end(), 21), sounds.end());
  long closedAt = CloseTime(tr);
  EXPECT_GT(closedAt, yes.back().t);
  EXPECT_LT(closedAt, yes.back().t + 100);
  EXPECT_EQ(tr.frames.back().scene, kExitQuestion);

  // The pose (Up: 5 -> 0) and colour (C: 0 -> 1) chosen in the menu are kept.
  EXPECT_EQ(SettingsValue(r.dir, "SOMmk"), 0);
  EXPECT_EQ(SettingsValue(r.dir, "color"), 1);
  EXPECT_EQ(SettingsValue(r.dir, "NOMAL"), 0);
}

TEST(Scenarios, HumanAgainstComputerThroughTheMusicMenu) {
  const std::string script = "match_vs_computer.txt";
  ScenarioRun r = RunScenario("match", script, 47000);
  ASSERT_EQ(r.exitCode, 0) << test::ReadAll(r.dir + "out.txt");
  const Trace& tr = r.trace;
  Moves moves(r.dir);
  ASSERT_EQ(WithoutSaveScene(SceneVisits(tr)),
            (std::vector<int>{kDemoStart, kDemoPlay, kOpening, kOpeningLogo, kModeMenu, kMusicMenu,
                              kStart1, kPlay1, kStart2, kPlay2, kResult, kModeMenu}));

  // The music menu steps to Z06 and previews it; the start stops the preview.
  std::vector<Frame> musicMenu = Stay(tr, kMusicMenu);
  EXPECT_EQ(MusicOps(tr, musicMenu.front().t + 1, musicMenu.back().t + 1),
            (std::vector<std::string>{"open Z06.mid", "play", "stop", "close"}));
  bool captioned = false;
  for (const Event& e : tr.events)
    if (e.Is("caption") && e.Str("text").find("Z06.mid") != std::string::npos) captioned = true;
  EXPECT_TRUE(captioned);
  // Both turns play the chosen tune.
  for (int stageStart : {kStart1, kStart2}) {
    std::vector<Frame> s = Stay(tr, stageStart);
    EXPECT_EQ(MusicOps(tr, s.front().t + 1, s.back().t + 1),
              (std::vector<std::string>{"open Z06.mid", "play"}))
        << "scene " << stageStart;
  }

  // The human's turn: the opening command typed at the banner (Down N Down
  // Down, shown as 3637), then 3353, 1515 and 6650 typed during play.
  std::vector<Frame> human = Stay(tr, kPlay1);
  ASSERT_FALSE(human.empty());
  EXPECT_TRUE(std::all_of(human.begin(), human.end(), [](const Frame& f) { return f.mode == 2; }));
  std::vector<long> rows = RowsStarted(human);
  rows.erase(std::remove(rows.begin(), rows.end(), 0), rows.end());
  EXPECT_EQ(rows, (std::vector<long>{moves.Row(3637), moves.Row(3353), moves.Row(1515),
                                     moves.Row(6650)}));
  long p1 = moves.First(3637);
  long p2 = p1 + moves.First(3353);
  long p3 = p2 + moves.First(1515);
  long p4 = p3 + moves.First(6650);
  EXPECT_EQ(ScoreSteps(human, 1), (std::vector<long>{p1, p2, p3, p4}));
  EXPECT_EQ(ScoreSteps(human, 2), (std::vector<long>{0}));

  // End gives the human no bonus; the computer's score stays its own.
  EXPECT_EQ(Stay(tr, kStart2).front().score1, p4);
  std::vector<Frame> computer = Stay(tr, kPlay2);
  ASSERT_FALSE(computer.empty());
  EXPECT_TRUE(
      std::all_of(computer.begin(), computer.end(), [](const Frame& f) { return f.mode == 1; }));
  EXPECT_TRUE(std::all_of(computer.begin(), computer.end(),
                          [&](const Frame& f) { return f.score1 == p4; }));
  EXPECT_GT(computer.back().score2, 0);

  // End in the computer's turn adds a tenth of a point per millisecond left
  // of the turn (the turn lasts as long as the first turn's tune).
  long tuneStart = -1, tuneLength = -1;
  for (const Event& e : tr.events) {
    if (!e.Is("music")) continue;
    long t = e.Num("t");
    if (e.Str("op") == "open" && t < human.front().t) tuneLength = e.Num("length");
    if (e.Str("op") == "play" && t >= Stay(tr, kStart2).front().t && t < computer.front().t)
      tuneStart = t;
  }
  std::vector<long> ends = KeyUpTimes(script, kVkEnd);
  ASSERT_EQ(ends.size(), 2u);
  long bonus = (tuneStart + tuneLength - ends[1]) / 100;
  std::vector<Frame> result = Stay(tr, kResult);
  ASSERT_FALSE(result.empty());
  EXPECT_GT(bonus, 0);
  EXPECT_EQ(result.front().score2, computer.back().score2 + bonus);

  // The result: the menu tune, the human (player 1, standing left) wins, a
  // free match waits at 400 without the course step, a key leaves.
  EXPECT_EQ(MusicOps(tr, result.front().t, result.front().t + 1),
            (std::vector<std::string>{"open Zz.mid", "play"}));
  ASSERT_GT(result.front().score1, result.front().score2);
  auto show =
      std::find_if(result.begin(), result.end(), [](const Frame& f) { return f.sub == 100; });
  ASSERT_NE(show, result.end());
  EXPECT_EQ(show->x, 55);
  EXPECT_TRUE(ShowsLoser(result, moves.data->barPairs));
  EXPECT_TRUE(HasSub(result, 400));
  EXPECT_FALSE(HasSub(result, 300));
  EXPECT_EQ(result.back().sub, 500);
}

TEST(Scenarios, NormalCourseWinRaisesTheLevel) {
  const std::string script = "course_win.txt";
  ScenarioRun r = RunScenario("course", script, 61000);
  ASSERT_EQ(r.exitCode, 0) << test::ReadAll(r.dir + "out.txt");
  const Trace& tr = r.trace;
  Moves moves(r.dir);
  ASSERT_EQ(WithoutSaveScene(SceneVisits(tr)),
            (std::vector<int>{kDemoStart, kDemoPlay, kOpening, kOpeningLogo, kModeMenu, kMusicMenu,
                              kStart1, kPlay1, kStart2, kPlay2, kResult, kModeMenu}));

  // The computer plays first; Shift+End gives it no bonus for the time left.
  std::vector<Frame> computer = Stay(tr, kPlay1);
  ASSERT_FALSE(computer.empty());
  EXPECT_TRUE(
      std::all_of(computer.begin(), computer.end(), [](const Frame& f) { return f.mode == 1; }));
  const long computerScore = computer.back().score1;
  EXPECT_GT(computerScore, 0);
  EXPECT_EQ(Stay(tr, kStart2).front().score1, computerScore);

  // The human's typed commands score their first-time points, then their
  // repeat points, and the computer's score stays as it was.
  std::vector<Frame> human = Stay(tr, kPlay2);
  ASSERT_FALSE(human.empty());
  EXPECT_TRUE(std::all_of(human.begin(), human.end(), [](const Frame& f) { return f.mode == 2; }));
  std::vector<long> steps = ScoreSteps(human, 2);
  ASSERT_EQ(steps.size(), 6u);
  std::vector<long> gains;
  for (size_t i = 1; i < steps.size(); ++i) gains.push_back(steps[i] - steps[i - 1]);
  EXPECT_EQ(gains, (std::vector<long>{moves.First(3353), moves.First(1515), moves.First(6660),
                                      moves.Repeat(3353), moves.Repeat(1515)}));
  EXPECT_TRUE(std::all_of(human.begin(), human.end(),
                          [&](const Frame& f) { return f.score1 == computerScore; }));

  // The result: player 2 (standing right) wins the course match; Return takes
  // the course step, N leaves for the menu.
  std::vector<Frame> result = Stay(tr, kResult);
  ASSERT_FALSE(result.empty());
  EXPECT_EQ(result.front().score2, steps.back());
  EXPECT_GT(result.front().score2, result.front().score1);
  auto show =
      std::find_if(result.begin(), result.end(), [](const Frame& f) { return f.sub == 100; });
  ASSERT_NE(show, result.end());
  EXPECT_EQ(show->x, 201);
  EXPECT_TRUE(ShowsLoser(result, moves.data->barPairs));
  EXPECT_EQ(SubSteps(result, {300, 301, 302, 400, 500}), (std::vector<long>{300, 301, 302, 500}));

  // The unlocked level picture now shows in the gallery (it fell back to the
  // default backdrop before), and the level is stored at the end.
  std::vector<Frame> menu = Stay(tr, kModeMenu, 1);
  EXPECT_EQ(SubSteps(menu, {250, 251}), (std::vector<long>{250, 251}));
  EXPECT_EQ(CloseTime(tr), 61000);
  EXPECT_EQ(SettingsValue(r.dir, "NOMAL"), 1);
  EXPECT_EQ(SettingsValue(r.dir, "HARD_"), 0);
}

TEST(Scenarios, TiedCourseMatchShowsNoLoserAndKeepsTheLevel) {
  ScenarioRun r = RunScenario("tie", "tied_match.txt", 29000);
  ASSERT_EQ(r.exitCode, 0) << test::ReadAll(r.dir + "out.txt");
  const Trace& tr = r.trace;
  Moves moves(r.dir);
  ASSERT_EQ(WithoutSaveScene(SceneVisits(tr)),
            (std::vector<int>{kDemoStart, kDemoPlay, kOpening, kOpeningLogo, kModeMenu, kMusicMenu,
                              kStart1, kPlay1, kStart2, kPlay2, kResult, kModeMenu}));

  // Each turn scored only its opening move; the human's is the typed 1517.
  std::vector<Frame> computer = Stay(tr, kPlay1);
  std::vector<Frame> human = Stay(tr, kPlay2);
  ASSERT_FALSE(computer.empty());
  ASSERT_FALSE(human.empty());
  EXPECT_EQ(human.front().row, moves.Row(1517));
  const ActionRow& computerOpening =
      moves.data->actionRows[static_cast<size_t>(computer.front().row)];
  ASSERT_EQ(computerOpening.firstScore + computerOpening.scoreExtra, moves.First(1517))
      << "the entry moves must score alike for this tie";

  std::vector<Frame> result = Stay(tr, kResult);
  ASSERT_FALSE(result.empty());
  EXPECT_EQ(result.front().score1, moves.First(1517));
  EXPECT_EQ(result.front().score2, moves.First(1517));
  // Player 1's show, then player 2's victory instead of a losing action; no
  // course step.
  EXPECT_EQ(SubSteps(result, {116, 200, 215, 300, 400, 500}),
            (std::vector<long>{116, 200, 215, 400, 500}));
  EXPECT_FALSE(ShowsLoser(result, moves.data->barPairs));
  EXPECT_EQ(SettingsValue(r.dir, "NOMAL"), 0);
}

// ---- Saving, loading and replaying a turn ----

// A frame the headless host wrote: 8-bit RGB rows, none filtered.
struct Picture {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
};

uint32_t BigEndian32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}

Picture ReadFramePng(const std::string& path) {
  const std::string s = test::ReadAll(path);
  Picture p;
  std::string packed;
  for (size_t at = 8; at + 12 <= s.size();) {
    const uint32_t length = BigEndian32(s, at);
    const std::string type = s.substr(at + 4, 4);
    if (type == "IHDR") {
      p.w = static_cast<int>(BigEndian32(s, at + 8));
      p.h = static_cast<int>(BigEndian32(s, at + 12));
    }
    if (type == "IDAT") packed += s.substr(at + 8, length);
    at += 12 + length;
  }
  const size_t stride = 1 + 3 * static_cast<size_t>(p.w);
  std::vector<uint8_t> raw(stride * static_cast<size_t>(p.h));
  uLongf size = raw.size();
  if (raw.empty() || uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(packed.data()),
                                packed.size()) != Z_OK ||
      size != raw.size()) {
    ADD_FAILURE() << path << " is not a frame";
    return {};
  }
  for (int y = 0; y < p.h; ++y) {
    const uint8_t* row = &raw[stride * static_cast<size_t>(y)];
    EXPECT_EQ(row[0], 0) << path << " row " << y;
    p.rgb.insert(p.rgb.end(), row + 1, row + stride);
  }
  return p;
}

std::string FramePath(const std::string& dir, size_t n) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame%06zu.png", n);
  return dir + name;
}

// The pixels of r, row by row (empty where the picture does not reach).
std::vector<uint8_t> Pixels(const Picture& p, const Rect& r) {
  std::vector<uint8_t> out;
  for (int y = r.top; y < r.bottom && y < p.h; ++y)
    for (int x = r.left; x < r.right && x < p.w; ++x)
      for (int c = 0; c < 3; ++c) out.push_back(p.rgb[(static_cast<size_t>(y) * p.w + x) * 3 + c]);
  return out;
}

std::string Inspect(const std::string& file, const std::string& out) {
  return std::string(KELVANE_TOOLS_DIR) + "/kelvane-inspect record " + file + " > " + out + " 2>&1";
}

// The sound effects played in a scene's stays.
std::vector<long> SoundsIn(const Trace& tr, int scene) {
  std::vector<long> out;
  long current = -1;
  for (const Event& e : tr.events) {
    if (e.Is("frame")) current = e.Num("scene");
    if (e.Is("sfx") && current == scene) out.push_back(e.Num("n"));
  }
  return out;
}

TEST(Scenarios, ASavedHumanTurnIsLoadedAndReplayedToTheSameScore) {
  ScenarioRun r = RunScenario("replay", "save_and_replay.txt", 330000);
  ASSERT_EQ(r.exitCode, 0) << test::ReadAll(r.dir + "out.txt");
  const Trace& tr = r.trace;
  // Every turn offers to save (Home): the human's first turn is saved into
  // slot 3, the second turn's stage start loads it.
  ASSERT_EQ(SceneVisits(tr),
            (std::vector<int>{kDemoStart, kDemoPlay, kOpening, kOpeningLogo, kModeMenu, kMusicMenu,
                              kStart1, kPlay1, kSaveSlot, kStart2, kLoadSlot, kStart2, kPlay2,
                              kSaveSlot, kResult, kModeMenu}));
  const std::string slot = r.dir + "Ac3.txt";
  ASSERT_FALSE(test::ReadAll(slot).empty());

  // The replayed turn runs the human's rows, frame for frame, to the score
  // written in the record's header.
  std::vector<Frame> human = Stay(tr, kPlay1);
  std::vector<Frame> replay = Stay(tr, kPlay2);
  ASSERT_FALSE(human.empty());
  ASSERT_EQ(replay.size(), human.size());
  for (size_t i = 0; i < human.size(); ++i) {
    ASSERT_EQ(replay[i].row, human[i].row) << "frame " << i;
    ASSERT_EQ(replay[i].score2, human[i].score1) << "frame " << i;
  }
  EXPECT_GT(RowsStarted(human).size(), 8u);
  const long score = human.back().score1;
  EXPECT_GT(score, 0);
  // The judge named each scored move of the human's turn, and judged the
  // replayed turn the same way, move for move, for the other player.
  auto judged = [&](long from, long to, long player) {
    std::vector<std::string> out;
    for (const Event& e : tr.events)
      if (e.Is("judge") && e.Num("t") >= from && e.Num("t") <= to && e.Num("player") == player)
        out.push_back(e.Str("why") + " " + e.Str("move") + " " + e.Str("points"));
    return out;
  };
  const std::vector<std::string> humanJudged = judged(human.front().t, human.back().t, 1);
  EXPECT_GT(humanJudged.size(), 8u);
  EXPECT_EQ(judged(replay.front().t, replay.back().t, 2), humanJudged);
  EXPECT_TRUE(std::any_of(humanJudged.begin(), humanJudged.end(),
                          [](const std::string& j) { return j.rfind("first ", 0) == 0; }));
  EXPECT_EQ(std::stol(test::ReadAll(slot).substr(17, 6)), score);

  // The record decodes and checks outside the game.
  const std::string json = r.dir + "record.json";
  ASSERT_EQ(test::RunCommand(Inspect(slot, json)), 0) << test::ReadAll(json);
  const std::string decoded = test::ReadAll(json);
  EXPECT_NE(decoded.find("\"checks\": true"), std::string::npos) << decoded;
  EXPECT_NE(decoded.find("\"keys\": [3,3,5,3]"), std::string::npos) << decoded;
  EXPECT_NE(decoded.find("\"score\": " + std::to_string(score)), std::string::npos);

  // Replayed headless from the command line, the demonstration ends on the
  // header's score and leaves the turn's pictures.
  const std::string frames = r.dir + "frames";
  const std::string trace = r.dir + "replay.jsonl";
  ASSERT_EQ(test::RunCommand(test::GameDir() + "kelvane --headless --data " + r.dir +
                             " --run-ms 160000 --replay Ac3.txt --trace " + trace + " --frames " +
                             frames + " --frame-every 50 > " + r.dir + "replay.txt 2>&1"),
            0)
      << test::ReadAll(r.dir + "replay.txt");
  const Trace demo = ReadTrace(trace);
  std::vector<Frame> played = Stay(demo, kDemoPlay);
  ASSERT_EQ(played.size(), human.size());
  EXPECT_EQ(played.back().score1, score);
  for (size_t i = 0; i < human.size(); ++i) ASSERT_EQ(played[i].row, human[i].row) << i;
  EXPECT_TRUE(std::filesystem::exists(frames + "/frame000050.png"));

  // An event line longer than any the game writes, signed so that the check
  // matches: the tool and --replay refuse it for the same reason.
  std::string bytes = test::ReadAll(slot);
  std::optional<record::ParsedRecord> parsed = record::ParseRecord(bytes);
  ASSERT_TRUE(parsed && parsed->checks);
  std::vector<std::string> lines = parsed->lines;
  lines[3].resize(record::kMaxLine + 1, '\t');
  lines[0].resize(record::kHeaderLength - record::kCheckLength);
  lines[0] += record::CheckValue(lines);
  test::WriteAll(r.dir + "Long.txt", record::RecordFileText(lines));
  const std::string why = "not a run record: line 4 is longer than 255 characters";
  EXPECT_NE(test::RunCommand(Inspect(r.dir + "Long.txt", json)), 0);
  EXPECT_NE(test::ReadAll(json).find(why), std::string::npos) << test::ReadAll(json);
  EXPECT_EQ(test::RunCommand(test::GameDir() + "kelvane --headless --data " + r.dir +
                             " --run-ms 1000 --replay Long.txt > " + r.dir + "long.txt 2>&1"),
            2);
  EXPECT_NE(test::ReadAll(r.dir + "long.txt").find(why), std::string::npos);

  // A score that is not a number: every reader gives the same verdict, the
  // load scene too (below, slot 4).
  lines = parsed->lines;
  lines[0].replace(17, 6, "  12x4");
  test::WriteAll(r.dir + "Ac4.txt", record::RecordFileText(lines));
  const std::string noScore = "not a run record: the score is not a number";
  EXPECT_NE(test::RunCommand(Inspect(r.dir + "Ac4.txt", json)), 0);
  EXPECT_NE(test::ReadAll(json).find(noScore), std::string::npos) << test::ReadAll(json);

  // One character of the stored check changed: the tool refuses the record,
  // and so does the game, which keeps running.
  bytes[30] = bytes[30] == '%' ? '#' : '%';
  test::WriteAll(slot, bytes);
  EXPECT_NE(test::RunCommand(Inspect(slot, json)), 0);
  EXPECT_NE(test::ReadAll(json).find("\"checks\": false"), std::string::npos);
  EXPECT_NE(test::RunCommand(test::GameDir() + "kelvane --headless --data " + r.dir +
                             " --run-ms 1000 --replay Ac3.txt > " + r.dir + "bad.txt 2>&1"),
            0);

  const std::string badTrace = r.dir + "bad.jsonl";
  const std::string badFrames = r.dir + "bad-frames";
  std::filesystem::create_directory(badFrames);
  ASSERT_EQ(test::RunCommand(test::GameDir() + "kelvane --headless --data " + r.dir +
                             " --seed 7 --run-ms 9000 --input " + ScriptPath("load_bad_slot.txt") +
                             " --trace " + badTrace + " --frames " + badFrames + " > " + r.dir +
                             "bad.txt 2>&1"),
            0);
  const Trace refused = ReadTrace(badTrace);
  std::vector<long> sounds = SoundsIn(refused, kLoadSlot);
  // Both records are chosen (61), confirmed (30) and refused (50) alike.
  for (long effect : {61, 30, 50})
    EXPECT_EQ(std::count(sounds.begin(), sounds.end(), effect), 2) << effect;
  EXPECT_EQ(SceneVisits(refused), (std::vector<int>{kDemoStart, kLoadSlot, kDemoStart, kDemoPlay}));
  EXPECT_EQ(test::ReadAll(slot), bytes);
  const std::string printed = test::ReadAll(r.dir + "bad.txt");
  EXPECT_NE(printed.find("Ac3.txt: " + std::string(record::kCheckMismatch)), std::string::npos);
  EXPECT_NE(printed.find("Ac4.txt: " + noScore), std::string::npos) << printed;

  // "BAD!" stands at slot 3 until the cursor moves: the frames after the
  // refusal show the message exactly as the refusal drew it.
  size_t refusal = 0;
  while (refusal < refused.frames.size() &&
         !(refused.frames[refusal].scene == kLoadSlot && refused.frames[refusal].sub == 150))
    ++refusal;
  ASSERT_LT(refusal + 5, refused.frames.size());
  ASSERT_EQ(refused.frames[refusal + 5].sub, 1);  // the list still waits
  // The window is painted once when it is shown, so frame n's picture is
  // file n + 1.
  const Picture asked = ReadFramePng(FramePath(badFrames, refusal));
  const Picture bad = ReadFramePng(FramePath(badFrames, refusal + 1));
  ASSERT_EQ(bad.w, 640);
  // Slot 3's message above its label, doubled in the large window.
  const Rect message = Rect::XYWH(2 * (78 + 3), 2 * (123 - 14), 50, 26);
  EXPECT_TRUE(Pixels(asked, message) != Pixels(bad, message)) << "the refusal drew nothing";
  for (size_t later = refusal + 2; later <= refusal + 6; ++later)
    EXPECT_TRUE(Pixels(ReadFramePng(FramePath(badFrames, later)), message) == Pixels(bad, message))
        << "file " << later << ": the message was drawn over";

  // The caption is the list's again: what it was before the choice, not
  // the refused record's, which the question showed.
  auto firstFrame = [&](auto pred) {
    for (const Frame& f : refused.frames)
      if (pred(f)) return f.t;
    return -1L;
  };
  const long askedAt = firstFrame([](const Frame& f) { return f.scene == kLoadSlot && f.sub == 110; });
  const long refusedAt = refused.frames[refusal].t;
  const long leftAt =
      firstFrame([&](const Frame& f) { return f.t > refusedAt && f.scene != kLoadSlot; });
  std::string before, asking, after;
  for (const Event& e : refused.events) {
    if (!e.Is("caption")) continue;
    const long t = e.Num("t");
    if (t < askedAt)
      before = e.Str("text");
    else if (t < refusedAt)
      asking = e.Str("text");
    else if (t < leftAt)
      after = e.Str("text");
  }
  EXPECT_EQ(before, "Kelvane");
  EXPECT_NE(asking, before);
  EXPECT_EQ(after, before);
}

// ---- The mouse alone, and dropped music ----

std::vector<const Event*> EventsOf(const Trace& tr, const std::string& ev) {
  std::vector<const Event*> out;
  for (const Event& e : tr.events)
    if (e.Is(ev)) out.push_back(&e);
  return out;
}

TEST(Scenarios, AWholeMatchWithTheMouseAlone) {
  ScenarioRun r = RunScenario("mouse", "mouse_only_match.txt", 42000);
  ASSERT_EQ(r.exitCode, 0) << test::ReadAll(r.dir + "out.txt");
  const Trace& tr = r.trace;
  ASSERT_EQ(WithoutSaveScene(SceneVisits(tr)),
            (std::vector<int>{kDemoStart, kDemoPlay, kOpening, kOpeningLogo, kModeMenu, kMusicMenu,
                              kStart1, kPlay1, kStart2, kPlay2, kResult, kModeMenu}));
  // The menu pages were confirmed by clicks.
  EXPECT_EQ(SubSteps(Stay(tr, kModeMenu), {100}), (std::vector<long>{100, 100, 100}));

  // The opening command came from the wheel (Down) and the right button (N).
  std::vector<Frame> start = Stay(tr, kStart1);
  ASSERT_FALSE(start.empty());
  EXPECT_EQ(start.back().code, 3633);
  EXPECT_EQ(start.back().mode, 2);

  // The held left button filled successive album frames during the turn.
  std::vector<Frame> play = Stay(tr, kPlay1);
  ASSERT_FALSE(play.empty());
  std::vector<long> frames;
  for (const Event* e : EventsOf(tr, "album")) {
    EXPECT_GE(e->Num("t"), play.front().t);
    EXPECT_LE(e->Num("t"), play.back().t);
    frames.push_back(e->Num("frame"));
  }
  EXPECT_GE(frames.size(), 4u);
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i], static_cast<long>(i));
  // The middle button ended both turns, long before their tunes.
  EXPECT_LT(play.back().t, play.front().t + 5000);
  std::vector<Frame> computer = Stay(tr, kPlay2);
  ASSERT_FALSE(computer.empty());
  EXPECT_LT(computer.back().t, computer.front().t + 8000);

  // Pointing at a music item and at a menu icon moved the pointer off it
  // (down by 160 in the large window).
  std::vector<const Event*> pointer = EventsOf(tr, "pointer");
  ASSERT_EQ(pointer.size(), 3u);
  const long musicAt = Stay(tr, kMusicMenu).front().t;
  EXPECT_GT(pointer[0]->Num("t"), musicAt);
  EXPECT_LT(pointer[0]->Num("t"), start.front().t);
  // The wheel over the centre icon changed the pose (5 to 0).
  EXPECT_EQ(SettingsValue(r.dir, "SOMmk"), 0);
}

TEST(Scenarios, MouseMovesKeepAPlayerInTheMenu) {
  ScenarioRun r = RunScenario("mouse-idle", "mouse_keeps_menu.txt", 100000);
  ASSERT_EQ(r.exitCode, 0) << test::ReadAll(r.dir + "out.txt");
  const Trace& tr = r.trace;
  std::vector<Frame> menu = Stay(tr, kModeMenu);
  ASSERT_FALSE(menu.empty());
  // Without keys the menu waits; the time-out presses N 32 s after the last
  // mouse move (60 s), not 32 s after the last click.
  long backAt = -1;
  for (const Frame& f : menu)
    if (f.sub == 200) {
      backAt = f.t;
      break;
    }
  EXPECT_GE(backAt, 60000 + 32000);
  EXPECT_LT(backAt, 60000 + 32000 + 100);
  EXPECT_EQ(Stay(tr, kDemoStart, 1).front().t, menu.back().t + 40);
}

TEST(Scenarios, DroppedMusicPlaysInTheDemonstrationAndPreviewsInTheMusicMenu) {
  ScenarioRun r = RunScenario("drop", "drop_music.txt", 20000);
  ASSERT_EQ(r.exitCode, 0) << test::ReadAll(r.dir + "out.txt");
  const Trace& tr = r.trace;
  // On the demonstration's play: the tunes, sorted, start at once, and the
  // play goes on in continuous play.
  EXPECT_EQ(MusicOps(tr, 3000, 3001),
            (std::vector<std::string>{"stop", "close", "open Z02.mid", "play"}));
  std::vector<Frame> demo = Stay(tr, kDemoPlay);
  ASSERT_FALSE(demo.empty());
  EXPECT_GT(demo.back().t, 3000);
  EXPECT_EQ(demo.back().mode, 6);
  // A text file alone: effect 51. In the mode menu a drop joins the list
  // with effect 30 and plays nothing.
  EXPECT_EQ(SoundEffects(tr, 3500, 3501), (std::vector<long>{51}));
  EXPECT_EQ(SoundEffects(tr, 11000, 11001), (std::vector<long>{30}));
  EXPECT_TRUE(MusicOps(tr, 11000, 11001).empty());
  // The waiting music menu previews the dropped tune at once, named in the
  // caption.
  std::vector<Frame> musicMenu = Stay(tr, kMusicMenu);
  ASSERT_FALSE(musicMenu.empty());
  EXPECT_EQ(MusicOps(tr, 17000, 17100), (std::vector<std::string>{"open Z05.mid", "play"}));
  bool named = false;
  for (const Event& e : tr.events)
    if (e.Is("caption") && e.Num("t") >= 17000 &&
        e.Str("text").find("Z05.mid") != std::string::npos)
      named = true;
  EXPECT_TRUE(named);
}

}  // namespace
}  // namespace kelvane
