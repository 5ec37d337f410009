// Command recognition: the engine asks it for the next action row when the
// running action reaches its end.
#pragma once

#include <cstdint>

namespace kelvane {

struct Game;

// The command a missed landing key turns the next command into.
constexpr int32_t kFallCommand = 1315;

// Scores the finished command and starts the row of its longest known
// prefix (a command with no known prefix leaves the row as it is); sets up
// the landing key the new row asks for; in watch mode the computer then
// chooses its next command.
void RecognizeCommand(Game& g);

// Points of a repeat of a group that stands n times among the last four
// actions: scaled down at two, a small loss at three, a larger one at four.
int RepeatPoints(int points, int n);

// The computer's next command, uniform over the command list's items:
// a code already performed is chosen again only by a 1-in-12 chance, and
// the fourth try stands whatever it is. 0 when the list is empty.
int32_t ChooseComputerCommand(Game& g);

}  // namespace kelvane
