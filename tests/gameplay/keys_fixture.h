// A game with an interface picture whose every pixel names its own place,
// so a test can tell which glyph cell was copied where, and helpers to set
// up action rows and type keys.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "app/game.h"
#include "gameplay/command_entry.h"
#include "graphics/atlas.h"
#include "tests/fake_platform.h"

namespace kelvane::test {

inline uint32_t SheetPixel(int x, int y) {
  return static_cast<uint32_t>(y * atlas::kSheetWidth + x + 1);
}

struct KeysFixture : ::testing::Test {
  std::unique_ptr<TestGame> tg = std::make_unique<TestGame>();
  Game& g = tg->game;
  CommandState& c = g.cmd;

  KeysFixture() {
    Surface& sheet = g.gfx.mainSheets[0];
    sheet.Create(atlas::kSheetWidth, atlas::kSheetHeight);
    for (int y = 0; y < atlas::kSheetHeight; ++y)
      for (int x = 0; x < atlas::kSheetWidth; ++x) sheet.SetRawPixel(x, y, SheetPixel(x, y));
    g.actions.lastRow = 0;
    g.motion.currentRow = 0;
  }

  // Row n of group `group` started by the given codes.
  ActionRow& DefineRow(int n, int group, std::initializer_list<int> codes) {
    ActionRow& row = g.actions.actionRows[static_cast<size_t>(n)];
    row.group = static_cast<int16_t>(group);
    size_t slot = 0;
    for (int code : codes) {
      row.commands[slot++] = static_cast<int16_t>(code);
      g.actions.codeToRow[static_cast<size_t>(code)] = static_cast<int16_t>(n);
    }
    if (n > g.actions.lastRow) g.actions.lastRow = static_cast<int16_t>(n);
    return row;
  }

  void Type(std::initializer_list<int> vks) {
    for (int vk : vks) TypeCommandKey(g, vk);
  }

  // The number of the last sound effect played, -1 when none.
  int LastSound() const {
    const std::string& path = tg->fakes.sound.last;
    const size_t at = path.rfind("Y_q");
    if (at == std::string::npos) return -1;
    return std::stoi(path.substr(at + 3, 2));
  }

  // Whether the 4 x 5 place at (x, y) of the interface picture holds the
  // pixels that the cell held when the picture was made.
  bool Shows(int x, int y, const Rect& cell) const {
    const Surface& sheet = g.gfx.mainSheets[0];
    for (int dy = 0; dy < atlas::kGlyphH; ++dy)
      for (int dx = 0; dx < atlas::kGlyphW; ++dx)
        if (sheet.RawPixel(x + dx, y + dy) != SheetPixel(cell.left + dx, cell.top + dy))
          return false;
    return true;
  }
};

}  // namespace kelvane::test
