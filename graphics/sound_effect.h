// Numbered sound effects "Y_q" + two digits + ".wav" of the data folder.
#pragma once

namespace kelvane {

struct Game;

// Plays effect n asynchronously, cutting off the one playing; n >= 100 uses
// its last two digits; a missing file plays nothing.
void PlaySoundEffect(Game& g, int n);
void StopSoundEffect(Game& g);

}  // namespace kelvane
