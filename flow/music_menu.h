// The music menu (scene 3): six items over the stage, the character walking
// under them and idling, the music panel with its source, tune number and
// count, previews with a blinking lamp, and the way into a match.
#pragma once

#include <cstdint>

namespace kelvane {

struct Game;

struct MusicMenuState {
  // 0 start the match, 1 previous tune, 2 next tune, 3 preview, 4 stop,
  // 5 next music source. Kept for the whole run.
  int8_t menuItem = 0;
  // Frames of the character's idle animation, 0..15; the match result
  // counts its show with it too.
  uint8_t idleCycle = 0;
  // The idle action chosen with Up and Down. The row being performed falls
  // back to the standing row when an idle action ends, so the choice is
  // kept here rather than read back from the engine.
  int16_t idleRow = 0;
};

namespace music_menu {
constexpr int kItems = 6;
constexpr int kItemStart = 0, kItemPrevious = 1, kItemNext = 2, kItemPreview = 3, kItemStop = 4,
              kItemSource = 5;
constexpr int kIdleCycleFrames = 16;

// Values of previewState the menu uses besides idle (0) and the blinking
// lamp (1, 2).
constexpr uint8_t kPreviewLampOn = 1;
constexpr uint8_t kPreviewLampOff = 2;
constexpr uint8_t kPreviewStart = 3;
constexpr uint8_t kPreviewStarting = 4;
constexpr uint8_t kPreviewLeave = 254;
constexpr uint8_t kPreviewStop = 255;

// Sub-steps of scene 3.
constexpr int16_t kEnter = 0;
constexpr int16_t kRedraw = 9;
constexpr int16_t kWait = 10;
constexpr int16_t kPressed = 100;
constexpr int16_t kRepeat = 108;
constexpr int16_t kHeld = 109;
constexpr int16_t kReleased = 110;
constexpr int16_t kLeaving = 500;
constexpr int16_t kLeave = 509;
constexpr int16_t kCancel = 600;
}  // namespace music_menu

// Scene 3, one step a frame.
void MusicMenuStep(Game& g);

// Left, Right, Up or Down while the menu waits: Left and Right move to the
// neighbouring item (wrapping) and turn the character that way; Up and Down
// choose the previous or next idle action.
void MusicMenuArrowKey(Game& g, int vk);

// One frame of the character's idle animation: every 16 frames the chosen
// idle action starts again, then the engine steps.
void MusicMenuIdleStep(Game& g);

// The rows that hold the menu's idle actions: after the victory and losing
// rows, up to the base row. first > last when the data has none.
int FirstIdleRow(const Game& g);
int LastIdleRow(const Game& g);

// Item 5: the next music source, -1 play list, 0 stage tunes, 1 CD. The CD
// takes part only when the drive name is a drive letter and a colon.
void NextMusicSource(Game& g);

}  // namespace kelvane
