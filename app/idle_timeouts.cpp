#include "app/idle_timeouts.h"

#include "app/frame_pacing.h"
#include "app/game.h"
#include "gameplay/keyboard.h"

namespace kelvane {
namespace {

constexpr int kKeyN = 78;
constexpr int kKeyY = 89;
constexpr int kKeySpace = 32;

enum class How { Plain, Engaged };

struct Timeout {
  uint32_t ms;
  int vk;
  How how;
};

// The first matching row of the table, if any.
bool FindTimeout(const GameState& st, Timeout& t) {
  int16_t sub = st.subStep();
  switch (st.sceneCode) {
    case scene::kModeMenu:
      if (sub >= 33 && sub <= 90) return t = {kShortTimeout, kKeyN, How::Plain}, true;
      if (sub == 251) return t = {kLongTimeout, kKeyN, How::Plain}, true;
      return false;
    case scene::kMusicMenu:
      if (sub == 10) return t = {kVeryLongTimeout, kKeyN, How::Plain}, true;
      return false;
    case scene::kLoadSlot:
      if (sub == 1 || sub == 111) return t = {kVeryLongTimeout, kKeyN, How::Engaged}, true;
      return false;
    case scene::kSaveSlot:
      if (sub == 101 || sub == 111) return t = {kVeryLongTimeout, kKeyN, How::Engaged}, true;
      return false;
    case scene::kStageStart1:
    case scene::kStageStart2:
    case scene::kExitQuestion:
    case scene::kDemoStart:
      if (sub == 100 && st.playMode == 2) return t = {kVeryLongTimeout, kKeySpace, How::Plain}, true;
      if (sub == 200) return t = {kShortTimeout, kKeyN, How::Plain}, true;
      return false;
    case scene::kMatchResult:
      if (sub == 300) return t = {kShortTimeout, kKeyY, How::Plain}, true;
      if (sub == 302 || sub == 400) return t = {kLongTimeout, kKeyN, How::Plain}, true;
      return false;
    default:
      return false;
  }
}

}  // namespace

std::optional<uint32_t> IdleTimeoutDeadline(const Game& g) {
  Timeout t;
  if (!FindTimeout(g.st, t)) return std::nullopt;
  return g.st.lastInputTick + t.ms;
}

void CheckIdleTimeouts(Game& g, uint32_t now) {
  Timeout t;
  if (!FindTimeout(g.st, t)) return;
  if (!TickReached(now, g.st.lastInputTick + t.ms)) return;
  if (t.how == How::Engaged)
    SynthesizeKeyEngaged(g, t.vk);
  else
    SynthesizeKey(g, t.vk);
}

void SynthesizeKey(Game& g, int vk) {
  FormKeyDown(g, FormId::FM, vk, ShiftState{});
  FormKeyUp(g, FormId::FM, vk, ShiftState{});
  g.st.playReturnFlag = 0;
}

void SynthesizeKeyEngaged(Game& g, int vk) {
  uint8_t saved = g.st.mouseLevel;
  g.st.mouseLevel = 2;
  SynthesizeKey(g, vk);
  g.st.mouseLevel = saved;
}

}  // namespace kelvane
