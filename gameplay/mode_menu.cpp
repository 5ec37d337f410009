#include "gameplay/mode_menu.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "app/game.h"
#include "gameplay/backdrops.h"
#include "gameplay/key_groups.h"
#include "gameplay/keyboard.h"
#include "gameplay/mouse_input.h"
#include "graphics/atlas.h"
#include "graphics/bmp_file.h"
#include "graphics/picture_notices.h"
#include "graphics/presentation.h"
#include "graphics/sound_effect.h"
#include "graphics/surfaces.h"
#include "graphics/window_layout.h"

namespace kelvane {
namespace {

using namespace menu;

constexpr size_t kMaskSheet = 3;
constexpr int kIconSize = 48;
constexpr int kDropStart = -46;
constexpr int kDropSpeed = 16;
constexpr int kFigureW = 48;
constexpr int kFigureH = 96;
constexpr int kFaceSize = 48;
constexpr int kSelectDrop = 4;  // the chosen column sinks a little
constexpr int kNoMove = 16;     // pointer keys up to this move nothing
// A pointer moved off an icon goes up instead of down when the move would
// leave the screen (doubled in the large window).
constexpr int kPointerStep = 80;

// Falling icons: which column, where it starts falling and the last step
// of its fall.
struct IconColumn {
  int x, y;  // final place in the layers
  int16_t lastDropStep;
};
constexpr IconColumn kIcons[3] = {{224, 50, 14}, {288, 82, 8}, {352, 50, 20}};
constexpr int kLeftColumn = 0, kCentreColumn = 1, kRightColumn = 2;

// The three icon columns of the layers as they reach the frame.
struct ShownColumn {
  Rect source, large, small;
};
constexpr ShownColumn kShownColumns[3] = {
    {Rect::XYWH(224, 0, 45, 116), Rect::XYWH(161, 0, 90, 232), Rect::XYWH(80, 0, 45, 116)},
    {Rect::XYWH(288, 0, 45, 148), Rect::XYWH(289, 0, 90, 296), Rect::XYWH(144, 0, 45, 148)},
    {Rect::XYWH(352, 0, 45, 116), Rect::XYWH(417, 0, 90, 232), Rect::XYWH(208, 0, 45, 116)},
};
constexpr Rect kCaptionLarge = Rect::XYWH(451, 452, 178, 24);
constexpr Rect kCaptionSmall = Rect::XYWH(225, 226, 89, 12);

// Faces by their sheet column: 400, 448, 496, 544, 592.
constexpr int kFaceSmile = 0, kFaceWink = 1, kFaceReady = 2, kFaceCheer = 3, kFaceJoy = 4;

// Gallery: level picture frames and the generated patterns.
constexpr int kLevelFrameW = 214;
constexpr int kLevelFrameH = 160;
constexpr int kPatternCellW = 96, kPatternCellH = 80;
constexpr int kPatternPitchX = 97, kPatternPitchY = 81;
constexpr int kPatternCellsPerBitmap = 18, kPatternColumns = 3;
constexpr int kPatternPlainSet = 11, kPatternMirrorSet = 12;
constexpr int kSeamY = 238;  // the two lines each side of the halves' seam

bool Between(int v, int low, int high) {
  return v >= low && v <= high;
}

Surface& MaskSheet(Game& g) {
  return g.gfx.mainSheets[kMaskSheet];
}
Surface& SchemeSheet(Game& g) {
  return g.gfx.mainSheets[static_cast<size_t>(std::clamp<int>(g.st.colourIndex, 0, 2))];
}
// A pose read from an edited settings file may lie beyond the six drawn.
int Pose(const Game& g) {
  return std::min<int>(g.st.menuPose, atlas::kMenuPoses - 1);
}

// ---- Drawing into the layers ----

// An icon of the current page, copied with its mask over what lies there.
void DrawIcon(Game& g, int column, int x, int y) {
  g.gfx.blitSource = atlas::MenuIconCell(g.menu.menuPage, column);
  g.gfx.blitTarget = Rect::XYWH(x, y, kIconSize, kIconSize);
  DrawSprite(g, g.gfx.mainSheets[0], &MaskSheet(g));
}

// Mask ANDed into both layers, then the colours ORed into the hole.
void DrawMasked(Game& g, const Rect& source, const Rect& target) {
  Surfaces& s = g.gfx;
  s.blitSource = source;
  s.blitTarget = target;
  s.maskLayer.canvas.copyMode = SRCAND;
  s.spriteLayer.canvas.copyMode = SRCAND;
  DrawSprite(g, MaskSheet(g), &MaskSheet(g));
  s.spriteLayer.canvas.copyMode = SRCPAINT;
  DrawSprite(g, SchemeSheet(g), nullptr);
  s.maskLayer.canvas.copyMode = SRCCOPY;
  s.spriteLayer.canvas.copyMode = SRCCOPY;
}

Rect FigureColumn(const ModeMenuState& m) {
  return Rect::XYWH(m.figureX + 144, m.figureY - 18, kFigureW, 132);
}

void DrawFace(Game& g, int face) {
  const ModeMenuState& m = g.menu;
  DrawMasked(g, atlas::MenuFaceCell(face, Pose(g)),
             Rect::XYWH(m.figureX + 144, g.st.waveOffset(), kFaceSize, kFaceSize));
}

void Bob(Game& g) {
  WaveStep(g, g.menu.figureX, g.menu.figureY);
}

// ---- Steps ----

void StartDrop(Game& g, int column) {
  g.menu.dropColumn = static_cast<uint8_t>(column);
  g.menu.dropX = static_cast<int16_t>(kIcons[column].x);
  g.menu.dropY = kDropStart;
}

// Steps 1..20: the falling icon moves down and is drawn; the next one
// starts when it lands.
void DropStep(Game& g) {
  ModeMenuState& m = g.menu;
  const int16_t sub = g.st.subStep();
  // The icon art starts at the top of its cell, so the rows the icon leaves
  // are wiped; else every frame of the fall would leave a stripe behind.
  const Rect vacated = Rect::XYWH(m.dropX, m.dropY, kIconSize, kDropSpeed);
  FillRect(g.gfx.spriteLayer, vacated);
  FillRect(g.gfx.maskLayer, vacated);
  m.dropY = static_cast<int16_t>(m.dropY + kDropSpeed);
  DrawIcon(g, m.dropColumn, m.dropX, m.dropY);
  if (sub == kIcons[kCentreColumn].lastDropStep) {
    StartDrop(g, kLeftColumn);
    PlaySoundEffect(g, 0);
  } else if (sub == kIcons[kLeftColumn].lastDropStep) {
    StartDrop(g, kRightColumn);
    PlaySoundEffect(g, 0);
  } else if (sub == kIcons[kRightColumn].lastDropStep) {
    PlaySoundEffect(g, 0);
  }
}

void RedrawIcons(Game& g) {
  ClearLayers(g);
  for (int column = 0; column < 3; ++column)
    DrawIcon(g, column, kIcons[column].x, kIcons[column].y);
}

// The figure above the chosen icon; the column sinks a little and starts
// bobbing from phase 0.
void PlaceFigure(Game& g) {
  ModeMenuState& m = g.menu;
  uint8_t cursor = RememberedCursor(g, m.menuPage);
  if (cursor < 1 || cursor > 3) cursor = 2;
  m.menuCursor = cursor;
  m.figureX = static_cast<int16_t>(cursor * 64 + 16);
  m.figureY = static_cast<int16_t>(cursor == 2 ? 48 : 16);
  DrawMasked(g, atlas::MenuFigureCell(Pose(g)),
             Rect::XYWH(m.figureX + 144, m.figureY, kFigureW, kFigureH));
  g.st.waveOffset() = static_cast<int16_t>(m.figureY + 11);
  g.st.wavePhase() = 0;
  ShiftLayers(g, FigureColumn(m), kSelectDrop);
}

// She greets the player with a voice of her pose.
void GreetingSound(Game& g) {
  int first;
  switch (Pose(g)) {
    case 0:
      first = 30;
      break;
    case 1:
      first = 28;
      break;
    case 2:
    case 3:
      first = 33;
      break;
    case 4:
      first = 35;
      break;
    default:
      first = 32;
      break;
  }
  const bool second = g.Rand(2) == 1;
  // Pose 5's second voice lies outside the run of the others.
  PlaySoundEffect(g, second ? (first == 32 ? 69 : first + 1) : first);
}

// A pointer resting on an icon acts as the key it stands for.
void PointerHover(Game& g) {
  const int key = MenuKeyAtPointer(g);
  if (key > kNoMove) FormKeyDown(g, FormId::FM, key, ShiftState{});
}

// The icons other than the chosen one disappear.
void EraseOtherIcons(Game& g) {
  Surfaces& s = g.gfx;
  for (int column = 0; column < 3; ++column) {
    if (column == g.menu.menuCursor - 1) continue;
    const Rect place = Rect::XYWH(kIcons[column].x, kIcons[column].y + 2, kIconSize, kIconSize);
    FillRect(s.spriteLayer, place);
    FillRect(s.maskLayer, place);
  }
}

void LeaveFor(Game& g, int8_t sceneCode) {
  g.st.sceneCode = sceneCode;
  ResetSceneCounters(g.st);
}

void PageTransition(Game& g) {
  ModeMenuState& m = g.menu;
  const int cursor = m.menuCursor;
  switch (m.menuPage) {
    case 0:
      if (cursor == 1) {
        m.menuPage = 3;
      } else if (cursor == 2) {
        m.menuPage = 1;
      } else {
        LeaveFor(g, scene::kExitQuestion);
      }
      break;
    case 1:
      m.menuPage = cursor == 3 ? 4 : 2;
      break;
    case 3:
      g.st.subStep() = kGallery;
      break;
    default:  // the match rule and the handicap lead to the music menu
      LeaveFor(g, scene::kMusicMenu);
      break;
  }
}

void BackTransition(Game& g) {
  ModeMenuState& m = g.menu;
  switch (m.menuPage) {
    case 0:
      g.st.playReturnFlag = 1;
      LeaveFor(g, scene::kDemoStart);
      break;
    case 1:
    case 3:
      m.menuPage = 0;
      break;
    default:
      m.menuPage = 1;
      break;
  }
}

void RunStep(Game& g) {
  int16_t& sub = g.st.subStep();
  if (sub == kStart) {
    ClearLayers(g);
    g.st.frameInterval = g.st.normalFrameInterval;
    StartDrop(g, kCentreColumn);
    ++sub;
  } else if (Between(sub, 1, 20)) {
    DropStep(g);
    ++sub;
  } else if (sub == 21) {
    sub = kFigure;
  } else if (sub == kRedraw) {
    RedrawIcons(g);
    sub = kFigure;
  } else if (sub == kFigure) {
    PlaceFigure(g);
    ++sub;
  } else if (Between(sub, 31, 36)) {
    Bob(g);
    if (sub == 34) {
      DrawFace(g, kFaceSmile);
      GreetingSound(g);
    } else if (sub == 36) {
      DrawFace(g, kFaceWink);
    }
    ++sub;
  } else if (Between(sub, 37, 82)) {
    Bob(g);
    ++sub;
    PointerHover(g);
  } else if (sub == 83) {
    Bob(g);
    DrawFace(g, kFaceReady);
    sub = kWait;
    PointerHover(g);
  } else if (sub == kWait) {
    Bob(g);
    PointerHover(g);
  } else if (sub == kConfirm) {
    EraseOtherIcons(g);
    DrawFace(g, kFaceReady);
    ++sub;
  } else if (Between(sub, 101, 108)) {
    if (sub == 102) DrawFace(g, kFaceCheer);
    if (sub == 104) DrawFace(g, kFaceJoy);
    if (sub == 107) PlaySoundEffect(g, 40);
    ++sub;
  } else if (sub == kTransition) {
    sub = kStart;
    PageTransition(g);
  } else if (sub == kBack) {
    ClearLayers(g);
    BackTransition(g);
    g.st.subStep() = kStart;
  } else if (sub == kGallery) {
    GalleryStep(g);
  }
}

// Mask, then colour of one sheet cell onto the frame.
void OverlayCell(Game& g, const Rect& cell, const Rect& place) {
  Surface& frame = g.gfx.mainSurface;
  frame.canvas.copyMode = SRCAND;
  CopyRect(frame, place, MaskSheet(g), cell);
  frame.canvas.copyMode = SRCPAINT;
  CopyRect(frame, place, g.gfx.mainSheets[0], cell);
}

// The backdrop, the three icon columns of the layers, the caption and the
// cursor mark, the snapshot panel; then the frame is shown.
void ComposeFrame(Game& g) {
  const ModeMenuState& m = g.menu;
  const bool large = IsLargeWindow(g);
  const int16_t sub = g.st.subStep();
  // The backdrop and the three icon columns of the layers; a column that is
  // as it was (all but the figure's, mostly) is not drawn again.
  constexpr size_t kColumns = std::size(kShownColumns);
  StageCut columns[kColumns];
  for (size_t i = 0; i < kColumns; ++i)
    columns[i] = {kShownColumns[i].source, large ? kShownColumns[i].large : kShownColumns[i].small};
  AnimateBackdropWithCuts(g, columns, kColumns);
  // The gallery picture is shown bare.
  if (sub != kGalleryShown) {
    OverlayCell(g, atlas::At(atlas::RegionId::kMenuCaption), large ? kCaptionLarge : kCaptionSmall);
    if (!Between(sub, kStart, kRedraw)) {
      const bool centre = m.menuCursor == 2;
      const Rect place = large ? Rect::XYWH(2 * m.figureX + 25, centre ? 386 : 370, 50, 8)
                               : Rect::XYWH(m.figureX + 12, centre ? 193 : 185, 25, 4);
      OverlayCell(g, atlas::At(atlas::RegionId::kMenuCursorMark), place);
    }
  }
  DrawAlbumPanelLeft(g);
  PresentFrame(g);
}

// ---- Gallery ----

// Four quadrants of effect cells on a plain colour of one colour scheme:
// pattern 5 from the plain effect set, 1..4 from the other set, mirrored
// or not as a whole.
void GeneratePattern(Game& g, int value) {
  Surfaces& s = g.gfx;
  Surface& sheet = s.backdropSheet;
  const int scheme = std::clamp(g.Rand(g.st.colourMax + 1), 0, 2);
  const int entry = g.Rand(2) == 0 ? 0 : 15;
  sheet.Create(640, 480, PixelFormat::Colour);
  sheet.canvas.brushColour = SwapRedBlue(PaletteColour(g, scheme, entry));
  FillRect(sheet, sheet.Bounds());
  s.backdropFrameCount = 4;
  s.backdropStrip = 0;

  const bool plain = value == kGalleryPatterns;
  const int shift = plain ? 10 : 16 - 4 * value;
  const size_t set = plain ? kPatternPlainSet : kPatternMirrorSet;
  const bool mirrored = !plain && g.Rand(2) == 1;
  const Surface& mask = s.frameSheets[kMaskSheet][set][0];
  const Surface& colours = s.frameSheets[static_cast<size_t>(scheme)][set][0];
  Surface seam;

  for (int q = 0; q < 4; ++q) {
    const int j =
        ((q + shift) % kPatternCellsPerBitmap + kPatternCellsPerBitmap) % kPatternCellsPerBitmap;
    const int cx = (j % kPatternColumns) * kPatternCellW;
    const int cy = (j / kPatternColumns) * kPatternCellH;
    const Rect cell = mirrored ? Rect{cx + kPatternCellW - 1, cy, cx - 1, cy + kPatternCellH}
                               : Rect::XYWH(cx, cy, kPatternCellW, kPatternCellH);
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 3; ++column) {
        const Rect place =
            Rect::XYWH((q % 2 ? 334 : 14) + column * kPatternPitchX,
                       (q / 2) * 240 + row * kPatternPitchY - 1, kPatternCellW, kPatternCellH);
        sheet.canvas.copyMode = SRCAND;
        CopyRect(sheet, place, mask, cell);
        sheet.canvas.copyMode = SRCPAINT;
        CopyRect(sheet, place, colours, cell);
      }
    }
    sheet.canvas.copyMode = SRCCOPY;
    if (q == 1) {
      // The upper half's last cells reach one line into the lower half:
      // keep the seam clean.
      seam.Create(640, 2, PixelFormat::Colour);
      CopyRect(seam, seam.Bounds(), sheet, Rect::XYWH(0, kSeamY, 640, 2));
      FillRect(sheet, Rect::XYWH(0, kSeamY + 2, 640, 2));
    }
  }
  CopyRect(sheet, Rect::XYWH(0, kSeamY, 640, 2), seam, seam.Bounds());
}

}  // namespace

void LoadLevelPicture(Game& g, int cursor, int value) {
  Surfaces& s = g.gfx;
  const std::string path = g.st.dataFolder + "Y_e" + std::to_string(cursor * 100 + value) + ".bmp";
  // A level picture is a row of animation frames: as many as whole frames
  // fit its width, of which only the top rows are drawn.
  const PictureSize size{kLevelFrameW, kLevelFrameH};
  if (std::string e = LoadBmp(*g.pf.files, path, s.backdropSheet, size); !e.empty()) {
    // A missing or broken level picture must not leave the menu without a
    // backdrop.
    if (g.pf.files->Exists(path))
      ReportSkippedPicture(g, e, "the default backdrop is shown instead");
    LoadDefaultBackdrop(g);
  } else {
    if (!s.backdropSheet.IsColour()) s.backdropSheet.SetFormat(PixelFormat::Colour);
    s.backdropFrameCount = static_cast<int8_t>(s.backdropSheet.Width() / kLevelFrameW);
    s.backdropStrip = 1;
    if (s.backdropFrame >= s.backdropFrameCount) s.backdropFrame = 0;
    g.motion.backdrop.backdropKind = -1;
  }
  PlaySoundEffect(g, 35 + g.Rand(2));
}

uint8_t& RememberedCursor(Game& g, int page) {
  switch (page) {
    case 1:
      return g.stage.vsOrder;
    case 2:
      return g.stage.matchRule;
    case 3:
      return g.menu.galleryPageCursor;
    case 4:
      return g.stage.p2Handicap;
    default:
      return g.menu.firstPageCursor;
  }
}

void StoreMenuCursor(Game& g) {
  RememberedCursor(g, g.menu.menuPage) = g.menu.menuCursor;
}

void MoveMenuCursor(Game& g, int direction) {
  ModeMenuState& m = g.menu;
  m.menuCursor = static_cast<uint8_t>(direction < 0 ? menu::CursorLeft(m.menuCursor)
                                                    : menu::CursorRight(m.menuCursor));
  // A pointer left on an icon would select it again at once.
  if (PointerOnMenuIcon(g)) MovePointerDownOrUp(g, kPointerStep * WindowScale(g));
  StoreMenuCursor(g);
}

int GalleryLimit(const Game& g, int cursor) {
  switch (cursor) {
    case 1:
      return g.st.normalReached;
    case 2:
      return menu::kGalleryPatterns;
    case 3:
      return g.st.hardReached;
    default:
      return 0;
  }
}

void LoadGalleryPicture(Game& g, int cursor, int value) {
  if (cursor == 2) {
    GeneratePattern(g, value);
  } else {
    LoadLevelPicture(g, cursor, value);
  }
}

void GalleryStep(Game& g) {
  ModeMenuState& m = g.menu;
  const int cursor = std::clamp<int>(m.menuCursor, 1, 3);
  // A negative count from an edited settings file means no pictures too.
  const int limit = GalleryLimit(g, cursor);
  if (limit < 1) {
    LoadDefaultBackdrop(g);
    g.st.subStep() = menu::kStart;
    return;
  }
  uint8_t& index = m.galleryIndex[static_cast<size_t>(cursor)];
  int value = index - 1;
  if (value < 1 || value > limit) value = limit;
  index = static_cast<uint8_t>(value);
  LoadGalleryPicture(g, cursor, value);
  ClearLayers(g);
  g.st.subStep() = menu::kGalleryShown;
}

void ModeMenuStep(Game& g) {
  RunStep(g);
  ComposeFrame(g);
}

}  // namespace kelvane
