// Call points that the match result leaves to the record slots. Each stays
// empty until its owner fills it in here; until then the result shows no
// slot labels.
#include "flow/match_result.h"

namespace kelvane {

// slotLayout := 0: the labels keep the slot scenes' arc.
void BeginResultSlots(Game&) {}

// The slots' result marks are stored (1 winner, -1 loser), slotLayout := 1
// and the nine labels are drawn on the result's arc.
void ShowResultSlots(Game&, const SlotMarks&) {}

// In the result's arc only: the slot's mark cell of this phase over its
// label.
void BlinkResultSlotMark(Game&, int, int) {}

}  // namespace kelvane
