#include "coach/coach_state.h"

#include <ctime>

#include "app/game.h"
#include "app/trace.h"
#include "flow/music_menu.h"
#include "flow/record_slots.h"
#include "music/music_player.h"

namespace kelvane {
namespace {

constexpr uint8_t kComputerTurn = 1;
constexpr uint8_t kHumanTurn = 2;
constexpr int kSaveFrameMs = 40;

bool IsHuman(const Game& g, int player) {
  switch (g.stage.vsOrder) {
    case 1: return player == 2;
    case 3: return true;
    default: return player == 1;
  }
}

bool InDemo(const Game& g) {
  return g.st.sceneCode == scene::kDemoStart || g.st.sceneCode == scene::kDemoPlay;
}

std::string Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &local);
  return buf;
}

// The key that types a command digit, as the character faces now.
std::string KeyName(const Game& g, int digit, const Translate& tr) {
  const bool right = g.motion.facesRight != 0;
  switch (digit) {
    case 1: return Tr(tr, KELVANE_TEXT("Coach", "Up"));
    case 2: return right ? Tr(tr, KELVANE_TEXT("Coach", "Right")) : Tr(tr, KELVANE_TEXT("Coach", "Left"));
    case 3: return Tr(tr, KELVANE_TEXT("Coach", "Down"));
    case 4: return right ? Tr(tr, KELVANE_TEXT("Coach", "Left")) : Tr(tr, KELVANE_TEXT("Coach", "Right"));
    case 5: return "Y";
    case 6: return "N";
    default: return "?";
  }
}

// The keys typed so far of the command in entry.
std::string TypedKeys(const Game& g, const Translate& tr) {
  std::string out;
  for (int32_t place = 1000; place >= 1 && place > g.cmd.commandWeight; place /= 10) {
    const int digit = (g.cmd.commandCode / place) % 10;
    if (digit == 0) continue;
    if (!out.empty()) out += " ";
    out += KeyName(g, digit, tr);
  }
  return out;
}

std::string ModeName(const std::string& mode, const Translate& tr) {
  if (mode == "normal-course") return Tr(tr, KELVANE_TEXT("Coach", "normal course"));
  if (mode == "hard-course") return Tr(tr, KELVANE_TEXT("Coach", "hard course"));
  if (mode == "two-players") return Tr(tr, KELVANE_TEXT("Coach", "two players"));
  return Tr(tr, KELVANE_TEXT("Coach", "free match"));
}

std::string MusicItemName(int item, const Translate& tr) {
  switch (item) {
    case music_menu::kItemStart: return Tr(tr, KELVANE_TEXT("Coach", "start the match"));
    case music_menu::kItemPrevious: return Tr(tr, KELVANE_TEXT("Coach", "previous tune"));
    case music_menu::kItemNext: return Tr(tr, KELVANE_TEXT("Coach", "next tune"));
    case music_menu::kItemPreview: return Tr(tr, KELVANE_TEXT("Coach", "listen to the tune"));
    case music_menu::kItemStop: return Tr(tr, KELVANE_TEXT("Coach", "stop the tune"));
    default: return Tr(tr, KELVANE_TEXT("Coach", "next music source"));
  }
}

std::string BaseName(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string PlayPrompt(Game& g, const Translate& tr) {
  if (g.stage.replayMode) return Tr(tr, KELVANE_TEXT("Coach", "A saved run plays back — watch"));
  if (g.st.playMode == kComputerTurn)
    return Tr(tr, KELVANE_TEXT("Coach", "The computer's turn — watch its moves below"));
  if (g.st.playMode != kHumanTurn) return {};
  const CommandState& c = g.cmd;
  if (c.commandWeight == kLandingPlace && c.landingKey != 0)
    return Arg(Tr(tr, KELVANE_TEXT("Coach", "Landing: press %1 now for a bonus")),
               {KeyName(g, c.landingKey, tr)});
  const std::string typed = TypedKeys(g, tr);
  if (!typed.empty())
    return Arg(Tr(tr, KELVANE_TEXT("Coach", "Typed: %1 — the move starts after a short pause")),
               {typed});
  return Tr(tr, KELVANE_TEXT("Coach",
                             "Type a command: up to four of the arrows, Y and N. "
                             "Return ends the turn early for a time bonus"));
}

}  // namespace

std::string PlayerName(const Game& g, int player, const Translate& tr) {
  if (InDemo(g)) return Tr(tr, KELVANE_TEXT("Coach", "Demonstration"));
  if (g.stage.vsOrder == 3)
    return player == 2 ? Tr(tr, KELVANE_TEXT("Coach", "Player 2"))
                       : Tr(tr, KELVANE_TEXT("Coach", "Player 1"));
  return IsHuman(g, player) ? Tr(tr, KELVANE_TEXT("Coach", "You"))
                            : Tr(tr, KELVANE_TEXT("Coach", "Computer"));
}

std::string ReasonText(JudgeWhy why, int repeat, const Translate& tr) {
  switch (why) {
    case JudgeWhy::kFirstTime: return Tr(tr, KELVANE_TEXT("Coach", "first time"));
    case JudgeWhy::kRepeat:
      switch (repeat) {
        case 0:
        case 1: return Tr(tr, KELVANE_TEXT("Coach", "repeat"));
        case 2: return Tr(tr, KELVANE_TEXT("Coach", "3rd time of late: 1/8"));
        case 3: return Tr(tr, KELVANE_TEXT("Coach", "4th time of late: -1"));
        default: return Tr(tr, KELVANE_TEXT("Coach", "5th time in a row: loses half"));
      }
    case JudgeWhy::kLandingHit: return Tr(tr, KELVANE_TEXT("Coach", "Landing hit"));
    case JudgeWhy::kLandingMissed: return Tr(tr, KELVANE_TEXT("Coach", "Landing missed"));
    case JudgeWhy::kFall: return Tr(tr, KELVANE_TEXT("Coach", "Fell"));
    case JudgeWhy::kBonus: return Tr(tr, KELVANE_TEXT("Coach", "time bonus for ending early"));
    case JudgeWhy::kReset: return Tr(tr, KELVANE_TEXT("Coach", "new match"));
    case JudgeWhy::kHeadStart: return Tr(tr, KELVANE_TEXT("Coach", "head start"));
  }
  return {};
}

std::string PromptText(Game& g, const Translate& tr) {
  const GameState& st = g.st;
  const int sub = st.subStep();
  switch (st.sceneCode) {
    case scene::kOpening:
    case scene::kOpeningLogo:
      return Tr(tr, KELVANE_TEXT("Coach", "Any key opens the menu"));
    case scene::kModeMenu:
      return Tr(tr, KELVANE_TEXT("Coach",
                                 "Menu: Left and Right choose, Return confirms, N goes back. "
                                 "The pointer moves the menu cursor too"));
    case scene::kMusicMenu:
      return Arg(Tr(tr, KELVANE_TEXT("Coach",
                                     "Music menu: %1 — arrows choose, Return confirms, N goes back")),
                 {MusicItemName(g.musicMenu.menuItem, tr)});
    case scene::kStageStart1:
    case scene::kStageStart2:
      if (sub == 100 && st.playMode == kHumanTurn) {
        const std::string typed = TypedKeys(g, tr);
        if (!typed.empty())
          return Arg(Tr(tr, KELVANE_TEXT("Coach", "Opening command: %1 — Return starts")), {typed});
        return Tr(tr, KELVANE_TEXT("Coach", "Your turn — Return starts"));
      }
      if (st.playMode == kComputerTurn)
        return Tr(tr, KELVANE_TEXT("Coach", "The computer's turn is next"));
      return Tr(tr, KELVANE_TEXT("Coach", "Get ready"));
    case scene::kPlay1:
    case scene::kPlay2:
      return PlayPrompt(g, tr);
    case scene::kSaveSlot:
      if (sub < slot_scene::kSaveCountEnd) {
        const int ms = (slot_scene::kSaveCountEnd - sub) * kSaveFrameMs;
        return Arg(Tr(tr, KELVANE_TEXT("Coach", "Save this run? Shift or click — %1 s left")),
                   {std::to_string((ms + 999) / 1000)});
      }
      return Tr(tr, KELVANE_TEXT("Coach", "Choose a slot with the arrows, Return saves"));
    case scene::kLoadSlot:
      return Tr(tr, KELVANE_TEXT("Coach", "Choose a saved run with the arrows, Return loads it"));
    case scene::kMatchResult:
      if (sub == 300)
        return Tr(tr, KELVANE_TEXT("Coach", "Return: the next level; any other key: the menu"));
      return Tr(tr, KELVANE_TEXT("Coach", "Return goes back to the menu"));
    case scene::kExitQuestion:
      return Tr(tr, KELVANE_TEXT("Coach", "Quit? Y or Return quits, N stays"));
    case scene::kDemoStart:
    case scene::kDemoPlay:
      return Tr(tr, KELVANE_TEXT("Coach", "Demonstration — Return ends it"));
    default:
      return {};
  }
}

void CoachState::OnJudge(Game&, const JudgeEvent& e) {
  if (e.why == JudgeWhy::kReset) {
    if (e.player == 1) StartMatch();
    return;
  }
  moves_.push_front({e.player, e.points, e.why, e.repeat, e.move});
  while (moves_.size() > kMovesShown) moves_.pop_back();
  TurnTally& t = turns_[e.player == 2 ? 1 : 0];
  t.player = e.player;
  t.total = e.total;
  switch (e.why) {
    case JudgeWhy::kFirstTime: ++t.firsts; break;
    case JudgeWhy::kRepeat: ++t.repeats; break;
    case JudgeWhy::kLandingHit: ++t.landingsHit; break;
    case JudgeWhy::kLandingMissed: ++t.landingsMissed; break;
    case JudgeWhy::kFall: ++t.falls; break;
    default: t.bonus += e.points; break;
  }
  if ((e.why == JudgeWhy::kFirstTime || e.why == JudgeWhy::kRepeat) &&
      (t.bestMove.empty() || e.points > t.bestPoints)) {
    t.bestPoints = e.points;
    t.bestMove = e.move;
  }
}

void CoachState::StartMatch() {
  moves_.clear();
  turns_ = {};
  newBestPlayers_.clear();
  resultShown_ = false;
}

std::string CoachState::ModeKey(Game& g) const {
  if (g.stage.vsOrder == 3) return "two-players";
  if (g.stage.matchRule == 1) return "normal-course";
  if (g.stage.matchRule == 3) return "hard-course";
  return "free-match";
}

void CoachState::OnFrame(Game& g) {
  const int8_t s = g.st.sceneCode;
  // The data folder is known from the first frame on.
  if (!bestsLoaded_ && keepBests_) {
    bests_ = LoadBests(*g.pf.files, g.st.dataFolder);
    bestsLoaded_ = true;
  }
  if ((s == scene::kPlay1 || s == scene::kPlay2) && g.stage.replayMode)
    turns_[g.stage.currentPlayer == 2 ? 1 : 0].replayed = true;
  // Before the first turn's music opens, the tune is the one its source
  // names.
  if (s == scene::kStageStart1) {
    std::optional<std::string> next = TuneName(g);
    tune_ = next ? BaseName(*next) : std::string();
  }
  if (s == scene::kMatchResult && lastScene_ != scene::kMatchResult) EndMatch(g);
  lastScene_ = s;
}

void CoachState::EndMatch(Game& g) {
  resultShown_ = true;
  newBestPlayers_.clear();
  if (!keepBests_ || tune_.empty()) return;
  const std::string day = today ? today() : Today();
  bool changed = false;
  for (int player = 1; player <= 2; ++player) {
    const TurnTally& t = turns_[static_cast<size_t>(player - 1)];
    if (!IsHuman(g, player) || t.replayed || t.player == 0) continue;
    if (bests_.Offer(tune_, ModeKey(g), g.cmd.scoreSlots[static_cast<size_t>(player)], day)) {
      newBestPlayers_.push_back(player);
      changed = true;
    }
  }
  if (changed) SaveBests(*g.pf.files, g.st.dataFolder, bests_);
}

CoachPanel CoachState::Render(Game& g, const Translate& tr) const {
  CoachPanel p;
  p.prompt = PromptText(g, tr);
  for (const Move& m : moves_) {
    std::string line = m.name.empty() ? ReasonText(m.why, m.repeat, tr)
                                      : m.name + " " + SignedPoints(m.points) + " · " +
                                            ReasonText(m.why, m.repeat, tr);
    if (m.name.empty() && m.points != 0) line += " " + SignedPoints(m.points);
    if (g.stage.vsOrder == 3 && !InDemo(g)) line = PlayerName(g, m.player, tr) + ": " + line;
    p.moves.push_back(line);
  }
  const bool inMatch = !InDemo(g) && (g.st.sceneCode >= scene::kStageStart1 &&
                                      g.st.sceneCode <= scene::kMatchResult);
  if (g.st.sceneCode == scene::kMatchResult && resultShown_) {
    for (const TurnTally& t : turns_) {
      if (t.player == 0) continue;
      std::string line = Arg(
          Tr(tr, KELVANE_TEXT("Coach",
                              "%1: %2 points — %3 first-time moves, %4 repeats, landings %5 hit "
                              "and %6 missed, %7 falls")),
          {PlayerName(g, t.player, tr), std::to_string(t.total), std::to_string(t.firsts),
           std::to_string(t.repeats), std::to_string(t.landingsHit),
           std::to_string(t.landingsMissed), std::to_string(t.falls)});
      if (!t.bestMove.empty())
        line += Arg(Tr(tr, KELVANE_TEXT("Coach", "; best move %1 (%2)")),
                    {t.bestMove, SignedPoints(t.bestPoints)});
      p.summary.push_back(line);
    }
  }
  if (inMatch && keepBests_ && !tune_.empty()) {
    if (!newBestPlayers_.empty()) {
      p.best = Arg(Tr(tr, KELVANE_TEXT("Coach", "New best! %1")),
                   {PlayerName(g, newBestPlayers_.front(), tr)});
    } else if (const BestScore* b = bests_.Find(tune_, ModeKey(g))) {
      p.best = Arg(Tr(tr, KELVANE_TEXT("Coach", "Best for %1 (%2): %3 on %4")),
                   {tune_, ModeName(b->mode, tr), std::to_string(b->score), b->date});
    } else {
      p.best = Arg(Tr(tr, KELVANE_TEXT("Coach", "No best yet for %1 (%2)")),
                   {tune_, ModeName(ModeKey(g), tr)});
    }
  }
  return p;
}

std::string PanelJson(const CoachPanel& p) {
  auto list = [](const std::vector<std::string>& items) {
    std::string out = "[";
    for (const std::string& s : items) out += (out.size() > 1 ? "," : "") + JsonString(s);
    return out + "]";
  };
  return "{\"prompt\":" + JsonString(p.prompt) + ",\"moves\":" + list(p.moves) +
         ",\"summary\":" + list(p.summary) + ",\"best\":" + JsonString(p.best) + "}";
}

void CoachLog::OnFrame(Game& g) {
  coach_.OnFrame(g);
  std::string panel = PanelJson(coach_.Render(g, {}));
  if (panel == last_) return;
  last_ = panel;
  std::fprintf(out_, "{\"t\":%u,\"scene\":%d,\"sub\":%d,\"panel\":%s}\n", g.Now(),
               static_cast<int>(static_cast<uint8_t>(g.st.sceneCode)), g.st.subStep(),
               panel.c_str());
}

}  // namespace kelvane
