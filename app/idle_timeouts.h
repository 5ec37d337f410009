// Idle time-outs: when nobody touches keyboard or mouse for a while, the game
// presses a key itself at certain waiting points, so an unattended game moves
// on from prompts, menus and results.
#pragma once

#include <cstdint>
#include <optional>

namespace kelvane {

struct Game;

inline constexpr uint32_t kShortTimeout = 32000;
inline constexpr uint32_t kLongTimeout = 64000;
inline constexpr uint32_t kVeryLongTimeout = 96000;

// Called on every Timer1 tick with the tick it read.
void CheckIdleTimeouts(Game& g, uint32_t now);
// The tick at which CheckIdleTimeouts would press a key, if it waits here.
std::optional<uint32_t> IdleTimeoutDeadline(const Game& g);
// A key press and release through the main window's handlers.
void SynthesizeKey(Game& g, int vk);
// The same, with the input activity level raised for the key's duration.
void SynthesizeKeyEngaged(Game& g, int vk);

}  // namespace kelvane
