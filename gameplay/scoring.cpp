#include "gameplay/scoring.h"

#include <algorithm>

#include "app/game.h"
#include "graphics/atlas.h"
#include "graphics/glyph_text.h"
#include "graphics/sound_effect.h"
#include "graphics/surfaces.h"

namespace kelvane {
namespace {

using atlas::RegionId;

constexpr int kMaxScore = 999999;

// Glyph rows of the slots: scores in row 3, points in row 2, bonus in row 1.
struct SlotLayout {
  RegionId first, second;
  int style;
  int digits;
  bool signedNumber;
};
constexpr SlotLayout kSlots[5] = {
    {RegionId::kHudSlot1A, RegionId::kHudSlot1B, 3, 6, false},  // unused
    {RegionId::kHudSlot1A, RegionId::kHudSlot1B, 3, 6, false},
    {RegionId::kHudSlot2A, RegionId::kHudSlot2B, 3, 6, false},
    {RegionId::kHudSlot3A, RegionId::kHudSlot3B, 2, 4, true},
    {RegionId::kHudSlot4A, RegionId::kHudSlot4B, 1, 2, true},
};

Surface& Sheet(Game& g) {
  return g.gfx.mainSheets[0];
}

// A cell of the interface picture onto a place of the same picture.
void Stamp(Game& g, const Rect& cell, const Rect& place) {
  Surface& sheet = Sheet(g);
  if (sheet.Empty()) return;
  sheet.canvas.copyMode = SRCCOPY;
  CopyRect(sheet, place, sheet, cell);
}

// Left and right keys trade places in the mirrored copy.
int Mirrored(int icon) {
  return icon == 1 ? 3 : icon == 3 ? 1 : icon;
}

Rect GlyphPlace(RegionId region) {
  Rect r = atlas::At(region);
  return Rect::XYWH(r.left, r.top, atlas::kGlyphW, atlas::kGlyphH);
}

int DecimalDigits(int32_t n) {
  int digits = 0;
  for (; n != 0; n /= 10) ++digits;
  return digits;
}

void EraseRect(Game& g, const Rect& r) {
  Stamp(g, atlas::At(RegionId::kHudBlankColumn), r);
}

constexpr Rect Union(RegionId a, RegionId b) {
  Rect p = atlas::At(a), q = atlas::At(b);
  return Rect{std::min(p.left, q.left), std::min(p.top, q.top), std::max(p.right, q.right),
              std::max(p.bottom, q.bottom)};
}

}  // namespace

void AddScore(Game& g, int points, const ScoreReason& reason) {
  CommandState& c = g.cmd;
  const int player = g.stage.currentPlayer == 2 ? 2 : 1;
  int32_t& score = c.scoreSlots[static_cast<size_t>(player)];
  const int32_t before = score;
  if (c.scoreLock <= 1) {
    int64_t sum = static_cast<int64_t>(score) + points;
    score = static_cast<int32_t>(std::clamp<int64_t>(sum, 0, kMaxScore));
  }
  JudgeEvent e;
  e.player = player;
  e.points = score - before;
  e.asked = points;
  e.total = score;
  e.why = reason.why;
  e.repeat = reason.repeat;
  e.code = reason.code;
  PublishJudge(g, std::move(e), reason.row);
}

void AddPoints(Game& g, int points, const ScoreReason& reason) {
  AddScore(g, points, reason);
  g.cmd.scoreSlots[3] = points;
  DrawScoreSlot(g, 3);
  DrawScoreSlot(g, g.stage.currentPlayer == 2 ? 2 : 1);
}

void AddLandingBonus(Game& g, int points) {
  AddScore(g, points, {JudgeWhy::kLandingHit});
  g.cmd.scoreSlots[4] = points;
  DrawScoreSlot(g, 4);
  DrawScoreSlot(g, g.stage.currentPlayer == 2 ? 2 : 1);
}

void MissLanding(Game& g) {
  JudgeEvent e;
  e.player = g.stage.currentPlayer == 2 ? 2 : 1;
  e.total = g.cmd.scoreSlots[static_cast<size_t>(e.player)];
  e.why = JudgeWhy::kLandingMissed;
  PublishJudge(g, std::move(e));
}

void DrawScoreSlot(Game& g, int slot) {
  if (slot < 1 || slot > 4 || Sheet(g).Empty()) return;
  const SlotLayout& s = kSlots[slot];
  int32_t value = g.cmd.scoreSlots[static_cast<size_t>(slot)];
  for (RegionId place : {s.first, s.second}) {
    Rect r = atlas::At(place);
    if (s.signedNumber)
      DrawSignedNumber(g, s.digits, value, s.style, r.top, r.left);
    else
      DrawDigits(g, s.digits, value, s.style, r.top, r.left);
  }
}

void ShowKey(Game& g, int keySlot) {
  CommandState& c = g.cmd;
  int a = 4 - DecimalDigits(c.commandWeight);
  int facing = g.motion.facesRight ? 1 : 0;
  // The Left and Right keys show forward or back as the character faces;
  // the slot decides, not the icon already turned.
  int icon = keySlot;
  if (keySlot == 1) icon = 2 * facing + 1;
  if (keySlot == 3) icon = 3 - 2 * facing;
  if (icon < 0 || icon >= atlas::kKeyIconCount) return;
  if (a == -1) {
    if (icon + 1 != c.landingKey) {
      MissLanding(g);
      PlaySoundEffect(g, 60 + g.Rand(2));
    } else if (c.landingPromptTimer <= 0) {
      MissLanding(g);
      PlaySoundEffect(g, 29 + g.Rand(2));
    } else {
      AddLandingBonus(g, c.landingBonus);
      PlaySoundEffect(g, 66 + g.Rand(4));
    }
    Stamp(g, atlas::KeyIconCell(icon), GlyphPlace(RegionId::kHudLandingKeyA));
    Stamp(g, atlas::KeyIconCell(Mirrored(icon)), GlyphPlace(RegionId::kHudLandingKeyB));
    return;
  }
  if (a < 0 || a > 3) return;
  Stamp(g, atlas::KeyIconCell(icon), atlas::HudKeyPlace(a, false));
  Stamp(g, atlas::KeyIconCell(Mirrored(icon)), atlas::HudKeyPlace(a, true));
}

void ShowLandingPrompt(Game& g, int icon) {
  if (icon < 0 || icon >= atlas::kPromptIconCount) return;
  Stamp(g, atlas::PromptIconCell(icon), GlyphPlace(RegionId::kHudPromptA));
  Stamp(g, atlas::PromptIconCell(Mirrored(icon)), GlyphPlace(RegionId::kHudPromptB));
}

void ClearKeys(Game& g) {
  // A move list may end thousands of rows in one frame, each clearing these.
  static constexpr Rect kPlaces[] = {
      atlas::At(RegionId::kHudKeysA),
      Union(RegionId::kHudLandingKeyA, RegionId::kHudPromptA),
      atlas::At(RegionId::kHudSlot4A),
      atlas::At(RegionId::kHudKeysB),
      Union(RegionId::kHudLandingKeyB, RegionId::kHudPromptB),
      atlas::At(RegionId::kHudSlot4B),
  };
  for (const Rect& r : kPlaces) EraseRect(g, r);
}

void ShowCommand(Game& g, int code) {
  CommandState& c = g.cmd;
  c.commandCode = code;
  c.commandWeight = 1000;
  ClearKeys(g);
  for (int place = 1000; place >= 1; place /= 10) {
    int digit = (code / place) % 10;
    // An empty place (a 0 digit) stays blank rather than showing whatever
    // lies left of the first key icon.
    if (digit >= 1) ShowKey(g, digit - 1);
    c.commandWeight /= 10;
  }
}

}  // namespace kelvane
