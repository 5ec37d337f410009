// The atlas of the main picture: every region inside the picture, every
// shared pixel declared, and every cell of a family inside its block.
#include "graphics/atlas.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kelvane::atlas {
namespace {

std::string Describe(const Rect& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")-(" +
         std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

constexpr int kOverlapCount =
    static_cast<int>(sizeof(kDeclaredOverlaps) / sizeof(kDeclaredOverlaps[0]));

TEST(AtlasTable, EveryRegionLiesInsideThePictureAndHasAUniqueName) {
  std::set<std::string_view> names;
  for (const Region& r : kRegions) {
    EXPECT_TRUE(InsideSheet(r.rect)) << r.name << " " << Describe(r.rect);
    EXPECT_TRUE(names.insert(r.name).second) << "duplicate name " << r.name;
  }
}

TEST(AtlasTable, RegionsShareOnlyDeclaredPixels) {
  for (int i = 0; i < kRegionCount; ++i)
    for (int j = i + 1; j < kRegionCount; ++j) {
      const Region& a = kRegions[i];
      const Region& b = kRegions[j];
      if (Intersect(a.rect, b.rect)) {
        EXPECT_TRUE(OverlapDeclared(a.id, b.id)) << a.name << " overlaps " << b.name;
      }
    }
  // A declaration that no longer matches shared pixels is stale.
  for (const Overlap& o : kDeclaredOverlaps)
    EXPECT_TRUE(Intersect(At(o.a), At(o.b))) << Get(o.a).name << " / " << Get(o.b).name;
  EXPECT_EQ(CheckAtlas().kind, AtlasProblem::kNone);
}

TEST(AtlasTable, CheckFindsARegionOutsideAndAnUndeclaredOverlap) {
  Region outside[] = {{RegionId::kLogo, "logo", Rect::XYWH(600, 22, 98, 90)}};
  AtlasProblem p = CheckAtlas(outside, 1, nullptr, 0);
  EXPECT_EQ(p.kind, AtlasProblem::kOutsideSheet);
  EXPECT_EQ(p.a, RegionId::kLogo);

  Region empty[] = {{RegionId::kLogo, "logo", Rect::XYWH(10, 10, 0, 5)}};
  EXPECT_EQ(CheckAtlas(empty, 1, nullptr, 0).kind, AtlasProblem::kOutsideSheet);

  Region clash[] = {{RegionId::kBadgeLoaded, "a", Rect::XYWH(400, 106, 26, 6)},
                    {RegionId::kBadgeSaved, "b", Rect::XYWH(425, 111, 26, 6)}};
  p = CheckAtlas(clash, 2, nullptr, 0);
  EXPECT_EQ(p.kind, AtlasProblem::kUndeclaredOverlap);
  Overlap allow[] = {{RegionId::kBadgeSaved, RegionId::kBadgeLoaded}};
  EXPECT_EQ(CheckAtlas(clash, 2, allow, 1).kind, AtlasProblem::kNone);

  // Touching edges share no pixel.
  Region touching[] = {{RegionId::kBadgeLoaded, "a", Rect::XYWH(400, 106, 26, 6)},
                       {RegionId::kBadgeSaved, "b", Rect::XYWH(426, 106, 26, 6)}};
  EXPECT_EQ(CheckAtlas(touching, 2, nullptr, 0).kind, AtlasProblem::kNone);
  EXPECT_EQ(CheckAtlas(touching, 2, allow, 1).kind, AtlasProblem::kStaleOverlap);
}

// A family cell must stay inside its block: a block too small would let
// the game read a neighbour's pixels.
void ExpectInside(const Rect& cell, RegionId block, const std::string& what) {
  EXPECT_TRUE(Inside(cell, At(block)))
      << what << " " << Describe(cell) << " not in " << Get(block).name;
}

TEST(AtlasFamilies, FontCellsOfEveryStyleSitInTheirRows) {
  const RegionId letterRows[] = {RegionId::kLettersStyleM1, RegionId::kLettersStyle0,
                                 RegionId::kLettersStyle1};
  for (int style = kFirstTextStyle; style <= kLastTextStyle; ++style)
    for (int k = 0; k <= static_cast<int>(kGlyphSet.size()); ++k)
      ExpectInside(LetterCell(k, style), letterRows[style - kFirstTextStyle],
                   "letter " + std::to_string(k));
  const RegionId digitRows[] = {RegionId::kDigitsStyleM1, RegionId::kDigitsStyle0,
                                RegionId::kDigitsStyle1, RegionId::kDigitsStyle2,
                                RegionId::kDigitsStyle3};
  for (int style = kFirstDigitStyle; style <= kLastDigitStyle; ++style) {
    RegionId row = digitRows[style - kFirstDigitStyle];
    for (int d = 0; d < 10; ++d)
      ExpectInside(DigitCell(d, style), row, "digit " + std::to_string(d));
    ExpectInside(SignCell(false, style), row, "plus");
    ExpectInside(SignCell(true, style), row, "minus");
  }
  for (int k = 0; k < kKeyIconCount; ++k)
    ExpectInside(KeyIconCell(k), RegionId::kKeyIcons, "key icon");
  for (int k = 0; k < kPromptIconCount; ++k)
    ExpectInside(PromptIconCell(k), RegionId::kPromptIcons, "prompt icon");
}

TEST(AtlasFamilies, HeadsUpDisplayPlacesFillTheirFieldsInBothCopies) {
  for (int a = 0; a < 4; ++a) {
    ExpectInside(HudKeyPlace(a, false), RegionId::kHudKeysA, "key place");
    ExpectInside(HudKeyPlace(a, true), RegionId::kHudKeysB, "mirrored key place");
  }
  // The first copy runs left to right, the mirrored copy right to left.
  EXPECT_EQ(HudKeyPlace(0, false).left, At(RegionId::kHudKeysA).left);
  EXPECT_EQ(HudKeyPlace(3, false).right, At(RegionId::kHudKeysA).right);
  EXPECT_EQ(HudKeyPlace(0, true).right, At(RegionId::kHudKeysB).right);
  EXPECT_EQ(HudKeyPlace(3, true).left, At(RegionId::kHudKeysB).left);
  // Every display place lies wholly inside the icon cell that shows it.
  for (const Overlap& o : kDeclaredOverlaps) {
    if (o.b == RegionId::kIconCellFacingLeft || o.b == RegionId::kIconCellFacingRight)
      ExpectInside(At(o.a), o.b, std::string(Get(o.a).name));
  }
  // Six digits and a sign with four digits are as wide as their fields.
  EXPECT_EQ(At(RegionId::kHudSlot1A).Width(), 6 * kGlyphPitch - 1);
  EXPECT_EQ(At(RegionId::kHudSlot3B).Width(), 5 * kGlyphPitch - 1);
  EXPECT_EQ(At(RegionId::kHudSlot4A).Width(), 3 * kGlyphPitch - 1);
}

TEST(AtlasFamilies, SceneCellsSitInTheirBlocks) {
  for (int w : {124, 125}) ExpectInside(BannerBaseCell(w), RegionId::kBannerBase, "banner");
  for (int row = 0; row < kModeLabelRows; ++row)
    ExpectInside(ModeLabelCell(row), RegionId::kModeLabels, "mode");
  for (int k = 0; k < 3; ++k) ExpectInside(TurnLabelCell(k), RegionId::kTurnLabels, "turn");
  for (int r = 0; r < 3; ++r) ExpectInside(LogoRowCell(r), RegionId::kLogo, "logo row");
  EXPECT_EQ(LogoRowCell(2).bottom, At(RegionId::kLogo).bottom);
  for (int page = 0; page < kMenuPages; ++page)
    for (int c = 0; c < 3; ++c)
      ExpectInside(MenuIconCell(page, c), RegionId::kMenuIcons, "menu icon");
  for (int pose = 0; pose < kMenuPoses; ++pose) {
    ExpectInside(MenuFigureCell(pose), RegionId::kMenuFigures, "figure");
    for (int f = 0; f < kMenuFaceCount; ++f)
      ExpectInside(MenuFaceCell(f, pose), RegionId::kMenuFaces, "face");
  }
  for (bool p2 : {false, true})
    for (bool course : {false, true}) {
      Rect plate = ResultPlateCell(p2, course);
      for (int score : {1, 2}) {
        Rect label = ResultScoreLabelPlace(p2, course, score);
        EXPECT_TRUE(Inside(label, plate)) << Describe(label) << " off plate " << Describe(plate);
        // The label is a copy of a heads-up score field, so it has its size.
        EXPECT_EQ(label.Width(), At(RegionId::kHudSlot1A).Width());
        EXPECT_EQ(label.Height(), At(RegionId::kHudSlot1A).Height());
      }
      for (int b = 0; b < 3; ++b)
        ExpectInside(ResultBlinkCell(p2, course, b),
                     p2 ? RegionId::kResultBlinkP2 : RegionId::kResultBlinkP1, "blink");
    }
  for (int row = -1; row <= 1; ++row) {
    ExpectInside(SlotClosedLabelCell(row), RegionId::kSlotClosedLabels, "closed label");
    ExpectInside(SlotLabelPlateCell(row), RegionId::kSlotLabelPlates, "plate");
    for (int n = 1; n <= 9; ++n)
      ExpectInside(SlotDigitCell(n, row), RegionId::kSlotDigits, "slot digit");
    for (int phase = 0; phase < 2; ++phase)
      ExpectInside(SlotResultMarkCell(row, phase), RegionId::kSlotResultMarks, "result mark");
    ExpectInside(MusicSourceLabelCell(row), RegionId::kMusicSourceLabels, "source label");
  }
  for (int c = 0; c < 4; ++c) ExpectInside(SlotCursorCell(c), RegionId::kSlotCursorMarks, "cursor");
  for (int i = 0; i < kMusicItems; ++i) {
    ExpectInside(MusicItemCell(i), RegionId::kMusicPanel, "music item");
    ExpectInside(MusicPressedItemCell(i), RegionId::kMusicPressedItems, "pressed item");
    // Pressed is the same item read one row higher.
    EXPECT_EQ(MusicPressedItemCell(i).top + 1, MusicItemCell(i).top);
  }
  // The label copied into the panel has the size of one source label.
  EXPECT_EQ(At(RegionId::kMusicSourcePlace).Width(), MusicSourceLabelCell(0).Width());
  EXPECT_EQ(At(RegionId::kMusicSourcePlace).Height(), MusicSourceLabelCell(0).Height());
}

}  // namespace
}  // namespace kelvane::atlas
