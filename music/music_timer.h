#pragma once

namespace kelvane {

struct Game;

// The music end timer has expired (bgmLength is already 0): a looped tune
// starts again, any other tune has ended.
void MusicEndTimerFired(Game& g);

}  // namespace kelvane
