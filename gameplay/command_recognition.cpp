#include "gameplay/command_recognition.h"

#include "app/game.h"
#include "gameplay/action_engine.h"

namespace kelvane {

void RecognizeCommand(Game& g) {
  ResetAction(g);
  g.motion.currentRow = 0;  // no command typed: the idle row
}

}  // namespace kelvane
