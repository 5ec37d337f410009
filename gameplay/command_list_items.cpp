#include "gameplay/command_list_items.h"

#include "actiondata/action_data.h"
#include "app/game.h"

namespace kelvane {

std::vector<CommandListItem> CommandListItems(const ActionData& a) {
  std::vector<CommandListItem> items;
  // Groups beyond the last one defined are empty.
  const int lastGroup = std::min<int>(a.lastGroup, ActionData::kGroupCapacity - 1);
  for (int group = 1; group <= lastGroup; ++group) {
    const int first =
        a.loadGroups[static_cast<size_t>(group - 1)][ActionData::kGroupLastRowEntry] + 1;
    const int last =
        std::min<int>(a.loadGroups[static_cast<size_t>(group)][ActionData::kGroupLastRowEntry],
                      ActionData::kRowCapacity - 1);
    for (int row = std::max(first, 0); row <= last; ++row) {
      const ActionRow& r = a.actionRows[static_cast<size_t>(row)];
      if (r.hidden) continue;
      for (int16_t code : r.commands) {
        if (code <= 0 || code > ActionData::kMaxCommandCode) continue;
        items.push_back({code, static_cast<int16_t>(row)});
      }
    }
  }
  return items;
}

void FillCommandList(Game& g) {
  CommandState& c = g.cmd;
  if (c.listFilled) return;
  c.listItems = CommandListItems(g.actions);
  // Only ever sets a mark, so filling the list late never forgets a code
  // that was performed before.
  for (const CommandListItem& item : c.listItems)
    if (g.actions.actionRows[static_cast<size_t>(item.row)].preDone)
      c.codeDone[static_cast<size_t>(item.code)] = 1;
  c.listFilled = 1;
}

}  // namespace kelvane
