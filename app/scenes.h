// Scene dispatch: which handler runs for which sceneCode.
#pragma once

#include <cstdint>

namespace kelvane {

struct Game;

// Runs the handler of g.st.sceneCode; codes without a handler (4, 5, 6, 9 and
// anything outside -3..14) do nothing.
void RunSceneHandler(Game& g);


}  // namespace kelvane
