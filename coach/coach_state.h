// The coach beside the play area: what to press now, the last judged moves
// with their reasons, each turn's breakdown at the result and the player's
// bests. Both hosts render the same CoachPanel; only the drawing differs.
#pragma once

#include <array>
#include <cstdio>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "coach/coach_text.h"
#include "coach/judge.h"
#include "coach/personal_bests.h"

namespace kelvane {

struct Game;

// One turn's judged moves, counted.
struct TurnTally {
  int player = 0;  // 0: no turn played yet
  int firsts = 0, repeats = 0, landingsHit = 0, landingsMissed = 0, falls = 0;
  int bonus = 0;        // the early end's time bonus and any head start
  int bestPoints = 0;   // the move that gave most
  std::string bestMove;
  int32_t total = 0;
  bool replayed = false;  // played back from a record, not by hand
};

// The panel as text, in the player's language.
struct CoachPanel {
  std::string prompt;                // what to press now
  std::vector<std::string> moves;    // the last judged moves, newest first
  std::vector<std::string> summary;  // at the result: one line per turn
  std::string best;                  // the best to beat, or "New best!"
  bool operator==(const CoachPanel&) const = default;
};

class CoachState : public JudgeListener {
 public:
  static constexpr size_t kMovesShown = 6;

  // keepBests: the bests are read from and written to the data folder.
  explicit CoachState(bool keepBests = false) : keepBests_(keepBests) {}

  void OnJudge(Game& g, const JudgeEvent& e) override;
  void OnFrame(Game& g) override;

  CoachPanel Render(Game& g, const Translate& tr) const;

  // The day stamped on a new best; tests set a fixed one.
  std::function<std::string()> today;

  const std::array<TurnTally, 2>& turns() const { return turns_; }
  const PersonalBests& bests() const { return bests_; }

 private:
  struct Move {
    int player;
    int points;
    JudgeWhy why;
    int repeat;
    std::string name;
  };
  void StartMatch();
  void EndMatch(Game& g);
  std::string ModeKey(Game& g) const;

  bool keepBests_;
  bool bestsLoaded_ = false;
  PersonalBests bests_;
  std::deque<Move> moves_;
  std::array<TurnTally, 2> turns_{};
  int8_t lastScene_ = 0;
  bool resultShown_ = false;
  std::vector<int> newBestPlayers_;  // players whose score of this match is a new best
  std::string tune_;                 // the match's tune, kept for its bests
};

// The panel as one JSON object: {"prompt":…,"moves":[…],"summary":[…],"best":…}.
std::string PanelJson(const CoachPanel& p);

// Follows a game and writes its panel, in English, to a file as a JSON line
// each time it changes (the headless run's --coach FILE).
class CoachLog : public JudgeListener {
 public:
  CoachLog(std::FILE* out, bool keepBests) : out_(out), coach_(keepBests) {}
  void OnJudge(Game& g, const JudgeEvent& e) override { coach_.OnJudge(g, e); }
  void OnFrame(Game& g) override;
  CoachState& coach() { return coach_; }

 private:
  std::FILE* out_;
  CoachState coach_;
  std::string last_;
};

// The name the result gives a player: "You", "Computer", "Player 1", "Player 2".
std::string PlayerName(const Game& g, int player, const Translate& tr);
// The reason in words: "first time", "3rd repeat", "landing hit", ...
std::string ReasonText(JudgeWhy why, int repeat, const Translate& tr);
// What to press now, from the scene and its waiting point.
std::string PromptText(Game& g, const Translate& tr);

}  // namespace kelvane
