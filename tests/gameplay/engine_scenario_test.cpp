// Plays every row of the default move list through the engine and checks
// that the data never makes it hang, leave the row table or ask for a
// picture that no load group provides.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "actiondata/action_file.h"
#include "actiondata/load_group.h"
#include "actiondata/palette_file.h"
#include "gameplay/action_engine.h"
#include "graphics/bmp_file.h"
#include "graphics/presentation.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

constexpr int kFramesPerRow = 2000;
constexpr int kIdleFrames = 200;

// Every picture the load groups name, with its mask. The colour schemes are
// copies of scheme 0: only whether a picture is there matters here, and the
// scripts switch schemes.
int LoadGroupPictures(Game& g, std::string* failures) {
  int loaded = 0;
  for (int group = 0; group <= g.actions.lastGroup; ++group) {
    for (int e = 0; e < ActionData::kMaxGroupPictures; ++e) {
      const int p = g.actions.loadGroups[group][e];
      if (p == ActionData::kEnd) break;
      const int set = PictureSet(p);
      const int slot = PictureSlot(p);
      if (set < 0 || set >= 13 || slot < 0 || slot >= 32) {
        *failures += " bad-number:" + std::to_string(p);
        continue;
      }
      Surface& colour = g.gfx.frameSheets[0][set][slot];
      const std::string error =
          LoadBmp(*g.pf.files, g.st.dataFolder + PictureName(p) + ".bmp", colour);
      if (!error.empty()) {
        *failures += " " + error;
        continue;
      }
      for (int scheme = 1; scheme < 3; ++scheme) g.gfx.frameSheets[scheme][set][slot] = colour;
      Surface& mask = g.gfx.frameSheets[3][set][slot];
      mask = colour;
      mask.canvas.brushColour = colour::kBlack;
      if (mask.Format() == PixelFormat::Pal4) mask.SetPalette(g.palettes.charPalettes[1]);
      mask.SetFormat(PixelFormat::Mask);
      ++loaded;
    }
  }
  return loaded;
}

TEST(EngineScenario, EveryDefaultRowPlaysWithinTheTables) {
  const std::string dir = test::GameDir();
  if (!std::filesystem::exists(dir + ActionFileName("act")) ||
      !std::filesystem::exists(dir + kPaletteFileName)) {
    GTEST_SKIP() << "no move list in " << dir << " (build the game data first)";
  }
  auto tg = std::make_unique<test::TestGame>(dir);
  Game& g = tg->game;
  g.st.colourMax = 2;
  ASSERT_TRUE(ReadPaletteFile(g));
  BuildPalettes(g);
  CreateStageSurfaces(g);
  ASSERT_TRUE(ReadActionFile(g, "act"));
  ASSERT_GE(g.actions.lastRow, 0);
  std::string loadFailures;
  const int pictures = LoadGroupPictures(g, &loadFailures);
  EXPECT_TRUE(loadFailures.empty()) << loadFailures;
  ASSERT_GT(pictures, 0);

  Motion& m = g.motion;
  std::string faults;
  int framesPlayed = 0;
  for (int row = 0; row <= g.actions.lastRow; ++row) {
    const EngineDiagnostics before = m.diag;
    ResetPlay(g);
    ResetAction(g);
    m.currentRow = static_cast<int16_t>(row);
    const int limit = row == 0 ? kIdleFrames : kFramesPerRow;
    for (int frame = 0; frame < limit; ++frame) {
      ActionStep(g);
      ++framesPlayed;
      if (row != 0 && m.currentRow == 0) break;  // the action ended
      if ((frame & 63) == 63) ClearLayers(g);
    }
    if (m.diag.instructionBoundHits != before.instructionBoundHits)
      faults += " row " + std::to_string(row) + " hangs;";
    if (m.diag.rowsOutsideTable != before.rowsOutsideTable)
      faults += " row " + std::to_string(row) + " leaves the table;";
    if (m.diag.missingPictures != before.missingPictures)
      faults += " row " + std::to_string(row) + " draws " +
                std::to_string(m.diag.missingPictures - before.missingPictures) +
                " missing pictures;";
  }
  EXPECT_TRUE(faults.empty()) << faults;
  RecordProperty("rows", g.actions.lastRow + 1);
  RecordProperty("frames", framesPlayed);
  RecordProperty("missingBackdrops", static_cast<int>(m.diag.missingBackdrops));
  std::printf("[ scenario ] %d rows, %d frames, %d pictures, %u missing backdrop files\n",
              g.actions.lastRow + 1, framesPlayed, pictures, m.diag.missingBackdrops);
}

}  // namespace
}  // namespace kelvane
