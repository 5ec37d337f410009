// The keys that act when they are released: the play keys of the play
// scenes and the global keys of every scene (window, view, backdrop, music,
// colour and option keys).
#pragma once

#include "platform/platform.h"

namespace kelvane {

struct Game;

// The automatic zoom's countdown lies in 4 .. 53 frames during play.
constexpr int kZoomLowest = 4;
constexpr int kZoomUpper = 54;  // exclusive

// Return, Pause, Space, End end the song early (with a time bonus for the
// computer), C the colour, D the view, M the tune, S the automatic zoom.
// Only while a song plays (sub-step -1).
void PlayKeyUp(Game& g, int vk, ShiftState shift);

// Tab, Ctrl, Page Up/Down, Home, V and F1, in every scene.
void GlobalKeyUp(Game& g, int vk, ShiftState shift);

// The backdrop after Page Up (step +1) or Page Down (step -1): numbered
// files 0 .. fileCount-1 and, with Shift or Alt, the plain colours
// -plainCount .. -1 as well.
int NextBackdropNumber(int current, int step, bool withColours, int fileCount, int plainCount);

// The points for ending the song early: 3, 1 or 10 per tenth of a second
// left, by match rule (normal course, free match, hard course).
int EarlyEndBonus(uint32_t msLeft, int matchRule);

}  // namespace kelvane
