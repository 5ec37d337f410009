// Call points of the run recorder: the keys of a turn are stored so that the
// turn can be replayed from a record slot. The recorder fills these in; until
// it exists nothing is recorded.
#pragma once

namespace kelvane {

struct Game;

// A command digit (1..6) that counts has been typed: the recorder appends it
// as an event (frameCounter, digit), a landing key straight onto the last
// line, any other key to the pending group. Called before the digit is added
// to commandCode, and never while a record is being replayed.
void AppendKeyEvent(Game& g, int digit);

// A command is complete and is about to be matched: the recorder closes the
// pending group (and notes a missed landing key); during a replay it moves on
// to the next stored event.
void CommandCompleted(Game& g);

}  // namespace kelvane
