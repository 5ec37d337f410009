#include "app/frame_pacing.h"

#include <algorithm>

#include "app/game.h"
#include "app/idle_timeouts.h"
#include "app/scenes.h"
#include "app/trace.h"
#include "graphics/sound_effect.h"
#include "music/music_timer.h"

namespace kelvane {
namespace {

// Music end timer: bgmLength is cleared first, so it fires once from
// whichever driver sees it first.
void CheckMusicEndTimer(Game& g, uint32_t now) {
  if (g.st.bgmLength != 0 && TickReached(now, g.st.bgmEndTick)) {
    g.st.bgmLength = 0;
    MusicEndTimerFired(g);
  }
}

void StepIfDue(Game& g, uint32_t now) {
  if (now - g.st.lastFrameTick >= g.st.frameInterval) {
    FrameStep(g);
    g.st.lastFrameTick = now;
  }
}

}  // namespace

void FrameStep(Game& g) {
  ++g.frameStepCount;
  if (g.trace) g.trace->Frame(g);
  RunSceneHandler(g);
  for (JudgeListener* l : g.judges.listeners) l->OnFrame(g);
}

void Timer1Timer(Game& g) {
  if (g.st.closeRequested) g.pf.window->Close(FormId::FM);
  if (g.st.halted) return;
  uint32_t now = g.Now();
  CheckMusicEndTimer(g, now);
  if (g.st.halted) return;
  if (g.st.flickerUntil != 0 && TickReached(now, g.st.flickerUntil)) g.st.flickerUntil = 0;
  CheckIdleTimeouts(g, now);
  if (g.st.halted) return;
  StepIfDue(g, now);
}

void AppEvIdle(Game& g, bool& done) {
  if (g.st.halted) return;
  uint32_t now = g.Now();
  CheckMusicEndTimer(g, now);
  if (g.st.halted) return;
  StepIfDue(g, now);
  done = false;
}

void ToggleIdlePump(Game& g) {
  g.st.idlePump = !g.st.idlePump;
  g.pf.app->SetIdleHooked(g.st.idlePump != 0);
  PlaySoundEffect(g, g.st.idlePump ? 71 : 51);
}

uint32_t NextIdleDeadline(const Game& g) {
  uint32_t frame = g.st.lastFrameTick + g.st.frameInterval;
  if (g.st.bgmLength != 0 && static_cast<int32_t>(g.st.bgmEndTick - frame) < 0) return g.st.bgmEndTick;
  return frame;
}

std::optional<uint32_t> NextTimerDeadline(const Game& g, uint32_t now) {
  if (g.st.closeRequested) return now;
  if (g.st.halted) return std::nullopt;
  // Waits from now, each read the way its check reads it.
  const uint32_t sinceFrame = now - g.st.lastFrameTick;
  uint32_t wait = sinceFrame >= g.st.frameInterval ? 0 : g.st.frameInterval - sinceFrame;
  auto until = [&](uint32_t deadline) {
    const int32_t ahead = static_cast<int32_t>(deadline - now);
    wait = std::min(wait, ahead < 0 ? 0u : static_cast<uint32_t>(ahead));
  };
  if (g.st.bgmLength != 0) until(g.st.bgmEndTick);
  if (g.st.flickerUntil != 0) until(g.st.flickerUntil);
  if (std::optional<uint32_t> key = IdleTimeoutDeadline(g)) until(*key);
  return now + wait;
}

}  // namespace kelvane
