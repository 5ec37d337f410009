// The command list window keyFM: every typeable command with the action it
// starts and its points, filled once at start-up, sorted by a column click.
// It never keeps input for itself: keys, the middle button and the wheel go
// on to the main window, so the game goes on while the list is in front.
// The window itself lives in the host; this is its content and its rules.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kelvane {

struct Game;

// One item of the list. Texts are Shift-JIS.
struct CommandListRow {
  static constexpr int kColumns = 8;
  // Columns 1..8: No., Command, Landig, Action Name, First, Score, Bn, Fall.
  std::array<std::string, kColumns> texts;
  std::string codeKey;     // the command code with four digits (sorts column 2)
  std::string landingKey;  // the landing digit (sorts column 3)
};

struct CommandListState {
  std::vector<CommandListRow> rows;  // in the order shown
  // The column (1..8) of the last sort, negative when descending.
  int8_t sortKey = 1;
};

struct CommandListColumn {
  const char* caption;
  int width;
};
inline constexpr std::array<CommandListColumn, CommandListRow::kColumns> kCommandListColumns = {{
    {"No.", 33},
    {"Command", 80},
    {"Landig", 48},
    {"Action Name", 220},
    {"First", 44},
    {"Score", 44},
    {"Bn", 30},
    {"Fall", 44},
}};
inline constexpr Size kCommandListSize{581, 79};

// The window's caption, Shift-JIS.
std::string CommandListCaption();
// The glyph (Shift-JIS) of a command digit: 0 a full-width blank, 1..4 the
// arrows up, left, down, right, 5 and 6 the buttons, 7..9 a star.
std::string DigitGlyph(int digit);
// The four glyphs of a command code, thousands first.
std::string CommandGlyphs(int code);

// The window's creation: placed at the top of the screen, centred, then the
// list filled once, which also marks the codes of the rows declared as
// performed.
void KeyFormCreate(Game& g);
void FillKeyList(Game& g);

// The platform's locale-aware comparison of two texts (<0, 0, >0).
int LocaleCompare(const std::string& a, const std::string& b);
// The list's comparison for the sort key k (the column, negative for
// descending).
int CompareListRows(const CommandListRow& a, const CommandListRow& b, int k);

// A click on column 1..8: ascending, or descending when it was the last
// sorted ascending.
void ListView1ColumnClick(Game& g, int column);

// Keys typed in the list window reach the main window's handlers, the mouse
// counted as ready meanwhile. KeyDown returns whether the window may still
// use the key (only Alt and F4, for Alt+F4); a released Escape hides the
// window.
bool KeyFormKeyDown(Game& g, int vk, ShiftState shift);
void KeyFormKeyUp(Game& g, int vk, ShiftState shift);
// Whether a typed character may reach the list itself (its type-ahead
// search): only while the program is halted, when the game takes no keys.
bool KeyFormTypingReachesList(const Game& g);
// The wheel goes to the game unless the list has the focus; client is the
// pointer in the main window's client coordinates. Returns whether the list
// should scroll instead.
bool KeyFormMouseWheel(Game& g, bool up, bool listHasFocus, ShiftState shift, Point client);
// Buttons over the list: the middle one is the Space key. MouseUp returns
// whether the list should give up the focus (the right button), so that
// the wheel reaches the game again.
void ListView1MouseDown(Game& g, MouseButton button, ShiftState shift);
bool ListView1MouseUp(Game& g, MouseButton button, ShiftState shift);
void ListView1MouseMove(Game& g);

}  // namespace kelvane
