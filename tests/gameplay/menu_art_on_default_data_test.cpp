// The mode menu's art from the forged main picture, as the menu lays it:
// the face overlays line up with the figure below them, and nothing stray
// hangs under the icons.
#include <gtest/gtest.h>

#include "gameplay/mode_menu.h"
#include "graphics/atlas.h"
#include "graphics/bmp_file.h"
#include "tests/flow/flow_scene_fixture.h"

namespace kelvane {
namespace {

using test::FlowSceneFixture;

struct MenuArt : FlowSceneFixture {
  // Figure rows well below the face band, where only the figure is drawn.
  static constexpr int kLegsFrom = 64;

  const Surface& Sheet() const { return g.gfx.mainSheets[static_cast<size_t>(g.st.colourIndex)]; }

  // The layer row of the figure's top row, found from its legs; -1 if the
  // legs are nowhere near.
  int FigureTop(const Rect& cell, int x0, int near) const {
    for (int top = near - 24; top <= near + 24; ++top) {
      int opaque = 0, same = 0;
      for (int fy = kLegsFrom; fy < cell.Height(); ++fy)
        for (int fx = 0; fx < atlas::kMenuShownWidth; ++fx) {
          const uint32_t ink = Sheet().PixelColour(cell.left + fx, cell.top + fy);
          if (ink == 0) continue;
          ++opaque;
          same += g.gfx.spriteLayer.PixelColour(x0 + fx, top + fy) == ink;
        }
      if (opaque > 0 && same == opaque) return top;
    }
    return -1;
  }
};

TEST_F(MenuArt, FacesLineUpWithTheFigureTheyAreLaidOver) {
  for (int pose = 0; pose < atlas::kMenuPoses; ++pose) {
    SCOPED_TRACE("pose " + std::to_string(pose));
    g.st.menuPose = static_cast<uint8_t>(pose);
    g.menu.menuPage = 0;
    Enter(scene::kModeMenu);
    g.st.subStep() = menu::kRedraw;
    StepUntilSub(37);  // two faces laid and a few bobs since
    ASSERT_EQ(g.st.subStep(), 37);

    const Rect cell = atlas::MenuFigureCell(pose);
    const int x0 = g.menu.figureX + 144;
    const int top = FigureTop(cell, x0, g.menu.figureY);
    ASSERT_GE(top, 0) << "the figure's legs are not where the menu drew them";
    // Below the head the faces redraw the same body: laid where the menu
    // lays them, every body pixel must show the figure's own colour.
    const int faceTop = g.st.waveOffset();
    int opaque = 0, wrong = 0;
    for (int row = 20; row < 48; ++row) {
      const int fy = faceTop + row - top;
      ASSERT_LT(fy, kLegsFrom);
      for (int fx = 0; fx < atlas::kMenuShownWidth; ++fx) {
        const uint32_t ink = Sheet().PixelColour(cell.left + fx, cell.top + fy);
        if (ink == 0) continue;
        ++opaque;
        wrong += g.gfx.spriteLayer.PixelColour(x0 + fx, faceTop + row) != ink;
      }
    }
    EXPECT_GT(opaque, 100);
    EXPECT_EQ(wrong, 0) << "of " << opaque << " body pixels under the face";
  }
}

TEST(MenuIcons, NothingHangsBelowAnIconsPlate) {
  Surface sheet;
  ASSERT_EQ(DecodeBmp(test::ReadAll(test::GameDir() + "Y_.bmp"), sheet), "");
  auto lit = [&](int x, int y) { return sheet.PixelColour(x, y) != 0; };
  for (int page = 0; page < atlas::kMenuPages; ++page)
    for (int column = 0; column < 3; ++column) {
      const Rect cell = atlas::MenuIconCell(page, column);
      // Just inside its rounded corners, the plate's left side runs down to
      // its bottom row.
      int bottom = cell.top;
      while (bottom < cell.bottom && lit(cell.left + 1, bottom)) ++bottom;
      ASSERT_GT(bottom - cell.top, cell.Height() / 2) << page << "/" << column;
      for (int y = bottom; y < cell.bottom; ++y)
        for (int x = cell.left; x < cell.right; ++x)
          EXPECT_FALSE(lit(x, y)) << "icon " << page << "/" << column << " at (" << x << ", " << y
                                  << ")";
    }
}

}  // namespace
}  // namespace kelvane
