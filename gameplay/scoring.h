// Judging, the score slots and the heads-up display. The display lives in
// the interface picture mainSheets[0], twice: a second copy for the panel's
// mirrored placement, with left and right exchanged.
#pragma once

#include "coach/judge.h"

namespace kelvane {

struct Game;
struct ActionRow;

// Why points are given, for the judge's event.
struct ScoreReason {
  JudgeWhy why = JudgeWhy::kFirstTime;
  int repeat = 0;
  int code = 0;
  const ActionRow* row = nullptr;
};

// Adds points to the running player's score, kept within 0..999999, unless
// the score is locked; the judge's event tells the real change.
void AddScore(Game& g, int points, const ScoreReason& reason = {});
// The points of a command: score, slot 3, redraw.
void AddPoints(Game& g, int points, const ScoreReason& reason = {});
// A landing bonus: score, slot 4, redraw.
void AddLandingBonus(Game& g, int points);
// A landing key that earns nothing (wrong, or too late): no points, but the
// player is told.
void MissLanding(Game& g);
// Draws slot 1..4 at both of its places.
void DrawScoreSlot(Game& g, int slot);
// Shows one typed key (0 up, 1 Left key, 2 down, 3 Right key, 4 Y, 5 N) at
// the place commandWeight gives; in the landing place it is judged.
void ShowKey(Game& g, int keySlot);
// The landing prompt icon (6: a landing key is awaited).
void ShowLandingPrompt(Game& g, int icon);
// Erases the typed keys, the landing key, the prompt and slot 4.
void ClearKeys(Game& g);
// Shows a four-digit command code as keys (the opening command).
void ShowCommand(Game& g, int code);

}  // namespace kelvane
