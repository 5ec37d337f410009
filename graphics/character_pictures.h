// The character pictures: scheme 0 from its file, schemes 1 and 2 generated
// from it by swapping palette colours (and cached as "T" / "U" + name), and
// the 1-bit mask. Loading shows its progress in the main window's caption
// and lets window messages run, so the window can be closed meanwhile.
#pragma once

#include <optional>
#include <string>

#include "graphics/bmp_file.h"

namespace kelvane {

struct Game;
class Surface;

// The four surfaces of one picture: schemes 0, 1, 2 and the mask.
struct PictureSheets {
  Surface* scheme[3];
  Surface* mask;
};

// Loads name + ".bmp" and builds the sheets for schemes 0..colourMax and the
// mask. Does nothing once the game is halted or a close was asked for.
// Returns false when the picture cannot be loaded or is smaller than the
// given size (the user has been told "FILE: reason").
bool LoadCharacterPicture(Game& g, const std::string& name, PictureSheets sheets,
                          std::optional<PictureSize> size = std::nullopt);
// The main picture "Y_" into mainSheets.
bool LoadMainPicture(Game& g);

// One generation step: where scheme0 shows colour b of scheme 0, dest gets
// colour b of scheme s (ORed onto what it holds).
void RecolourPass(Game& g, Surface& dest, Surface& scheme0, int s, int b);

// "Now Loading " groupsToLoad, remaining pictures of the group and the
// picture's countdown; then counts the countdown down.
void ShowLoadingProgress(Game& g);

// Runs pending window messages once with the game halted, so that no frame
// step or input runs inside the loading.
void PumpMessagesWhileLoading(Game& g);

}  // namespace kelvane
