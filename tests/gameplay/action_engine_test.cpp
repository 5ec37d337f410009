#include "gameplay/action_engine.h"

#include <gtest/gtest.h>

#include "gameplay/backdrops.h"
#include "gameplay/character_drawing.h"
#include "graphics/atlas.h"
#include "tests/gameplay/engine_fixture.h"

namespace kelvane {
namespace {

using test::Row;
using V = std::vector<int>;

struct ActionEngineTest : test::EngineFixture {};

TEST_F(ActionEngineTest, MovesBeforeDrawingInTheSameFrame) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ step", {"X+4 |3 -1"}));
  m.posX = 128;
  m.facesRight = 0;
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.posX, 124);
  EXPECT_EQ(m.curA, 3);
  // Cell 3's left column lands at posX + 144 in this very frame.
  EXPECT_EQ(g.gfx.spriteLayer.RawPixel(124 + 144, 100), test::CellPixel(3, 0));
  EXPECT_EQ(g.gfx.spriteLayer.RawPixel(124 + 144 - 1, 100), 0u);
}

TEST_F(ActionEngineTest, LoopCountsGiveThreeTwoAndTwoFrames) {
  for (auto [count, expected] :
       {std::pair{3, V{0, 0, 0, 1}}, {2, V{0, 0, 1, 1}}, {1, V{0, 0, 1, 1}}}) {
    Parse(Row("_ idle", {"|0 -1"}) +
          Row("_ loop", {"/(|0", "/)" + std::to_string(count) + " |1 1 -1"}));
    Start(1);
    EXPECT_EQ(Frames(4), expected) << "count " << count;
  }
}

TEST_F(ActionEngineTest, LoopCounterOutsideThreeToNinetyNineFallsThrough) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ loop", {"/(|0", "/)5 |1 1 -1"}));
  Start(1);
  m.loopCount = 0;
  ActionStep(g);      // the loop start resets the counter
  m.loopCount = 150;  // a byte beyond 99 leaves the loop at once
  EXPECT_EQ(Frames(1), V{1});
}

TEST_F(ActionEngineTest, CompanionCountersHoldOnMinusOneAndRewindWithTheLoop) {
  // Stream B: 7, 8 then held; the loop rewinds B only while it is not held.
  Parse("_ idle\n/\n0 -1\n-1\n-1\n_ loop\n/(\n0\n7 8\n-1\n/)3 \n1 -1\n-1\n");
  Start(1);
  std::vector<int> b;
  for (int i = 0; i < 4; ++i) {
    ActionStep(g);
    b.push_back(m.curB);
  }
  EXPECT_EQ(b, (V{7, 7, 7, 8}));
}

TEST_F(ActionEngineTest, PositionMovesBeforeSpeedChanges) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ drift", {"x+2 k-1 |0 0 0 0 0 -1"}));
  m.posX = 128;
  m.facesRight = 1;
  Start(1);
  std::vector<int> deltas;
  for (int i = 0; i < 5; ++i) {
    const int before = m.posX;
    ActionStep(g);
    deltas.push_back(m.posX - before);
  }
  EXPECT_EQ(deltas, (V{2, 1, 0, -1, -2}));
}

TEST_F(ActionEngineTest, VerticalMotionAndLanding) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ jump", {"y-6 g+2 |0 0 0", ". |0 -1"}));
  Start(1);
  std::vector<int> ys;
  for (int i = 0; i < 4; ++i) {
    ActionStep(g);
    ys.push_back(m.posY);
  }
  EXPECT_EQ(ys, (V{-6, -10, -12, 0}));
}

TEST_F(ActionEngineTest, CentreClampActsAfterTheInstructions) {
  // Facing left, "X+100" moves 100 to the left: from 260 that is 160, so the
  // instructions saw the unclamped 260.
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ far", {"w+100 |0 -1"}) +
        Row("_ back", {"w+100 X+100 |0 -1"}));
  m.facesRight = 0;
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.posX, 192);
  Start(2);
  ActionStep(g);
  EXPECT_EQ(m.posX, 160);
  // The backslash turns the clamp off for the rest of the action.
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ free", {"\\ w-100 |0 -1"}));
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.posX, 60);
}

TEST_F(ActionEngineTest, LeavingTheStageCallsTheExitRowAndResumes) {
  // Row 1 is the base; leaving the stage with "w=1" calls row 2.
  Parse(Row("_ idle", {"|0 -1"}) + Row("! base", {"|0 -1"}) + Row("_ exit", {"|3 4 -1"}) +
        Row("_ walk", {"\\ w=1 x+100 |1 2 5 6 7 -1"}));
  m.posX = 128;
  m.facesRight = 0;
  Start(3);
  EXPECT_EQ(Frames(3), (V{1, 2, 5}));
  EXPECT_EQ(m.posX, 128 - 300);  // past -144
  ActionStep(g);
  EXPECT_EQ(m.currentRow, 2);
  EXPECT_EQ(m.curA, 3);
  EXPECT_EQ(m.exitRow, 0);
  EXPECT_EQ(Frames(2), (V{4, 6}));  // back in the walk at its saved step
  EXPECT_EQ(m.currentRow, 3);
}

TEST_F(ActionEngineTest, RowJumpsOnlyWithACompanionMode) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ a", {"R+1 |7 -1"}) + Row("_ b", {"|8 -1"}) +
        Row("_ c", {"R+1 |7 -1"}) + Row("_ d", {"|9 -1"}));
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.currentRow, 1);
  EXPECT_EQ(m.curA, 7);
  m.companionMode = 1;
  Start(3);
  ActionStep(g);
  EXPECT_EQ(m.currentRow, 4);
  EXPECT_EQ(m.curA, 9);
  EXPECT_EQ(m.returnRow, 0);  // a jump, not a call
}

TEST_F(ActionEngineTest, CalledRowReturnsExceptToRowZero) {
  Parse(Row("_ idle", {"r+2 |5 -1"}) + Row("_ caller", {"r+1 |5 -1"}) + Row("_ callee", {"|6 -1"}));
  Start(1);
  EXPECT_EQ(Frames(2), (V{6, 5}));  // row 2, then back in row 1 after its call
  EXPECT_EQ(m.currentRow, 1);
  // From row 0 the saved return row is 0, which means no return: the end of
  // the called row starts row 0 afresh, at its call again.
  Start(0);
  EXPECT_EQ(Frames(3), (V{6, 6, 6}));
  EXPECT_EQ(m.currentRow, 2);
}

TEST_F(ActionEngineTest, OnlyOneReturnLevel) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ a", {"r+1 |1 -1"}) + Row("_ b", {"r+1 |2 -1"}) +
        Row("_ c", {"|3 -1"}));
  Start(1);
  EXPECT_EQ(Frames(2), (V{3, 2}));  // c returns to b; b's end has nowhere to go
  ActionStep(g);
  EXPECT_EQ(m.currentRow, 0);  // recognition, not a's picture 1
  EXPECT_EQ(m.curA, 0);
}

TEST_F(ActionEngineTest, FacingInstructions) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ turn", {"> |0", "< |0", "@= |0 -1"}));
  m.posX = 100;
  m.facesRight = 0;
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.facesRight, 1);
  ActionStep(g);
  EXPECT_EQ(m.facesRight, 0);
  ActionStep(g);
  EXPECT_EQ(m.facesRight, 1);  // left of the centre faces right
  EXPECT_EQ(m.effectMirror, 1);
}

TEST_F(ActionEngineTest, FlickerTogglesWithTheFullDuration) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ flash", {"^^ |0", "^^ |0 -1"}));
  tg->fakes.clock.now = 5000;
  Start(1);
  ActionStep(g);
  EXPECT_EQ(g.st.flickerUntil, g.Now() + engine::kFlickerMs);
  ActionStep(g);
  EXPECT_EQ(g.st.flickerUntil, 0u);
}

TEST_F(ActionEngineTest, ColourInstructionStaysWithinTheSchemes) {
  g.st.colourMax = 1;
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ c", {"C=2 |0", "C=5 |0", "C=21 |0", "C=21 |0 -1"}));
  Start(1);
  std::vector<int> colours;
  for (int i = 0; i < 4; ++i) {
    ActionStep(g);
    colours.push_back(g.cmd.playColour);
  }
  EXPECT_EQ(colours, (V{1, 0, 1, 0}));  // capped, next wraps, previous wraps
}

TEST_F(ActionEngineTest, ResetsKeepPositionButNotSpeed) {
  m.posX = 100;
  m.posY = -5;
  m.facesRight = 1;
  m.velX = 3;
  m.centreClamp = 0;
  m.exitRow = 4;
  m.stepA = 9;
  ResetAction(g);
  EXPECT_EQ(m.posX, 100);
  EXPECT_EQ(m.posY, -5);
  EXPECT_EQ(m.facesRight, 1);
  EXPECT_EQ(m.velX, 0);
  EXPECT_EQ(m.centreClamp, 1);
  EXPECT_EQ(m.exitRow, 0);
  EXPECT_EQ(m.stepA, 0);
  ResetPlay(g);
  EXPECT_EQ(m.posX, 140);
  EXPECT_EQ(m.posY, 0);
  EXPECT_EQ(m.currentRow, -1);
}

TEST_F(ActionEngineTest, PositionWrapsAtSixteenBits) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ far", {"\\ |0 -1"}));
  Start(1);
  m.posX = 32760;
  m.velX = 10;
  ActionStep(g);
  EXPECT_EQ(m.posX, -32766);
}

// ---- Scripts that would hang or read outside the tables ----

TEST_F(ActionEngineTest, RowWithoutAPictureDoesNotHangTheFrame) {
  // The idle row is the end instruction alone.
  Parse("_ idle\n/\n-1\n-1\n-1\n");
  Start(0);
  ActionStep(g);
  EXPECT_EQ(m.diag.instructionBoundHits, 1u);
  EXPECT_EQ(m.currentRow, 0);
  // A loop with no picture in it spins until the bound, then the next
  // frame carries on from where it stopped.
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ spin", {"/(|-3", "/)0 |-1"}));
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.diag.instructionBoundHits, 2u);
  EXPECT_EQ(m.currentRow, 1);
  ActionStep(g);
  EXPECT_EQ(m.diag.instructionBoundHits, 3u);
}

TEST_F(ActionEngineTest, BoundedFrameDrawsNothing) {
  Parse("_ idle\n/\n-1\n-1\n-1\n");
  m.posX = 128;
  Start(0);
  ActionStep(g);
  for (int x = 144; x < 465; x += 7) ASSERT_EQ(g.gfx.maskLayer.RawPixel(x, 150), 1u) << x;
}

TEST_F(ActionEngineTest, RowOutsideTheTableEndsTheAction) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ a", {"r+50 |5 -1"}));
  // A call past the last row ends there and returns to its caller.
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.currentRow, 1);
  EXPECT_EQ(m.curA, 5);
  EXPECT_EQ(m.diag.rowsOutsideTable, 1u);
  // -1 (after the last row ended) behaves like the end of an action.
  Start(-1);
  ActionStep(g);
  EXPECT_EQ(m.currentRow, 0);
  EXPECT_EQ(m.curA, 0);
  EXPECT_EQ(m.diag.rowsOutsideTable, 2u);
  // A backward jump below row 0 ends the action too.
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ back", {"R-3 |7 -1"}));
  m.companionMode = 1;
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.currentRow, 0);
  EXPECT_EQ(m.curA, 0);
  EXPECT_EQ(m.diag.rowsOutsideTable, 3u);
}

TEST_F(ActionEngineTest, LastRowEndingGoesThroughMinusOne) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ last", {"|4 -1"}));
  Start(1);
  EXPECT_EQ(Frames(2), (V{4, 0}));
  EXPECT_EQ(m.currentRow, 0);
  EXPECT_EQ(m.diag.rowsOutsideTable, 0u);
}

TEST_F(ActionEngineTest, BackdropInstructions) {
  g.st.dataFolder = test::MakeTempDir("engine-backdrop");
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ b", {"H=12 |0", "H=45 |0", "H=3 |0", "H=99 |0 -1"}));
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.backdrop.backdropNumber, -2);
  ActionStep(g);
  EXPECT_EQ(m.backdrop.backdropNumber, 5);
  ActionStep(g);
  EXPECT_EQ(m.backdrop.backdropNumber, -3);
  ActionStep(g);
  EXPECT_EQ(m.backdrop.backdropNumber, -3);  // other numbers leave it
  EXPECT_EQ(m.backdrop.backdropKind, -1);
  EXPECT_EQ(g.gfx.backdropSheet.Width(), 640);
}

TEST_F(ActionEngineTest, ALoopOfBackdropChangesLoadsOnceAFrame) {
  // No backdrop files here: every load that happens falls back and is
  // counted, so the count is the work the frame did.
  g.st.dataFolder = test::MakeTempDir("engine-backdrop-loop");
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ spin", {"/( H=40 c|-2", "/)0 |-1"}));
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.diag.instructionBoundHits, 1u);
  EXPECT_EQ(m.diag.missingBackdrops, 1u);
  EXPECT_EQ(m.backdrop.loadPending, 0);
  EXPECT_EQ(g.gfx.backdropSheet.RawPixel(320, 240), colour::kBlack);
  // The cleared layers are not cleared again while nothing is drawn.
  const uint64_t layerStamp = g.gfx.spriteLayer.Stamp();
  ActionStep(g);
  EXPECT_EQ(m.diag.instructionBoundHits, 2u);
  EXPECT_EQ(m.diag.missingBackdrops, 2u);
  EXPECT_EQ(g.gfx.spriteLayer.Stamp(), layerStamp);
  // The last change of the frame is the one shown: a plain colour, then
  // the file asked for later in the same frame.
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ two", {"H=12 H+2|-2", "H=41 |0 -1"}));
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.backdrop.backdropNumber, 1);
  EXPECT_EQ(m.diag.missingBackdrops, 3u);
}

TEST_F(ActionEngineTest, EffectsSwitchStaysOnUnderATilePattern) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ e", {"~~ |0", "~~ |0 -1"}));
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.backdrop.effectsOn, 0);
  ActionStep(g);
  EXPECT_EQ(m.backdrop.effectsOn, 1);
  m.backdrop.tilePattern = 4;
  Start(1);
  ActionStep(g);
  EXPECT_EQ(m.backdrop.effectsOn, 1);
}

TEST_F(ActionEngineTest, NoClonesOfAStaleRectangleWhenTheBodyIsMissing) {
  Parse(Row("_ idle", {"|0 -1"}) + Row("_ clone", {"|25 -1"}));
  m.posX = 128;
  m.companionMode = 2;
  Start(1);
  DrawBody(g, 0, 0, 0);  // leaves placeRect on this body
  ActionStep(g);         // picture 25 is not loaded
  EXPECT_EQ(m.diag.missingPictures, 1u);
  EXPECT_EQ(g.gfx.maskLayer.RawPixel(128 + 144 + 80 + 5, 85), 1u);
  EXPECT_EQ(g.gfx.maskLayer.RawPixel(128 + 144 - 80 + 5, 85), 1u);
}

TEST_F(ActionEngineTest, IndicatorShowsTheRequiredKeyWhenTheBonusWindowCloses) {
  Surface& sheet = g.gfx.mainSheets[0];
  sheet.Create(atlas::kSheetWidth, atlas::kSheetHeight);
  for (int y = 0; y < sheet.Height(); ++y)
    for (int x = 0; x < sheet.Width(); ++x) sheet.SetRawPixel(x, y, (y << 12) | x);
  const Rect placeA = atlas::At(atlas::RegionId::kHudPromptA);
  const Rect placeB = atlas::At(atlas::RegionId::kHudPromptB);
  const uint32_t before = sheet.RawPixel(placeA.left, placeA.top);
  g.cmd.landingKey = 2;  // forward: icon 1, shown as icon 3 in the mirrored copy
  g.cmd.landingPromptTimer = 3;
  StampIndicator(g);
  EXPECT_EQ(sheet.RawPixel(placeA.left, placeA.top), before);
  g.cmd.landingPromptTimer = 0;
  StampIndicator(g);
  const Rect icon1 = atlas::PromptIconCell(1);
  const Rect icon3 = atlas::PromptIconCell(3);
  EXPECT_EQ(sheet.RawPixel(placeA.left + 1, placeA.top + 2),
            sheet.RawPixel(icon1.left + 1, icon1.top + 2));
  EXPECT_EQ(sheet.RawPixel(placeB.left + 1, placeB.top + 2),
            sheet.RawPixel(icon3.left + 1, icon3.top + 2));
  // No landing pending: nothing to show.
  g.cmd.landingKey = 0;
  sheet.SetRawPixel(placeA.left, placeA.top, 0);
  StampIndicator(g);
  EXPECT_EQ(sheet.RawPixel(placeA.left, placeA.top), 0u);
}

}  // namespace
}  // namespace kelvane
