// The match result (scene 14): the winner's plate slides up, a mark blinks
// over the winner, the winner performs a victory action and the loser a
// losing one; a human's course win raises the course's level on a confirm
// key and shows the level picture. Any other key returns to the menu.
#pragma once

#include <array>
#include <cstdint>

namespace kelvane {

struct Game;

struct MatchResultState {
  uint8_t blinkCounter = 0;  // 1..4 while the marks blink
  // Set when a match starts from the music menu; cleared when a turn was
  // loaded from a record or the match was not a human's course win.
  uint8_t courseMatch = 0;
  // The record slot saved or loaded for the first and the second turn, 0
  // none; the loser's entry is negated when the result is shown.
  std::array<int8_t, 2> slotOfTurn{};
  // Decided once when the scene starts, so the shows cannot change them.
  uint8_t player2Won = 0;
  uint8_t tie = 0;
};

namespace result {
// Sub-steps of scene 14.
constexpr int16_t kStart = 0;
constexpr int16_t kPlateLast = 7;
constexpr int16_t kShow = 8;
constexpr int16_t kWinnerShow = 100;
constexpr int16_t kLoserShow = 116;
constexpr int16_t kTieShow = 200;
constexpr int16_t kTieShowEnd = 215;
constexpr int16_t kCourseWait = 300;
constexpr int16_t kCourseStep = 301;
constexpr int16_t kLevelShown = 302;
constexpr int16_t kWait = 400;
constexpr int16_t kLeave = 500;
}  // namespace result

// Scene 14, one step a frame.
void ResultStep(Game& g);

// The blinking mark over the winner, and the marks of the match's slots.
void DrawResultMarks(Game& g);

// The victory action chosen by the digit keys held now: 1..9 give 0..8 and
// 0 gives 9, the highest wins, at most the number of victory rows - 1; -1
// when none is held.
int PickShowAction(Game& g);

// A course win: a human beat the computer, strictly, in a course match
// that started from the music menu.
bool IsCourseWin(const Game& g);

// The course step on a confirm key: the next level of course matchRule
// while levels remain, else the previous level picture (wrapping to the
// highest reached); the picture becomes the backdrop.
void CourseStep(Game& g);

// A slot and the mark it earned: 1 winner, -1 loser.
struct SlotMark {
  int8_t slot = 0;
  int8_t mark = 0;
};
struct SlotMarks {
  std::array<SlotMark, 2> marks{};
  int count = 0;
};
// The marks that the two turns' slots earn. None when the entries cancel
// out (the same slot for both turns, or no slot at all).
SlotMarks MatchSlotMarks(const std::array<int8_t, 2>& slotOfTurn);

// ---- The record slots on the result's arc ----
// The scene starts: the slot labels take their slot-scene arc again.
void BeginResultSlots(Game& g);
// Stores the marks in the slots' summaries, switches the labels to the
// result's arc and draws the nine labels.
void ShowResultSlots(Game& g, const SlotMarks& marks);
// One blink of a slot's mark: phase 0 or 1.
void BlinkResultSlotMark(Game& g, int slot, int phase);

}  // namespace kelvane
