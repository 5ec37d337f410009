// A fresh game on the headless fakes, for tests.
#pragma once

#include <memory>

#include "app/game.h"
#include "platform/core/std_files.h"
#include "platform/headless/headless_host.h"
#include "tests/test_support.h"

namespace kelvane::test {

struct FakePlatform {
  VirtualClock clock;
  HeadlessApp app;
  HeadlessWindow window;
  HeadlessKeys keys;
  HeadlessMedia media;
  HeadlessSound sound;
  StdFileSystem files;
  Platform platform() {
    return Platform{&clock, &app, &window, &keys, &media, &sound, &files};
  }
};

// Owns its fakes; g is ready to use, with dataFolder set to folder.
struct TestGame {
  explicit TestGame(const std::string& folder = "") : game(fakes.platform()) {
    game.st.dataFolder = folder;
    fakes.window.game = &game;
  }
  FakePlatform fakes;
  Game game;
  Game& g() { return game; }
};

}  // namespace kelvane::test
