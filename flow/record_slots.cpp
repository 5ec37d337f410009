#include "flow/record_slots.h"

#include <algorithm>
#include <cctype>
#include <iostream>

#include "app/game.h"
#include "config/numbered_files.h"
#include "flow/run_record.h"
#include "flow/scene_art.h"
#include "flow/stage_cycle.h"
#include "gameplay/key_groups.h"
#include "graphics/atlas.h"
#include "graphics/glyph_text.h"
#include "graphics/presentation.h"
#include "graphics/sound_effect.h"
#include "graphics/window_layout.h"
#include "music/music_state.h"
#include "music/play_list.h"
#include "platform/core/shown_name.h"

namespace kelvane {
namespace {

using namespace slot_scene;

constexpr size_t kMaskSheet = 3;
constexpr const char* kTitle = "Kelvane";
constexpr const char* kSaveTitle = "SAVE$SLOT";
constexpr const char* kLoadTitle = "LOAD$SLOT";
constexpr const char* kSaveAskText = "SAVE?";
constexpr const char* kLoadAskText = "LOAD?";
constexpr const char* kLoadedText = "LOAD!";
constexpr const char* kMusicText = "+BGM!";
// Shown instead of loading a record that does not check, and instead of
// "SAVE?" when a slot file could not be written.
constexpr const char* kRefusedText = "BAD!$";
constexpr const char* kFailedText = "FAIL!";
constexpr const char* kBlankMessage = "$$$$$";
constexpr const char* kUnknownScore = "??????";

constexpr int kSoundOpen = 71;
constexpr int kSoundCancel = 20;
constexpr int kSoundDone = 21;
constexpr int kSoundMove = 28;
constexpr int kSoundConfirm = 30;
constexpr int kSoundEmpty = 50;
constexpr int kSoundBeside = 51;
constexpr int kSoundChosen = 61;

constexpr int kPointerArrow = 2;
constexpr int kPointerWait = 3;

// Where the slot scenes' pictures lie on the layers: a label's parts are
// placed relative to its slot position plus this.
constexpr int kLabelX = 144;
constexpr int kTitleCentre = 305;
constexpr int kTitleY = 98;
constexpr int kTurnLabelX = 295;
constexpr int kTurnLabelOpenY = 112;
constexpr int kTurnLabelClosedY = 104;
// The panel behind an open title: its top, and the body slice stretched
// below it to hold the turn label; centred under the title.
constexpr int kPanelX = kTitleCentre - 50;
constexpr int kPanelY = 85;
constexpr int kPanelBodyH = 10;
constexpr int kPanelW = 101;
// The area a message covers above a label, its drop for a slot without a
// result mark included.
constexpr int kMessageW = 25;
constexpr int kMessageH = 13;

// Surfaces used by the labels.
Surface& Sheet(Game& g) {
  return g.gfx.mainSheets[0];
}

Point SlotPosition(const Game& g, int n) {
  const auto& layout = g.recordSlots.slotLayout == 1 ? kLayout1 : kLayout0;
  return layout[static_cast<size_t>(std::clamp(n, 1, kCount))];
}

// A cell of the main picture, masked, onto both layers at (x, y).
void DrawMasked(Game& g, const Rect& cell, int x, int y) {
  Surfaces& s = g.gfx;
  s.blitSource = cell;
  s.blitTarget = Rect::XYWH(x, y, cell.Width(), cell.Height());
  DrawSprite(g, s.mainSheets[0], &s.mainSheets[kMaskSheet]);
}

// A cell of the main picture copied as it is onto the picture layer.
void DrawPlain(Game& g, const Rect& cell, int x, int y) {
  Surface& layer = g.gfx.spriteLayer;
  layer.canvas.copyMode = SRCCOPY;
  CopyRect(layer, Rect::XYWH(x, y, cell.Width(), cell.Height()), Sheet(g), cell);
}

// Both layers back to transparent over r.
void ClearArea(Game& g, const Rect& r) {
  DrawRectangle(g.gfx.spriteLayer, r);
  DrawRectangle(g.gfx.maskLayer, r);
}

int TextStyle(int colour) {
  return static_cast<int8_t>(colour) < 0 ? -1 : std::min(colour, 1);
}

void DrawText(Game& g, const std::string& text, int colour, int x, int y) {
  g.gfx.spriteLayer.canvas.copyMode = SRCCOPY;
  DrawGlyphText(g, static_cast<int>(text.size()), text, TextStyle(colour), y, x);
}

int CursorDrop(const Game& g, int n) {
  return g.recordSlots.summary[static_cast<size_t>(n)].mark == 0 ? 8 : 0;
}

void EraseCursorMark(Game& g) {
  const int n = g.recordSlots.slotCursor;
  const Point p = SlotPosition(g, n);
  DrawPlain(g, atlas::At(atlas::RegionId::kSlotCursorErase), p.x + kLabelX + 12,
            p.y - 14 + CursorDrop(g, n));
  // Without a result mark the cursor stood on the label's plate: the plate
  // comes back whole instead of with a hole.
  if (CursorDrop(g, n) != 0 && g.recordSlots.slotLayout == 0)
    DrawMasked(g, atlas::SlotLabelPlateCell(0), p.x + kLabelX - 1, p.y - 9);
}

void DrawCursorMark(Game& g) {
  SlotState& s = g.recordSlots;
  // The mark would be drawn into the middle of the message.
  if (s.messageHeld) return;
  const int n = s.slotCursor;
  const Point p = SlotPosition(g, n);
  DrawPlain(g, atlas::SlotCursorCell(s.cursorPhase), p.x + kLabelX + 12,
            p.y - 14 + CursorDrop(g, n));
  s.cursorPhase = static_cast<uint8_t>((s.cursorPhase + 1) % 4);
}

void SetPointer(Game& g, int cursor) {
  g.pf.window->SetCursor(cursor);
}

void SetCaption(Game& g, const std::string& sjis) {
  g.pf.window->SetCaption(FormId::FM, sjis);
}

const SlotSummary& Summary(const Game& g, int n) {
  return g.recordSlots.summary[static_cast<size_t>(std::clamp(n, 1, kCount))];
}

void CaptionOfSlot(Game& g, int n) {
  const SlotSummary& s = Summary(g, n);
  SetCaption(g, s.stored ? s.caption : std::string(kTitle));
}

void DrawAllOpen(Game& g) {
  for (int n = 1; n <= kCount; ++n) DrawSlotOpen(g, n);
}

void DrawAllClosed(Game& g) {
  for (int n = 1; n <= kCount; ++n) DrawSlotClosed(g, n);
}

// The scene's picture: the strip of the layers that the stage start shows.
void ShowSlotScene(Game& g) {
  g.stage.bannerReduction = 0;
  ShowBannerStrip(g);
}

void ClearScene(Game& g) {
  ClearLayers(g);
  g.stage.labelRow = -1;
  g.recordSlots.messageHeld = 0;
}

// The message at the cursor's slot gives way to the slot's label again.
void DropHeldMessage(Game& g) {
  SlotState& s = g.recordSlots;
  if (!s.messageHeld) return;
  s.messageHeld = 0;
  const Point p = SlotPosition(g, s.slotCursor);
  ClearArea(g, Rect::XYWH(p.x + kLabelX + 3, p.y - 14, kMessageW, kMessageH));
  DrawSlotOpen(g, s.slotCursor);
}

bool DeleteSlot(Game& g, int n) {
  const std::string file = SlotFileName(g, n);
  return g.pf.files->Exists(file) && g.pf.files->Delete(file);
}

// Backspace held: the slot's result mark goes.
void ClearResultMark(Game& g, int n) {
  int8_t& mark = g.recordSlots.summary[static_cast<size_t>(n)].mark;
  PlaySoundEffect(g, mark != 0 ? kSoundDone : kSoundCancel);
  mark = 0;
}

// The common part of a click on the list: the slot under the pointer with
// Delete or Backspace held, or chosen. Returns the chosen slot, 0 when the
// click did something else (or hit nothing); back is the sub-step the list
// redraws from.
int ChooseSlot(Game& g, Point client, int16_t back) {
  const int n = SlotAt(g, client.x, client.y);
  if (n == 0) {
    PlaySoundEffect(g, kSoundBeside);
    return 0;
  }
  SetSlotCursor(g, n);
  if (g.pf.keys->IsDown(keys::kDelete)) {
    PlaySoundEffect(g, DeleteSlot(g, n) ? kSoundDone : kSoundCancel);
    g.st.subStep() = back;
    return 0;
  }
  if (g.pf.keys->IsDown(keys::kBackspace)) {
    ClearResultMark(g, n);
    g.st.subStep() = back;
    return 0;
  }
  DrawSlotOpen(g, n);
  return n;
}

void LoadSceneClick(Game& g, MouseButton button, ShiftState shift, Point client) {
  int16_t& sub = g.st.subStep();
  const bool left = button == MouseButton::Left;
  const bool right = button == MouseButton::Right;
  if (sub == kLoadList) {
    if (right) {
      sub = kLoadClose;
      PlaySoundEffect(g, kSoundCancel);
    } else if (left) {
      const int n = ChooseSlot(g, client, kLoadOpen);
      if (n == 0) return;
      if (!Summary(g, n).stored) {
        PlaySoundEffect(g, kSoundEmpty);
        return;
      }
      sub = kLoadAsk;
      PlaySoundEffect(g, kSoundChosen);
    }
  } else if (sub == kLoadConfirm) {
    if (right) {
      sub = kLoadOpen;
      PlaySoundEffect(g, kSoundMove);
    } else if (left) {
      DrawSlotOpen(g, g.recordSlots.slotCursor);
      if (!Summary(g, g.recordSlots.slotCursor).stored) {
        sub = kLoadOpen;
        PlaySoundEffect(g, kSoundEmpty);
        return;
      }
      g.recordSlots.loadWithMusic = keys::ShiftOrAlt(shift) ? 1 : 0;
      sub = kLoadLoad;
      PlaySoundEffect(g, kSoundConfirm);
    }
  }
}

void SaveSceneClick(Game& g, MouseButton button, Point client) {
  int16_t& sub = g.st.subStep();
  const bool left = button == MouseButton::Left;
  const bool right = button == MouseButton::Right;
  if (sub >= 1 && sub < kSaveCountEnd) {
    if (left) {
      sub = kSaveOpen;
      PlaySoundEffect(g, kSoundOpen);
    } else if (right) {
      sub = kSaveLeave;
    }
  } else if (sub == kSaveList) {
    if (right) {
      sub = kSaveClose;
      PlaySoundEffect(g, kSoundCancel);
    } else if (left) {
      if (ChooseSlot(g, client, kSaveOpen) == 0) return;
      sub = kSaveAsk;
      PlaySoundEffect(g, kSoundChosen);
    }
  } else if (sub == kSaveConfirm) {
    if (right) {
      sub = kSaveOpen;
      PlaySoundEffect(g, kSoundMove);
    } else if (left) {
      sub = kSaveStore;
      PlaySoundEffect(g, kSoundConfirm);
    }
  }
}

// 0 for the first turn of a match, 1 for the second, -1 for neither.
int TurnIndex(uint8_t scene, int8_t first, int8_t second) {
  const auto s = static_cast<int8_t>(scene);
  if (s == first) return 0;
  if (s == second) return 1;
  return -1;
}

void StoreSlot(Game& g) {
  const int n = g.recordSlots.slotCursor;
  if (!SaveRecord(g, n)) {
    // The slot keeps its old file; the turn is not marked as saved there.
    // The player is told which file, as for the settings.
    g.pf.app->ShowMessage(SlotFileName(g, n) + kCannotWrite);
    PlaySoundEffect(g, kSoundCancel);
    DrawSlotOpen(g, n);
    DrawSlotMessage(g, kFailedText, 1);
    return;
  }
  const int turn = TurnIndex(g.st.prevScene, scene::kPlay1, scene::kPlay2);
  if (turn >= 0) g.result.slotOfTurn[static_cast<size_t>(turn)] = static_cast<int8_t>(n);
  DrawSlotOpen(g, n);
  DrawSlotMessage(g, kSaveAskText, 255);
  CaptionOfSlot(g, n);
}

void LoadSlot(Game& g) {
  const int n = g.recordSlots.slotCursor;
  std::string why;
  if (!LoadRecord(g, n, &why)) {
    // Nothing is replaced: the list stays open for another choice, the
    // message readable until the cursor moves, and the caption is the
    // list's again.
    PlaySoundEffect(g, kSoundEmpty);
    DrawSlotMessage(g, kRefusedText, 1);
    g.recordSlots.messageHeld = 1;
    SetCaption(g, kTitle);
    std::cerr << "kelvane: " << SlotFileName(g, n) << ": " << why << " (not loaded)\n";
    g.st.subStep() = kLoadList;
    return;
  }
  const int turn = TurnIndex(g.st.prevScene, scene::kStageStart1, scene::kStageStart2);
  if (turn >= 0) g.result.slotOfTurn[static_cast<size_t>(turn)] = static_cast<int8_t>(n);
  g.result.courseMatch = 0;
  const bool withMusic =
      g.recordSlots.loadWithMusic && static_cast<int8_t>(g.st.prevScene) != scene::kStageStart2;
  const bool restored = withMusic && RestoreRecordMusic(g);
  DrawSlotMessage(g, restored ? kMusicText : kLoadedText, g.stage.labelRow);
  CaptionOfSlot(g, n);
  g.st.subStep() = kLoadLoaded;
}

void Leave(Game& g, int8_t sceneCode) {
  g.st.sceneCode = sceneCode;
  ResetSceneCounters(g.st);
  g.st.lastFrameTick = g.Now();
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string FileNamePart(const std::string& path) {
  size_t p = path.find_last_of("/\\:");
  return p == std::string::npos ? path : path.substr(p + 1);
}

// "z" + two digits + ".mid": the stage tune's number, or 0.
int StageTuneNumber(const std::string& name) {
  if (name.size() != 7 || name[0] != 'z' || name.substr(3) != ".mid") return 0;
  if (!std::isdigit(static_cast<unsigned char>(name[1])) ||
      !std::isdigit(static_cast<unsigned char>(name[2])))
    return 0;
  return (name[1] - '0') * 10 + (name[2] - '0');
}

bool RestoreCdTrack(Game& g, const std::string& comment) {
  static const std::string kCdComment = std::string(record::kNoteOpen) + "CD track";
  if (comment.compare(0, kCdComment.size(), kCdComment) != 0) return false;
  if (g.st.cdDriveName.size() != 2 || comment.size() < 13) return false;
  std::string digits = comment.substr(12, 2);
  digits.erase(std::remove(digits.begin(), digits.end(), ' '), digits.end());
  if (digits.empty() || digits.size() > 2 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  const int track = std::stoi(digits);
  if (track < 1 || track > 99) return false;
  g.music.bgmSource = source::kCD;
  g.music.cdTrack() = static_cast<int8_t>(track);
  return true;
}

}  // namespace

int LabelRowOf(const Game& g, const SlotSummary& slot) {
  const bool own = slot.stored && slot.name == record::RecordName(g.st.entryName) &&
                   slot.area == record::RecordArea(g.st.entryName, g.st.entryArea);
  return own ? 0 : 1;
}

std::string SlotScoreText(const Game& g, int n) {
  const SlotSummary& slot = Summary(g, n);
  if (!slot.stored) return {};
  const bool computer = slot.name == record::kComputerName || slot.area == record::kComputerArea;
  // A score that does not read is unknown to everybody; the load says why.
  if (!slot.scoreKnown || (computer && LabelRowOf(g, slot) != 0)) return kUnknownScore;
  return ZeroPad(6, slot.score);
}

bool RestoreRecordMusic(Game& g) {
  const std::vector<std::string>& lines = g.record.lines;
  if (lines.size() < 3) return false;
  const std::string& element = lines[2];
  const std::string name = Lower(FileNamePart(element));
  if (name.empty()) return RestoreCdTrack(g, lines[1]);
  if (!IsMusicFile(name)) return false;
  MusicState& mu = g.music;
  const int tune = StageTuneNumber(name);
  if (tune >= 1 && tune <= g.st.tuneCount) {
    mu.tuneNumber() = static_cast<int8_t>(tune);
    mu.bgmSource = source::kStageTunes;
    return true;
  }
  for (int i = 1; i <= mu.playListCount && i <= kPlayListSlots; ++i) {
    if (Lower(FileNamePart(mu.playList[static_cast<size_t>(i)])) == name) {
      mu.playListIndex() = static_cast<int8_t>(i);
      mu.bgmSource = source::kPlayList;
      return true;
    }
  }
  const std::string inFolder = g.st.dataFolder + FileNamePart(element);
  if (g.pf.files->Exists(inFolder)) {
    AppendPlayList(g, {inFolder});
    return true;
  }
  if (g.pf.files->Exists(element)) {
    AppendPlayList(g, {element});
    return true;
  }
  return false;
}

bool PrepareCommandLineReplay(Game& g, const std::string& path, std::string& error) {
  std::string file = path;
  if (!g.pf.files->Exists(file)) file = g.st.dataFolder + path;
  std::string why;
  if (!LoadRecordFile(g, file, &why)) {
    error = ShownName(path) + ": " + why;
    return false;
  }
  g.record.replayAtStart = 1;
  RestoreRecordMusic(g);
  return true;
}

void EnterLoadScene(Game& g) {
  g.st.prevScene = static_cast<uint8_t>(g.st.sceneCode);
  Leave(g, scene::kLoadSlot);
  PlaySoundEffect(g, kSoundOpen);
}

int SlotAt(const Game& g, int x, int y) {
  const int k = WindowScale(g);
  for (int n = 1; n <= kCount; ++n) {
    const Point p = SlotPosition(g, n);
    const int X = p.x * k, Y = p.y * k;
    if (x + 10 >= X && x + 10 < X + 29 && y + 10 >= Y - 12 && y + 10 < Y + 25) return n;
  }
  return 0;
}

Point SlotCursorPoint(const Game& g) {
  const int k = WindowScale(g);
  const Point p = SlotPosition(g, g.recordSlots.slotCursor);
  return {p.x * k, p.y * k};
}

void SetSlotCursor(Game& g, int n) {
  DropHeldMessage(g);
  EraseCursorMark(g);
  if (n <= 0) n = kCount;
  if (n >= kCount + 1) n = 1;
  g.recordSlots.slotCursor = static_cast<uint8_t>(n);
}

void SlotSceneMouseDown(Game& g, MouseButton button, ShiftState shift, Point client) {
  if (g.st.sceneCode == scene::kLoadSlot) LoadSceneClick(g, button, shift, client);
  if (g.st.sceneCode == scene::kSaveSlot) SaveSceneClick(g, button, client);
}

void SlotSceneKeyDown(Game& g, int vk, ShiftState shift) {
  const int16_t sub = g.st.subStep();
  const bool save = g.st.sceneCode == scene::kSaveSlot;
  const bool list = save ? sub == kSaveList : sub == kLoadList;
  const bool confirm = sub == (save ? kSaveConfirm : kLoadConfirm);
  const Point at = SlotCursorPoint(g);
  if (save && sub >= 1 && sub < kSaveCountEnd) {
    if (keys::IsMenu(vk)) SlotSceneMouseDown(g, MouseButton::Left, shift, at);
    return;
  }
  if (list && (keys::IsLeft(vk) || keys::IsUp(vk))) {
    SetSlotCursor(g, g.recordSlots.slotCursor - 1);
    PlaySoundEffect(g, kSoundMove);
  } else if (list && (keys::IsRight(vk) || keys::IsDown(vk))) {
    SetSlotCursor(g, g.recordSlots.slotCursor + 1);
    PlaySoundEffect(g, kSoundMove);
  } else if ((list || confirm) && keys::IsOk(vk)) {
    SlotSceneMouseDown(g, MouseButton::Left, shift, at);
  } else if ((list || confirm) && keys::IsNg(vk)) {
    SlotSceneMouseDown(g, MouseButton::Right, shift, at);
  }
}

void ReadSlotHeader(Game& g, int n) {
  SlotSummary& slot = g.recordSlots.summary[static_cast<size_t>(std::clamp(n, 1, kCount))];
  SlotSummary now;
  const std::string file = SlotFileName(g, n);
  // A file too large to be a record is not read at all: an empty slot.
  const std::optional<uint64_t> size = g.pf.files->FileSize(file);
  if (size && *size <= record::kMaxFileBytes) {
    if (std::optional<std::string> bytes = g.pf.files->ReadFile(file)) {
      if (std::optional<record::SlotHeader> h = record::ParseSlotHeader(*bytes)) {
        now.stored = true;
        now.name = h->name;
        now.area = h->area;
        now.score = h->score.value_or(0);
        now.scoreKnown = h->score.has_value();
        now.caption = h->caption;
      }
    }
  }
  const bool changed = now.stored != slot.stored || now.name != slot.name ||
                       now.area != slot.area || now.score != slot.score ||
                       now.scoreKnown != slot.scoreKnown;
  now.mark = changed ? 0 : slot.mark;
  slot = now;
  g.stage.labelRow = static_cast<int8_t>(LabelRowOf(g, slot));
}

void DrawSlotOpen(Game& g, int n) {
  ReadSlotHeader(g, n);
  const SlotSummary& slot = Summary(g, n);
  DrawSlotClosed(g, n);
  const Point p = SlotPosition(g, n);
  const int x = p.x, y = p.y;
  if (g.recordSlots.slotLayout == 1) {
    DrawMasked(g, atlas::SlotResultMarkCell(slot.mark, 0), x + kLabelX + 5, y - 8);
    return;
  }
  DrawMasked(g, atlas::SlotLabelPlateCell(slot.mark), x + kLabelX - 1, y - 9);
  if (!slot.stored) {
    ClearArea(g, Rect::XYWH(x + kLabelX - 3, y + 9, 34, 17));
    return;
  }
  const int colour = g.stage.labelRow;
  DrawText(g, slot.name, colour, x + kLabelX, y + 9);
  DrawText(g, slot.area, colour, x + kLabelX - 3, y + 15);
  DrawText(g, SlotScoreText(g, n), colour, x + kLabelX, y + 21);
}

void DrawSlotClosed(Game& g, int n) {
  const Point p = SlotPosition(g, n);
  const int row = std::clamp<int>(g.stage.labelRow, -1, 1);
  DrawMasked(g, atlas::SlotClosedLabelCell(row), p.x + kLabelX, p.y);
  DrawMasked(g, atlas::SlotDigitCell(std::clamp(n, 1, kCount), row), p.x + kLabelX + 19, p.y + 1);
}

void DrawSlotTitle(Game& g, const std::string& text, int colour) {
  const bool opening = static_cast<int8_t>(colour) < 0;
  ClearArea(g, Rect::XYWH(kPanelX, kPanelY, kPanelW, kTurnLabelOpenY + 8 - kPanelY));
  if (opening) {
    const Rect top = atlas::At(atlas::RegionId::kSlotPanelTop);
    const Rect body = atlas::At(atlas::RegionId::kSlotPanelBody);
    DrawPlain(g, top, kPanelX, kPanelY);
    Surface& layer = g.gfx.spriteLayer;
    CopyRect(layer, Rect::XYWH(kPanelX, kPanelY + top.Height(), body.Width(), kPanelBodyH),
             Sheet(g), body);
  }
  const int turn = TurnLabelIndex(static_cast<int8_t>(g.st.prevScene));
  DrawPlain(g, atlas::TurnLabelCell(turn), kTurnLabelX,
            opening ? kTurnLabelOpenY : kTurnLabelClosedY);
  const int length = static_cast<int>(text.size());
  DrawText(g, text, colour, kTitleCentre - (length * 5) / 2, kTitleY);
}

void DrawSlotMessage(Game& g, const std::string& text, int colour) {
  const int n = g.recordSlots.slotCursor;
  const Point p = SlotPosition(g, n);
  DrawText(g, kBlankMessage, colour, p.x + kLabelX + 3, p.y - 14);
  DrawText(g, text.substr(0, 5), colour, p.x + kLabelX + 3, p.y - 14 + CursorDrop(g, n));
}

void DrawClosedSlotLabels(Game& g) {
  g.recordSlots.slotLayout = 0;
  g.stage.labelRow = -1;
  DrawAllClosed(g);
}

void DrawResultSlotsBehind(Game& g) {
  if (g.recordSlots.slotLayout != 1) return;
  for (int n = 1; n <= kCount; ++n) {
    const SlotSummary& slot = Summary(g, n);
    const Point p = SlotPosition(g, n);
    const int row = LabelRowOf(g, slot);
    DrawBehind(g, atlas::SlotClosedLabelCell(row), p.x + kLabelX, p.y);
    DrawBehind(g, atlas::SlotDigitCell(n, row), p.x + kLabelX + 19, p.y + 1);
    if (slot.mark != 0)
      DrawBehind(g, atlas::SlotResultMarkCell(slot.mark, 0), p.x + kLabelX + 5, p.y - 8);
  }
}

void SaveSceneStep(Game& g) {
  GameState& st = g.st;
  int16_t& sub = st.subStep();
  if (sub == kSaveStart) {
    SetPointer(g, kPointerWait);
    g.recordSlots.slotLayout = 0;
    st.frameInterval = st.normalFrameInterval;
    ClearScene(g);
    DrawSlotTitle(g, kSaveTitle, 1);
    g.stage.labelRow = -1;
    DrawAllClosed(g);
    ++sub;
  } else if (sub < kSaveCountEnd) {
    ++sub;
  } else if (sub == kSaveCountEnd) {
    sub = kSaveLeave;
  } else if (sub == kSaveOpen) {
    SetPointer(g, kPointerArrow);
    DrawSlotTitle(g, kSaveTitle, -1);
    DrawAllOpen(g);
    SetCaption(g, kTitle);
    ++sub;
  } else if (sub == kSaveList) {
    DrawCursorMark(g);
  } else if (sub == kSaveAsk) {
    SetPointer(g, kPointerWait);
    DrawSlotMessage(g, kSaveAskText, g.stage.labelRow);
    CaptionOfSlot(g, g.recordSlots.slotCursor);
    ++sub;
  } else if (sub == kSaveStore) {
    StoreSlot(g);
    ++sub;
  } else if (sub > kSaveStore && sub < kSaveStoredEnd) {
    ++sub;
  } else if (sub == kSaveStoredEnd) {
    sub = kSaveOpen;
  } else if (sub == kSaveClose) {
    SetPointer(g, kPointerWait);
    ClearScene(g);
    DrawSlotTitle(g, kSaveTitle, 1);
    g.stage.labelRow = -1;
    DrawAllClosed(g);
    sub = kSaveClosedCount;
  } else if (sub == kSaveLeave) {
    Leave(g, static_cast<int8_t>(st.prevScene + 1));
    return;
  }
  ShowSlotScene(g);
}

void LoadSceneStep(Game& g) {
  GameState& st = g.st;
  int16_t& sub = st.subStep();
  if (sub == kLoadOpen) {
    SetPointer(g, kPointerArrow);
    g.recordSlots.slotLayout = 0;
    st.frameInterval = st.normalFrameInterval;
    ClearScene(g);
    DrawSlotTitle(g, kLoadTitle, -1);
    DrawAllOpen(g);
    SetCaption(g, kTitle);
    ++sub;
  } else if (sub == kLoadList) {
    DrawCursorMark(g);
  } else if (sub == kLoadAsk) {
    SetPointer(g, kPointerWait);
    DrawSlotMessage(g, kLoadAskText, g.stage.labelRow);
    CaptionOfSlot(g, g.recordSlots.slotCursor);
    ++sub;
  } else if (sub == kLoadLoad) {
    LoadSlot(g);
  } else if (sub >= kLoadLoaded && sub < kLoadLoadedEnd) {
    ++sub;
  } else if (sub == kLoadLoadedEnd) {
    Leave(g, static_cast<int8_t>(st.prevScene));
    st.subStep() = StageStartReplayStep();
    return;
  } else if (sub == kLoadClose) {
    SetPointer(g, kPointerWait);
    ClearScene(g);
    DrawSlotTitle(g, kLoadTitle, 1);
    g.stage.labelRow = -1;
    DrawAllClosed(g);
    ++sub;
  } else if (sub > kLoadClose && sub < kLoadLeave) {
    ++sub;
  } else if (sub == kLoadLeave) {
    Leave(g, static_cast<int8_t>(st.prevScene));
    return;
  }
  ShowSlotScene(g);
}

}  // namespace kelvane
