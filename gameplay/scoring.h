// Judging, the score slots and the heads-up display. The display lives in
// the interface picture mainSheets[0], twice: a second copy for the panel's
// mirrored placement, with left and right exchanged.
#pragma once

namespace kelvane {

struct Game;

// Adds points to the running player's score, kept within 0..999999, unless
// the score is locked.
void AddScore(Game& g, int points);
// The points of a command: score, slot 3, redraw.
void AddPoints(Game& g, int points);
// A landing bonus: score, slot 4, redraw.
void AddLandingBonus(Game& g, int points);
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
