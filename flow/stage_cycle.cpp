#include "flow/stage_cycle.h"

#include "app/game.h"

namespace kelvane {

void StageStartStep(Game&) {}

void PlayStep(Game&) {}

void EndStage(Game& g) {
  GameState& st = g.st;
  st.lastFrameTick = g.Now();
  st.prevScene = static_cast<uint8_t>(st.sceneCode);
  st.sceneCode = static_cast<int8_t>(st.sceneCode + 1);
}

int ComputerKey(Game&, int digit) {
  switch (digit) {
    case 0: return 38;
    case 2: return 40;
    case 4: return 89;
    default: return 78;
  }
}

}  // namespace kelvane
