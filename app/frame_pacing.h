// The two frame drivers (Timer1 and the idle poll) and the scene dispatcher.
#pragma once

#include <cstdint>
#include <optional>

namespace kelvane {

struct Game;

// Calls the handler of the current scene once.
void FrameStep(Game& g);
// Timer1's handler, every 10 ms.
void Timer1Timer(Game& g);
// The idle handler; sets done to false while it wants to be called again.
void AppEvIdle(Game& g, bool& done);
// The idle pump toggle (Ctrl): hooks or unhooks the idle poll.
void ToggleIdlePump(Game& g);

// A deadline compared with the tick count as a wrapping 32-bit value: true
// once now has reached it, also when the counter wrapped in between.
inline bool TickReached(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(now - deadline) >= 0;
}

// The tick at which the idle poll next has work: the next frame or the end
// of the music, whichever is first. The hosts sleep until then instead of
// spinning.
uint32_t NextIdleDeadline(const Game& g);
// The first tick at which Timer1 has work: a frame, the music's end, the
// flicker's end, an idle time-out or a close asked for (then `now`); none
// while the game is halted. A tick before it does nothing, so a host may
// sleep through the 10 ms ticks until the first one at or after it.
std::optional<uint32_t> NextTimerDeadline(const Game& g, uint32_t now);

}  // namespace kelvane
