#include "music/music_timer.h"

#include "app/game.h"
#include "app/trace.h"
#include "music/music_player.h"

namespace kelvane {

void MusicEndTimerFired(Game& g) {
  if (g.trace) g.trace->Music(g.Now(), "end", g.st.bgmLoop ? "\"loop\":1" : "\"loop\":0");
  if (g.st.bgmLoop) {
    // Restarts by reopening the file, which also re-arms the timer.
    PlayLooped(g, g.st.bgmFileName);
  } else {
    MusicEnded(g);
  }
}

}  // namespace kelvane
