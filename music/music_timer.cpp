#include "music/music_timer.h"

#include "app/game.h"

namespace kelvane {

void MusicEndTimerFired(Game&) {
  // PlayLooped and MusicEnded arrive with the music player.
}

}  // namespace kelvane
