#include "gameplay/command_recognition.h"

#include <algorithm>

#include "app/game.h"
#include "flow/run_record.h"
#include "gameplay/action_engine.h"
#include "gameplay/command_list_items.h"
#include "gameplay/scoring.h"

namespace kelvane {
namespace {

constexpr int32_t kFirstPlace = 1000;
constexpr int8_t kLandingWindowFrames = 8;
constexpr int kPromptAwaited = 6;  // prompt icon: a landing key is awaited
constexpr int kComputerTries = 4;
constexpr int kRetryChance = 12;  // a performed code stands on 1 in 12

bool RowInTable(const Game& g, int row) {
  return row >= 0 && row <= g.actions.lastRow;
}

bool GroupInTable(int group) {
  return group >= 0 && group < CommandState::kCodes;
}

// The longest prefix of the code that the command table knows.
void MatchLongestPrefix(Game& g, int32_t code) {
  if (code == 0) {
    g.motion.currentRow = 0;
    return;
  }
  for (int32_t place = 1000; place >= 1; place /= 10) {
    const int32_t prefix = (code / place) * place;
    if (prefix < 0 || prefix > ActionData::kMaxCommandCode) continue;
    const int16_t row = g.actions.codeToRow[static_cast<size_t>(prefix)];
    if (row != 0) {
      g.motion.currentRow = row;
      g.cmd.matchedCode = prefix;
    }
  }
}

int CommandPoints(Game& g, const ActionRow& row, int32_t code, ScoreReason& reason) {
  CommandState& c = g.cmd;
  reason.row = &row;
  reason.code = code;
  if (code == kFallCommand) {
    reason.why = JudgeWhy::kFall;
    return -c.fallPenalty;
  }
  const bool known = GroupInTable(row.group) && c.groupDone[static_cast<size_t>(row.group)];
  if (known) {
    const int n =
        static_cast<int>(std::count(c.recentGroups.begin(), c.recentGroups.end(), row.group));
    reason.why = JudgeWhy::kRepeat;
    reason.repeat = n;
    return RepeatPoints(row.score + row.scoreExtra, n);
  }
  reason.why = JudgeWhy::kFirstTime;
  // A group number outside the table cannot be marked, so it always counts
  // as a first time.
  if (GroupInTable(row.group)) c.groupDone[static_cast<size_t>(row.group)] = 1;
  return row.firstScore + row.scoreExtra;
}

void ScoreCommand(Game& g, const ActionRow& row, int32_t code) {
  CommandState& c = g.cmd;
  ScoreReason reason;
  const int points = CommandPoints(g, row, code, reason);
  std::rotate(c.recentGroups.begin(), c.recentGroups.begin() + 1, c.recentGroups.end());
  c.recentGroups.back() = row.group;
  AddPoints(g, points, reason);
}

void SetUpLanding(Game& g, const ActionRow* row) {
  CommandState& c = g.cmd;
  // A row outside the table asks for nothing.
  c.landingKey = row ? static_cast<uint8_t>(row->landing & 0xFF) : 0;
  c.fallPenalty = row ? row->fall : 1;
  if (c.landingKey != 0) {
    c.commandWeight = kLandingPlace;
    ShowLandingPrompt(g, kPromptAwaited);
    c.landingPromptTimer = kLandingWindowFrames;
    c.landingBonus = static_cast<uint8_t>(row->bn & 0xFF);
  } else {
    c.commandWeight = kFirstPlace;
  }
}

}  // namespace

int RepeatPoints(int points, int n) {
  switch (n) {
    case 2:
      return std::max(points / 8, 1);
    case 3:
      return -1;
    case 4:
      return std::min(-(points / 2), -3);
    default:
      return points;
  }
}

int32_t ChooseComputerCommand(Game& g) {
  FillCommandList(g);
  const CommandState& c = g.cmd;
  if (c.listItems.empty()) return 0;
  int32_t code = 0;
  for (int attempt = 1; attempt <= kComputerTries; ++attempt) {
    const int pick = g.Rand(static_cast<int>(c.listItems.size()));
    code = c.listItems[static_cast<size_t>(pick)].code;
    if (attempt == kComputerTries || !c.codeDone[static_cast<size_t>(code)]) break;
    if (g.Rand(kRetryChance) == 0) break;
  }
  return code;
}

void RecognizeCommand(Game& g) {
  CommandState& c = g.cmd;
  Motion& m = g.motion;

  CommandCompleted(g);
  c.landingPromptTimer = 0;
  ClearKeys(g);
  ResetAction(g);
  c.cpuDone = 0;

  // A landing key that was missed, or never typed, makes the command a fall.
  if (c.landingKey != 0 && c.commandCode / kLandingPlace != c.landingKey) {
    c.commandCode = kFallCommand;
  } else {
    c.fallPenalty = 1;
  }
  c.commandCode %= kLandingPlace;
  c.commandWeight = kFirstPlace;

  MatchLongestPrefix(g, c.commandCode);
  c.lastCommand = static_cast<int16_t>(c.commandCode);

  const bool rowKnown = RowInTable(g, m.currentRow);
  const ActionRow* row =
      rowKnown ? &g.actions.actionRows[static_cast<size_t>(m.currentRow)] : nullptr;
  if (m.currentRow != 0 && row) ScoreCommand(g, *row, c.commandCode);
  SetUpLanding(g, row);
  c.commandCode = 0;

  if (g.st.playMode != 2) {
    if (c.matchedCode > 0 && c.matchedCode < CommandState::kCodes)
      c.codeDone[static_cast<size_t>(c.matchedCode)] = 1;
    c.matchedCode = ChooseComputerCommand(g);
  }
}

}  // namespace kelvane
