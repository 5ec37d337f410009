#include "actiondata/command_list_window.h"

#include <algorithm>
#include <cctype>

#include "app/game.h"
#include "app/trace.h"
#include "config/numbered_files.h"
#include "gameplay/command_list_items.h"
#include "gameplay/key_groups.h"
#include "gameplay/keyboard.h"
#include "gameplay/mouse_input.h"
#include "graphics/glyph_text.h"
#include "platform/core/text_codec.h"

namespace kelvane {
namespace {

constexpr int kVkF4 = 115;
constexpr size_t kNamePadBelow = 32;
constexpr size_t kNamePaddedTo = 33;
constexpr int kTopOfScreen = 1;

// Digits 0..9 as the list draws them (UTF-8 here, Shift-JIS in the rows).
constexpr std::array<const char*, 10> kDigitGlyphs = {"　", "↑",  "←",  "↓",  "→",
                                                      "Ｙ", "Ｎ", "＊", "＊", "＊"};

// The sort weight of a byte: blanks and signs before digits before
// letters (whose case counts only later), other bytes last.
int PrimaryWeight(unsigned char c) {
  if (c >= 0x80) return 0x400 + c;
  if (std::isdigit(c)) return 0x200 + c;
  if (std::isalpha(c)) return 0x300 + std::tolower(c);
  return 0x100 + c;
}

// Hyphens and apostrophes are ignored at first, as in a word sort.
bool IgnoredAtFirst(char c) {
  return c == '-' || c == '\'';
}

std::string Without(const std::string& s) {
  std::string out;
  for (char c : s)
    if (!IgnoredAtFirst(c)) out += c;
  return out;
}

int Sign(int v) {
  return (v > 0) - (v < 0);
}

void Stamp(Game& g) {
  g.st.lastInputTick = g.Now();
}

// The window's outer width: its client width and the frame on both sides.
int FormWidth(Game& g) {
  WindowService& w = *g.pf.window;
  const int frame = w.ClientOrigin(FormId::keyFM).x - w.Position(FormId::keyFM).x;
  return w.ClientSize(FormId::keyFM).w + 2 * frame;
}

CommandListRow MakeRow(const ActionRow& r, int number, int code) {
  CommandListRow row;
  row.texts[0] = PadLeft(3, number);
  row.texts[1] = CommandGlyphs(code);
  row.texts[2] = Utf8ToSjis("（") + DigitGlyph(r.landing) + Utf8ToSjis("）");
  std::string name = r.name;
  if (name.size() < kNamePadBelow) name.resize(kNamePaddedTo, ' ');
  row.texts[3] = name;
  row.texts[4] = PadLeft(4, r.firstScore + r.scoreExtra);
  row.texts[5] = PadLeft(4, r.score + r.scoreExtra);
  row.texts[6] = PadLeft(2, r.fall != 0 ? r.bn : 0);
  row.texts[7] = PadLeft(4, r.fall);
  row.codeKey = ZeroPad(4, code);
  row.landingKey = ZeroPad(1, r.landing);
  return row;
}

}  // namespace

std::string CommandListCaption() {
  return Utf8ToSjis("COMAND LIST (direction←)");
}

std::string DigitGlyph(int digit) {
  const int d = std::clamp(digit, 0, 9);
  return Utf8ToSjis(kDigitGlyphs[static_cast<size_t>(d)]);
}

std::string CommandGlyphs(int code) {
  std::string glyphs;
  for (int place = 1000; place >= 1; place /= 10) glyphs += DigitGlyph(code / place % 10);
  return glyphs;
}

void FillKeyList(Game& g) {
  FillCommandList(g);
  std::vector<CommandListRow>& rows = g.keyList.rows;
  rows.clear();
  int number = 0;
  for (const CommandListItem& item : g.cmd.listItems)
    rows.push_back(
        MakeRow(g.actions.actionRows[static_cast<size_t>(item.row)], ++number, item.code));
}

void KeyFormCreate(Game& g) {
  WindowService& w = *g.pf.window;
  w.SetCaption(FormId::keyFM, CommandListCaption());
  const int left = (w.ScreenSize().w - FormWidth(g)) / 2;
  w.SetPosition(FormId::keyFM, {left, kTopOfScreen});
  FillKeyList(g);
}

int LocaleCompare(const std::string& a, const std::string& b) {
  const std::string pa = Without(a), pb = Without(b);
  const size_t n = std::min(pa.size(), pb.size());
  for (size_t i = 0; i < n; ++i) {
    const int d = PrimaryWeight(static_cast<unsigned char>(pa[i])) -
                  PrimaryWeight(static_cast<unsigned char>(pb[i]));
    if (d != 0) return Sign(d);
  }
  if (pa.size() != pb.size()) return pa.size() < pb.size() ? -1 : 1;
  // Equal but for case: the small letter first.
  for (size_t i = 0; i < n; ++i)
    if (pa[i] != pb[i]) return std::islower(static_cast<unsigned char>(pa[i])) ? -1 : 1;
  return Sign(a.compare(b));
}

int CompareListRows(const CommandListRow& a, const CommandListRow& b, int k) {
  const int m = std::abs(k);
  int result;
  if (m == 2)
    result = LocaleCompare(a.codeKey, b.codeKey);
  else if (m == 3)
    result = LocaleCompare(a.landingKey, b.landingKey);
  else
    result = LocaleCompare(a.texts[static_cast<size_t>(std::clamp(m, 1, 8) - 1)],
                           b.texts[static_cast<size_t>(std::clamp(m, 1, 8) - 1)]);
  return k < 0 ? -result : result;
}

void ListView1ColumnClick(Game& g, int column) {
  if (g.st.halted || column < 1 || column > CommandListRow::kColumns) return;
  Stamp(g);
  CommandListState& list = g.keyList;
  int k = column;
  if (k == list.sortKey) k = -k;
  list.sortKey = static_cast<int8_t>(k);
  // Stable, so equal items keep the order of the last sort.
  std::stable_sort(list.rows.begin(), list.rows.end(),
                   [k](const CommandListRow& a, const CommandListRow& b) {
                     return CompareListRows(a, b, k) < 0;
                   });
}

bool KeyFormKeyDown(Game& g, int vk, ShiftState shift) {
  if (g.trace) g.trace->Key(g.Now(), true, vk, true);
  const uint8_t saved = g.st.mouseLevel;
  g.st.mouseLevel = 2;
  FormKeyDown(g, FormId::keyFM, vk, shift);
  g.st.mouseLevel = saved;
  return vk == keys::kAlt || vk == kVkF4;
}

void KeyFormKeyUp(Game& g, int vk, ShiftState shift) {
  if (g.trace) g.trace->Key(g.Now(), false, vk, true);
  const uint8_t saved = g.st.mouseLevel;
  g.st.mouseLevel = 2;
  FormKeyUp(g, FormId::keyFM, vk, shift);
  g.st.mouseLevel = saved;
  if (vk == keys::kEscape) g.pf.window->SetVisible(FormId::keyFM, false);
}

bool KeyFormTypingReachesList(const Game& g) {
  return g.st.halted != 0;
}

bool KeyFormMouseWheel(Game& g, bool up, bool listHasFocus, ShiftState shift, Point client) {
  if (listHasFocus) {
    Stamp(g);
    return true;
  }
  FormMouseWheel(g, up, shift, client);
  return false;
}

void ListView1MouseDown(Game& g, MouseButton button, ShiftState shift) {
  if (button == MouseButton::Middle)
    FormKeyDown(g, FormId::keyFM, keys::kSpace, shift);
  else
    Stamp(g);
}

bool ListView1MouseUp(Game& g, MouseButton button, ShiftState shift) {
  if (button == MouseButton::Middle) {
    FormKeyUp(g, FormId::keyFM, keys::kSpace, shift);
    return false;
  }
  Stamp(g);
  return button == MouseButton::Right;
}

void ListView1MouseMove(Game& g) {
  Stamp(g);
}

}  // namespace kelvane
