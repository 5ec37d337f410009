// A game with its surfaces made and plain pictures: every colour scheme of
// the main picture is one ink, its mask is opaque everywhere, the backdrop
// is one colour. A test can then tell from a pixel of the frame whether the
// scene laid a picture there.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/game.h"
#include "app/scenes.h"
#include "gameplay/keyboard.h"
#include "graphics/atlas.h"
#include "graphics/presentation.h"
#include "graphics/surfaces.h"
#include "tests/fake_platform.h"

namespace kelvane::test {

struct SceneFixture : ::testing::Test {
  static constexpr uint32_t kBackdrop = 0x204060;
  static constexpr uint32_t kInk[3] = {0xC08040, 0x40C080, 0x8040C0};

  std::unique_ptr<TestGame> tg = std::make_unique<TestGame>();
  Game& g = tg->game;

  SceneFixture() {
    CreateMainSurface(g);
    CreateStageSurfaces(g);
    CreateScratchMask(g);
    for (size_t k = 0; k < 3; ++k)
      Fill(g.gfx.mainSheets[k], atlas::kSheetWidth, atlas::kSheetHeight, kInk[k]);
    g.gfx.mainSheets[3].Create(atlas::kSheetWidth, atlas::kSheetHeight, PixelFormat::Mask);
    Fill(g.gfx.backdropSheet, 640, 480, kBackdrop);
    g.gfx.backdropFrameCount = 4;
    g.st.colourMax = 2;
    g.st.frameInterval = g.st.normalFrameInterval;
    UseWindow(true);
  }

  static void Fill(Surface& s, int w, int h, uint32_t rgb) {
    s.Create(w, h, PixelFormat::Colour);
    s.canvas.brushColour = rgb;
    FillRect(s, s.Bounds());
  }

  void UseWindow(bool large) {
    g.st.windowSizeFlag = large ? 1 : 0;
    g.gfx.presentRect = large ? geo::kPresentLarge : geo::kPresentSmall;
  }

  void Enter(int8_t sceneCode, int16_t subStep = 0) {
    g.st.sceneCode = sceneCode;
    ResetSceneCounters(g.st);
    g.st.subStep() = subStep;
  }

  // One frame step of the current scene, the clock moving on with it.
  void Step(int frames = 1) {
    for (int i = 0; i < frames; ++i) {
      tg->fakes.clock.now += g.st.frameInterval;
      RunSceneHandler(g);
    }
  }
  // Steps until the sub-step or the scene changes; returns the steps run.
  int StepWhile(int16_t subStep, int limit = 1000) {
    const int8_t sceneCode = g.st.sceneCode;
    int n = 0;
    while (n < limit && g.st.sceneCode == sceneCode && g.st.subStep() == subStep) {
      Step();
      ++n;
    }
    return n;
  }

  void Press(int vk, ShiftState shift = {}) { FormKeyDown(g, FormId::FM, vk, shift); }

  int16_t Sub() const { return g.st.subStep(); }
  uint32_t Frame(int x, int y) const { return g.gfx.mainSurface.PixelColour(x, y); }

  // The number of the last sound effect played, -1 when none.
  int LastSound() const {
    const std::string& path = tg->fakes.sound.last;
    const size_t at = path.rfind("Y_q");
    if (at == std::string::npos) return -1;
    return std::stoi(path.substr(at + 3, 2));
  }
};

}  // namespace kelvane::test
