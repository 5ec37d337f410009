// A game with stage layers and a few synthetic character pictures, and
// helpers to run small action files through the engine.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "actiondata/action_file.h"
#include "app/game.h"
#include "gameplay/action_engine.h"
#include "graphics/presentation.h"
#include "tests/fake_platform.h"

namespace kelvane::test {

// Sheet 0 picture colours: every pixel says which cell and column it came
// from, so a test can tell mirrored from plain drawing.
inline uint32_t CellPixel(int cell, int x) {
  return 0x010000u * static_cast<uint32_t>(x + 1) | static_cast<uint32_t>(cell + 1);
}

struct EngineFixture : ::testing::Test {
  std::unique_ptr<TestGame> tg = std::make_unique<TestGame>();
  Game& g = tg->game;
  Motion& m = g.motion;

  EngineFixture() {
    CreateStageSurfaces(g);
    g.st.colourMax = 2;
    MakeSheetZero();
  }

  // Sheet 0, bitmap slot 0: 20 cells of 64 x 96, wholly opaque.
  void MakeSheetZero() {
    Surface& colour = g.gfx.frameSheets[0][0][0];
    colour.Create(320, 384);
    for (int y = 0; y < 384; ++y)
      for (int x = 0; x < 320; ++x)
        colour.SetRawPixel(x, y, CellPixel((y / 96) * 5 + x / 64, x % 64));
    g.gfx.frameSheets[3][0][0].Create(320, 384, PixelFormat::Mask);  // all figure
  }

  void Parse(const std::string& text) {
    std::string error;
    ASSERT_TRUE(ParseActionText(g.actions, text, "test", &error)) << error;
  }

  void Start(int row) {
    ResetAction(g);
    m.currentRow = static_cast<int16_t>(row);
  }

  // The picture shown in each of n frames (negative: none drawn).
  std::vector<int> Frames(int n) {
    std::vector<int> shown;
    for (int i = 0; i < n; ++i) {
      ActionStep(g);
      shown.push_back(m.curA);
    }
    return shown;
  }
};

// A row with one step line per string: "tokens|A numbers", and the two
// companion parts ended at once.
inline std::string Row(const std::string& header, const std::vector<std::string>& steps) {
  std::string text = header + "\n";
  bool first = true;
  for (const std::string& step : steps) {
    const size_t bar = step.find('|');
    text += "/" + step.substr(0, bar) + "\n" + step.substr(bar + 1) + "\n";
    if (first) text += "-1\n-1\n";
    first = false;
  }
  return text;
}

}  // namespace kelvane::test
