// Command recognition: the engine asks it for the next action row when the
// running action reaches its end.
#pragma once

namespace kelvane {

struct Game;

// Chooses the next row after an action ends and starts it fresh.
//
// The keyboard part fills this in with the full rules (matching the typed
// command against the command table, landing keys, scoring, the computer's
// next choice). Until then it knows of no typed command: it ends the action
// and starts the idle row 0.
void RecognizeCommand(Game& g);

}  // namespace kelvane
