// The items of the command list: every typeable command with the row it
// starts, in the order the list shows them. The command list window fills
// its rows from these; the computer player chooses among them.
#pragma once

#include <vector>

#include "gameplay/command_state.h"

namespace kelvane {

struct ActionData;
struct Game;

// Load groups 1..99 in order, each group's rows in order, each row's eight
// command slots in order; hidden rows, empty slots and codes outside the
// command table are left out. The rows of group 0 are not listed.
std::vector<CommandListItem> CommandListItems(const ActionData& actions);

// Fills g.cmd.listItems once and marks in codeDone the codes of the rows
// that the data declares as already performed.
void FillCommandList(Game& g);

}  // namespace kelvane
