#include "music/music_timer.h"

#include "app/game.h"
#include "app/trace.h"

namespace kelvane {

void MusicEndTimerFired(Game& g) {
  if (g.trace) g.trace->Music(g.Now(), "end", g.st.bgmLoop ? "\"loop\":1" : "\"loop\":0");
  // PlayLooped and MusicEnded join here with the music player.
}

}  // namespace kelvane
