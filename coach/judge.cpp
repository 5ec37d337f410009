#include "coach/judge.h"

#include <algorithm>

#include "app/game.h"
#include "app/trace.h"
#include "platform/core/text_codec.h"

namespace kelvane {

const char* JudgeWhyName(JudgeWhy why) {
  switch (why) {
    case JudgeWhy::kFirstTime: return "first";
    case JudgeWhy::kRepeat: return "repeat";
    case JudgeWhy::kLandingHit: return "landing";
    case JudgeWhy::kLandingMissed: return "landing-missed";
    case JudgeWhy::kFall: return "fall";
    case JudgeWhy::kBonus: return "bonus";
    case JudgeWhy::kReset: return "reset";
    case JudgeWhy::kHeadStart: return "headstart";
  }
  return "?";
}

void JudgeHub::Remove(JudgeListener* l) {
  listeners.erase(std::remove(listeners.begin(), listeners.end(), l), listeners.end());
}

void PublishJudge(Game& g, JudgeEvent e, const ActionRow* row) {
  e.t = g.Now();
  if (row && e.move.empty()) e.move = SjisToUtf8(row->name);
  if (g.trace) g.trace->Judge(e);
  // A listener may remove itself while told.
  const std::vector<JudgeListener*> listeners = g.judges.listeners;
  for (JudgeListener* l : listeners) l->OnJudge(g, e);
}

void SetScore(Game& g, int player, int32_t total, JudgeWhy why) {
  int32_t& score = g.cmd.scoreSlots[player == 2 ? 2 : 1];
  JudgeEvent e;
  e.player = player == 2 ? 2 : 1;
  e.points = total - score;
  e.asked = e.points;
  e.total = total;
  e.why = why;
  score = total;
  PublishJudge(g, std::move(e));
}

}  // namespace kelvane
