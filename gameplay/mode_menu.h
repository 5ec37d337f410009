// The mode menu (scene 2): five pages of three icons with the character
// standing above the chosen one, the gallery of level pictures, and the
// way into a match, the exit question or back to the demonstration.
#pragma once

#include <array>
#include <cstdint>

namespace kelvane {

struct Game;

struct ModeMenuState {
  uint8_t menuPage = 0;    // 0..4
  uint8_t menuCursor = 2;  // 1 left, 2 centre, 3 right
  // The remembered cursors of pages 0 and 3; those of pages 1, 2 and 4 are
  // the match settings in the stage cycle's record.
  uint8_t firstPageCursor = 2;
  uint8_t galleryPageCursor = 2;
  int16_t figureX = 144;  // layer position minus 144
  int16_t figureY = 48;
  // The icon falling into place during the drop-in.
  int16_t dropX = 0;
  int16_t dropY = 0;
  uint8_t dropColumn = 1;  // 0 left, 1 centre, 2 right
  // The gallery picture last shown per cursor 1..3 (index 0 unused);
  // 0 = none yet, so the first visit shows the last picture.
  std::array<uint8_t, 4> galleryIndex{};
};

namespace menu {
constexpr int kPages = 5;
constexpr int kGalleryPatterns = 5;  // the generated pictures of cursor 2

// Sub-steps of scene 2.
constexpr int16_t kStart = 0;
constexpr int16_t kRedraw = 25;
constexpr int16_t kFigure = 30;
constexpr int16_t kWait = 90;
constexpr int16_t kConfirm = 100;
constexpr int16_t kTransition = 109;
constexpr int16_t kBack = 200;
constexpr int16_t kGallery = 250;
constexpr int16_t kGalleryShown = 251;
}  // namespace menu

// Scene 2, one step a frame.
void ModeMenuStep(Game& g);

// The remembered cursor of page 0..4 (pages 1, 2, 4: vsOrder, matchRule,
// p2Handicap).
uint8_t& RememberedCursor(Game& g, int page);
// Writes menuCursor into the current page's remembered cursor.
void StoreMenuCursor(Game& g);
// Left (-1) or right (+1) with wrap-around; moves the pointer off the icon
// it rests on and stores the cursor.
void MoveMenuCursor(Game& g, int direction);

// The number of gallery pictures behind cursor 1..3: the normal course's
// levels reached, 5 patterns, the hard course's levels reached.
int GalleryLimit(const Game& g, int cursor);
// Gallery picture `value` of cursor 1..3 becomes the backdrop: a level
// picture "Y_e1xx" / "Y_e3xx", or a generated pattern for cursor 2. A level
// picture that cannot be read gives the default backdrop.
void LoadGalleryPicture(Game& g, int cursor, int value);
// The gallery's step backward through the pictures of menuCursor, wrapping
// to the last one; the default backdrop when there are none.
void GalleryStep(Game& g);

// The gallery's level picture "Y_e" + (cursor * 100 + value) + ".bmp" as a
// row of 214 x 160 backdrop frames; a missing or unusable file gives the
// default backdrop (an unusable one is reported once).
void LoadLevelPicture(Game& g, int cursor, int value);

}  // namespace kelvane
