// The music panel of the music menu: the source label, the tune number and
// the count are drawn into the main picture, whose panel cells are then
// blitted onto the stage layers.
#pragma once

namespace kelvane {

struct Game;

// Source label, current index and count into the panel cells of
// mainSheets[0].
void DrawMusicPanel(Game& g);
// DrawMusicPanel, the whole panel (masked) onto the layers, then one step of
// the menu's character animation.
void ShowMusicPanel(Game& g);
// DrawMusicPanel and only the number cell (unmasked) onto the layers.
void ShowTrackDigits(Game& g);
// Blanks the CD lamp square of the window with mainSurface's brush.
void ClearCdLamp(Game& g);

}  // namespace kelvane
