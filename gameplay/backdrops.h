// The backdrop behind the stage: numbered pictures, plain colours, the
// default picture, the choice from the last command, and a tile pattern
// laid over it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelvane {

struct Game;

namespace backdrop {
constexpr int kSheetW = 640;
constexpr int kSheetH = 480;
constexpr int8_t kFrameCount = 4;  // 2 x 2 grid of 320 x 240 frames
constexpr const char* kDefaultFile = "Y_e01.bmp";
constexpr int kTileW = 64;
constexpr int kTileH = 80;
constexpr int kTileSourcePitchY = 96;
constexpr int kTileColumns = 10;
constexpr int kTileRows = 6;
constexpr int kTilesPerBitmap = 20;
constexpr int kTileCellColumns = 5;
constexpr int kTileSet = 1;  // the tile bitmaps live in picture set 1
// Backdrop for a command by its first key (and whether the second is N).
constexpr std::array<int8_t, 8> kCommandTable = {0, 1, 6, 7, 4, 5, 2, 3};
}  // namespace backdrop

// dataFolder + "X" + n + ".bmp".
std::string BackdropFileName(const Game& g, int n);

// Loads the backdrop numbered backdropNumber (or fills the sheet with its
// plain colour), then redraws the tile pattern. A picture that cannot be
// loaded shows the default picture instead.
void LoadBackdrop(Game& g);
// Loads the default picture "Y_e01.bmp", then redraws the tile pattern.
void LoadDefaultBackdrop(Game& g);
// Whichever of the two was loaded last.
void RestoreBackdrop(Game& g);
// v, unless v is the backdrop already shown; then another one.
int8_t AvoidCurrentBackdrop(Game& g, int8_t v);
// A backdrop 0..7 chosen by the first keys of the last command.
int8_t CommandBackdrop(Game& g);
// Tiles the backdrop 10 x 6 with pattern n, quadrant blocks shifted by 0..3
// cells in direction (+1 or -1). With a load pending it only notes the
// pattern, which that load draws.
void DrawTilePattern(Game& g, int n, int8_t direction);

// The engine's instructions may change the backdrop thousands of times
// before a frame is drawn, and only the last change can be seen. These two
// leave the state as LoadBackdrop and RestoreBackdrop would and note the
// load; SettleBackdrop then loads the sheet once, with the same picture the
// loads one by one would have left.
void AskLoadBackdrop(Game& g);
void AskRestoreBackdrop(Game& g);
void SettleBackdrop(Game& g);

}  // namespace kelvane
