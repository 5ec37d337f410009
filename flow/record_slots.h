// The record slots: the save scene (8) after a turn and the load scene (7)
// from a stage start show the nine slot files "Ac1.txt".."Ac9.txt" as
// labels on an arc; the match result shows them on a smaller arc with the
// winner's and loser's marks. The scenes are driven by clicks; keys act as
// clicks at the slot cursor.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "graphics/raster.h"
#include "platform/platform.h"

namespace kelvane {

struct Game;

// What a slot's label shows, read from its file's first two lines.
struct SlotSummary {
  bool stored = false;  // false: an empty slot (missing, too large, no second line)
  std::string name;     // 6 characters
  std::string area;     // 7 characters
  int32_t score = 0;
  bool scoreKnown = false;  // the header's score is a number
  std::string caption;      // line 1 of the record
  int8_t mark = 0;      // result mark: 1 winner, -1 loser, 0 none
};

struct SlotState {
  uint8_t slotCursor = 1;               // 1..9
  uint8_t slotLayout = 0;               // 0 the slot scenes' arc, 1 the match result's
  uint8_t loadWithMusic = 0;            // Shift or Alt held when a load was confirmed
  uint8_t cursorPhase = 0;              // 0..3, the cursor mark's animation
  uint8_t messageHeld = 0;              // a refusal stands at the cursor until it moves
  std::array<SlotSummary, 10> summary;  // entries 1..9
};

namespace slot_scene {
constexpr int kCount = 9;

// Sub-steps of the save scene (8).
constexpr int16_t kSaveStart = 0;
constexpr int16_t kSaveCountEnd = 60;  // the closed list waits this long
constexpr int16_t kSaveOpen = 100;
constexpr int16_t kSaveList = 101;  // waits for a slot
constexpr int16_t kSaveAsk = 110;
constexpr int16_t kSaveConfirm = 111;  // waits for the answer
constexpr int16_t kSaveStore = 150;
constexpr int16_t kSaveStoredEnd = 156;
constexpr int16_t kSaveClose = 194;
constexpr int16_t kSaveClosedCount = 30;
constexpr int16_t kSaveLeave = 200;

// Sub-steps of the load scene (7).
constexpr int16_t kLoadOpen = 0;
constexpr int16_t kLoadList = 1;  // waits for a slot
constexpr int16_t kLoadAsk = 110;
constexpr int16_t kLoadConfirm = 111;  // waits for the answer
constexpr int16_t kLoadLoad = 150;
constexpr int16_t kLoadLoaded = 300;
constexpr int16_t kLoadLoadedEnd = 305;
constexpr int16_t kLoadClose = 194;
constexpr int16_t kLoadLeave = 200;

// Slot positions (x, y) of the two arcs, in the small window.
constexpr std::array<Point, 10> kLayout0 = {
    Point{0, 0},     Point{10, 109},  Point{44, 116},  Point{78, 123},  Point{112, 130},
    Point{146, 137}, Point{180, 130}, Point{214, 123}, Point{248, 116}, Point{282, 109}};
constexpr std::array<Point, 10> kLayout1 = {
    Point{0, 0},    Point{50, 36},  Point{74, 44},  Point{98, 52},  Point{122, 60},
    Point{146, 68}, Point{170, 60}, Point{194, 52}, Point{218, 44}, Point{242, 36}};
}  // namespace slot_scene

// Scenes 7 and 8, one step a frame.
void LoadSceneStep(Game& g);
void SaveSceneStep(Game& g);

// A stage start opens the load scene: it returns to the stage start, which
// replays the chosen record or starts over.
void EnterLoadScene(Game& g);

// The slot under a point of the window's client area (large window: doubled
// positions), 1..9, or 0 beside the slots.
int SlotAt(const Game& g, int x, int y);
// The point a key "clicks" for the slot cursor.
Point SlotCursorPoint(const Game& g);
// Moves the slot cursor to n, wrapping 0 to 9 and 10 to 1; the old mark is
// erased.
void SetSlotCursor(Game& g, int n);

// A click in scene 7 or 8 at a client point, with the shift state of the
// click. The mouse and the keys both end here.
void SlotSceneMouseDown(Game& g, MouseButton button, ShiftState shift, Point client);
// Keys of scenes 7 and 8: arrows move the slot cursor, confirm and cancel
// keys click at it (and, in the save scene's first second, Shift, Alt or
// the context-menu key open the list).
void SlotSceneKeyDown(Game& g, int vk, ShiftState shift);

// Re-reads slot n's file into its summary; a changed summary loses its
// result mark. Sets labelRow: 0 for the player's own record, else 1.
void ReadSlotHeader(Game& g, int n);
// The slot's label with its record's name, area and score (result arc:
// only the label and the result mark).
void DrawSlotOpen(Game& g, int n);
// The slot's closed label in the colour row labelRow, with its number.
void DrawSlotClosed(Game& g, int n);
// The scene's title; colour -1 opens the panel behind it.
void DrawSlotTitle(Game& g, const std::string& text, int colour);
// A five-character message at the slot cursor's label.
void DrawSlotMessage(Game& g, const std::string& text, int colour);

// The nine closed labels (labelRow -1) on the slot scenes' arc: the stage
// start shows them while it waits.
void DrawClosedSlotLabels(Game& g);

// The label colour row of a slot: 0 the player's own record, 1 another's
// or an empty slot.
int LabelRowOf(const Game& g, const SlotSummary& slot);

// The score a slot's label shows: 6 digits, "??????" for the computer's
// record unless it is the player's own and for a score that does not read,
// "" for an empty slot.
std::string SlotScoreText(const Game& g, int n);

// Shift or Alt held at a load: the loaded record's music becomes the current
// tune (a stage tune, a play-list entry, a file of the data folder or the
// record's full path, or a CD track). False when it cannot be found.
bool RestoreRecordMusic(Game& g);

// A record file given on the command line: read and checked, it becomes
// the record list, its music the current tune, and the next demonstration
// start replays it. False (error says why) when it cannot be replayed.
bool PrepareCommandLineReplay(Game& g, const std::string& path, std::string& error);

// The match result's arc, laid again each frame behind the characters.
void DrawResultSlotsBehind(Game& g);

}  // namespace kelvane
