#include "app/scenes.h"

#include "app/game.h"

namespace kelvane {

void RunSceneHandler(Game& g) {
  switch (g.st.sceneCode) {
    // Each scene's handler joins this table when its Part is built.
    default:
      break;
  }
}

void CheckIdleTimeouts(Game&, uint32_t) {
  // The time-out table belongs to the scenes it answers for; it is added
  // together with them.
}

}  // namespace kelvane
