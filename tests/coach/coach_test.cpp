// The coach as a player meets it: a headless match with the coach's panel
// written out, and the bests file under a killed writer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "coach/coach_settings.h"
#include "coach/personal_bests.h"
#include "platform/core/std_files.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

struct PanelLine {
  long t = 0, scene = 0, sub = 0;
  std::string json;
};

std::vector<PanelLine> RunMatch(const std::string& dir) {
  const std::string coach = dir + "coach.jsonl";
  EXPECT_EQ(test::RunCommand(test::GameDir() + "kelvane --headless --data " + dir +
                             " --seed 7 --run-ms 47000 --input " + test::SourceDir() +
                             "tests/scenarios/match_vs_computer.txt --coach " + coach + " > " +
                             dir + "out.txt 2>&1"),
            0)
      << test::ReadAll(dir + "out.txt");
  std::vector<PanelLine> lines;
  std::istringstream in(test::ReadAll(coach));
  for (std::string line; std::getline(in, line);) {
    PanelLine p;
    std::sscanf(line.c_str(), "{\"t\":%ld,\"scene\":%ld,\"sub\":%ld", &p.t, &p.scene, &p.sub);
    p.json = line;
    lines.push_back(p);
  }
  return lines;
}

bool Shows(const std::vector<PanelLine>& lines, long scene, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(), [&](const PanelLine& p) {
    return p.scene == scene && p.json.find(text) != std::string::npos;
  });
}

TEST(Coach, AMatchIsExplainedFromTheFirstPromptToTheResultAndItsBest) {
  const std::string dir = test::MakeDataCopy("coach-match");
  std::vector<PanelLine> lines = RunMatch(dir);
  ASSERT_FALSE(lines.empty());
  // Waiting points: the menus, the human's stage start, the typed opening
  // command, play, the offer to save, the result.
  EXPECT_TRUE(Shows(lines, 2, "Menu: Left and Right choose"));
  EXPECT_TRUE(Shows(lines, 3, "Music menu: next tune"));
  EXPECT_TRUE(Shows(lines, 10, "\"prompt\":\"Your turn — Return starts\""));
  EXPECT_TRUE(Shows(lines, 10, "Opening command: Down N Down Down — Return starts"));
  EXPECT_TRUE(Shows(lines, 11, "Typed: Down"));
  EXPECT_TRUE(Shows(lines, 8, "Save this run? Shift or click — 2 s left"));
  EXPECT_TRUE(Shows(lines, 13, "The computer's turn"));
  // The human's moves are named with their points and reasons; the result
  // breaks both turns down under the names the result means.
  EXPECT_TRUE(Shows(lines, 11, " · first time"));
  EXPECT_TRUE(Shows(lines, 14, "\"summary\":[\"You: "));
  EXPECT_TRUE(Shows(lines, 14, "\",\"Computer: "));
  EXPECT_TRUE(Shows(lines, 10, "No best yet for Z06.mid (free match)"));
  EXPECT_TRUE(Shows(lines, 14, "New best! You"));

  // The best is kept per tune and mode, with its day; the same match again
  // is no new best and the stage start names the best to beat.
  StdFileSystem files;
  PersonalBests bests = LoadBests(files, dir);
  ASSERT_EQ(bests.all().size(), 1u);
  const BestScore& b = bests.all().front();
  EXPECT_EQ(b.tune, "Z06.mid");
  EXPECT_EQ(b.mode, "free-match");
  EXPECT_GT(b.score, 0);
  EXPECT_EQ(b.date.size(), 10u);
  std::vector<PanelLine> again = RunMatch(dir);
  EXPECT_TRUE(Shows(again, 10, "Best for Z06.mid (free match): " + std::to_string(b.score)));
  EXPECT_FALSE(Shows(again, 14, "New best!"));
  EXPECT_EQ(LoadBests(files, dir).Text(), bests.Text());
}

TEST(Coach, BestsSurviveAWriterKilledAtAnyMoment) {
  const std::string dir = test::MakeDataCopy("coach-kill");
  StdFileSystem files;
  PersonalBests start;
  start.Offer("Z01.mid", "free-match", 1, "2026-01-01");
  ASSERT_TRUE(SaveBests(files, dir, start));
  // Each round a child rewrites the file with ever higher scores as fast as
  // it can and is killed; what is left must be one whole file it wrote.
  for (int round = 0; round < 12; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      PersonalBests b = LoadBests(files, dir);
      for (int32_t score = 2;; ++score) {
        b.Offer("Z01.mid", "free-match", score, "2026-01-02");
        b.Offer("Z0" + std::to_string(score % 9 + 1) + ".mid", "hard-course", score, "2026-01-02");
        SaveBests(files, dir, b);
      }
    }
    usleep(static_cast<useconds_t>(3000 + round * 1700));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string text = test::ReadAll(dir + PersonalBests::kFileName);
    const PersonalBests read = PersonalBests::Parse(text);
    ASSERT_EQ(read.Text(), text) << "round " << round << ": a torn file";
    ASSERT_NE(read.Find("Z01.mid", "free-match"), nullptr) << "round " << round;
  }
  // The dead writers' temporaries are cleared away at the next start.
  RemoveStaleTemporaries(dir);
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
  // A damaged line loses that best alone; a lower score never replaces one.
  PersonalBests damaged = PersonalBests::Parse(
      "Kelvane personal bests 1\nZ01.mid\tfree-match\t12x\t2026-01-01\nZ02.mid\thard-course\t40\t"
      "2026-01-01\n");
  ASSERT_EQ(damaged.all().size(), 1u);
  EXPECT_FALSE(damaged.Offer("Z02.mid", "hard-course", 39, "2026-02-02"));
  EXPECT_TRUE(damaged.Offer("Z02.mid", "hard-course", 41, "2026-02-02"));
  EXPECT_EQ(damaged.Find("Z02.mid", "hard-course")->date, "2026-02-02");
  // The coach's own settings: a first start shows the panel and the how-to.
  const CoachSettings first = CoachSettings::Parse("");
  EXPECT_TRUE(first.panelShown);
  EXPECT_FALSE(first.howToSeen);
  EXPECT_EQ(CoachSettings::Parse(CoachSettings{false, true}.Text()).Text(), "panel=0\nhowto=1\n");
}

}  // namespace
}  // namespace kelvane
