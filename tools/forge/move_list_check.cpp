#include "tools/forge/move_list_check.h"

#include <map>
#include <memory>
#include <sstream>

#include "actiondata/action_file.h"
#include "platform/core/text_codec.h"
#include "tools/forge/forge.h"
#include "tools/forge/palette_colours.h"

namespace forge {
namespace {

using kelvane::ActionData;
using kelvane::ActionRow;

constexpr int kEndValue = -1;
constexpr int kFallCommand = 1315;
constexpr int kMinVisibleCommands = 60;

// Instruction codes the checker looks at.
enum Op {
  kOpEnd = 1,
  kOpLand = 3,
  kOpFaceLeft = 4,
  kOpTurn = 5,
  kOpClear = 6,
  kOpFaceCentre = 14,  // 14..16: face the centre, or a side by the position
  kOpFaceAway = 16,
  kOpFirstMove = 20,  // 20..39: positions, speeds, accelerations
  kOpExitRow = 26,
  kOpLastMove = 39,
  kOpLoopEnd = 40,
  kOpBackdrop = 49,
  kOpTileUp = 50,
  kOpTileDown = 51,
  kOpCentreClamp = 52,
  kOpCompanion = 56,
  kOpCallAhead = 63,
  kOpCallBack = 64,
  kOpCallBase = 65,
  kOpCallSecondBase = 66,
  kOpJumpAhead = 67,
  kOpJumpBack = 68,
  kOpCompanionCallBase = 69,
  kOpCommandBackdrop = 77,
  kOpCommandBackdropOn = 79,
  kOpSoundPair = 96,
  kOpSound = 97,
};

struct RowHeader {
  int line;
  char kind;  // '*', '|', '!' or '_'
  std::string name;
};

class Checker {
 public:
  Checker(const std::string& text, const PictureCatalogue& pictures, const std::set<int>& sounds)
      : text_(text), pictures_(pictures), sounds_(sounds), a_(std::make_unique<ActionData>()) {}

  MoveListFigures Run() {
    std::string error;
    if (!kelvane::ParseActionText(*a_, text_, "Z_ac.txt", &error)) throw ForgeError{error};
    ScanHeaders();
    CheckGroups();
    CheckLayout();
    for (int r = 0; r <= a_->lastRow; ++r) CheckRow(r);
    CheckCommands();
    MoveListFigures f;
    f.rows = a_->lastRow + 1;
    f.motionValues = a_->motionCount;
    f.secondValues = a_->secondCount;
    f.thirdValues = a_->thirdCount;
    f.groups = a_->lastGroup + 1;
    f.visibleCommands = visible_;
    f.hiddenCommands = hidden_;
    return f;
  }

 private:
  [[noreturn]] void Fail(int line, const std::string& why) const {
    throw ForgeError{"Z_ac.txt:" + std::to_string(line) + ": " + why};
  }
  [[noreturn]] void FailRow(int row, const std::string& why) const {
    Fail(headers_[row].line, "row " + std::to_string(row) + " (" +
                                 kelvane::SjisToUtf8(headers_[row].name) + "): " + why);
  }

  // Header lines in file order; the parser numbers the rows the same way.
  void ScanHeaders() {
    std::istringstream in(text_);
    int lineNo = 0;
    bool afterMotion = false;
    for (std::string line; std::getline(in, line);) {
      ++lineNo;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == ' ') continue;
      char c = line[0];
      if ((c == '*' || c == '|' || c == '!' || c == '_') && !afterMotion) {
        std::string name = line.size() > 2 ? line.substr(2) : "";
        if (name.size() > 32) Fail(lineNo, "the name is longer than 32 bytes and would be cut");
        headers_.push_back({lineNo, c, name});
      }
      afterMotion = false;
      if (c == '/') afterMotion = true;
      if (c == 'L') groupLines_.push_back(lineNo);
    }
    if (static_cast<int>(headers_.size()) != a_->lastRow + 1)
      Fail(lineNo,
           "header count " + std::to_string(headers_.size()) + " differs from the rows read");
    if (headers_.empty()) Fail(lineNo, "no action rows");
  }

  void CheckGroups() {
    int lastLine = groupLines_.empty() ? 1 : groupLines_.back();
    if (a_->lastGroup != ActionData::kGroupCapacity - 1)
      Fail(lastLine,
           "all 100 load groups must be defined, found " + std::to_string(a_->lastGroup + 1));
    int previousLast = 0;
    for (int g = 0; g <= a_->lastGroup; ++g) {
      const auto& group = a_->loadGroups[g];
      for (int i = 0; i < ActionData::kMaxGroupPictures && group[i] != kEndValue; ++i) {
        int p = group[i], set = p / 100, slot = (p % 100) / 2;
        if (p < 0 || set > 12 || !pictures_.HasSlot(set, slot))
          Fail(groupLines_[g], "picture " + std::to_string(p) + " (" +
                                   (p >= 0 && set <= 12 ? PictureFile(set, slot) : "?") +
                                   ") is not one the forge draws");
        loaded_.insert({set, slot});
      }
      int last = group[ActionData::kGroupLastRowEntry];
      if (last < previousLast) Fail(groupLines_[g], "group rows go backwards");
      previousLast = last;
    }
  }

  // Rows 1..2n are the victory and losing rows, then the music menu's idle
  // rows up to the base row; the second base row comes after it.
  void CheckLayout() {
    int pairs = a_->barPairs;
    if (pairs < 1) FailRow(0, "no victory rows (header \"|\")");
    for (int r = 1; r <= 2 * pairs; ++r)
      if (headers_[r].kind != '|')
        FailRow(r, "rows 1.." + std::to_string(2 * pairs) + " must be \"|\" rows");
    if (headers_[0].kind == '|') FailRow(0, "row 0 is the idle row, not a victory");
    if (a_->bangRow <= 2 * pairs) FailRow(a_->bangRow, "the base row must follow the losing rows");
    if (a_->secondBangRow <= a_->bangRow)
      FailRow(a_->secondBangRow, "the second base row must follow the base row");
    for (int r = 0; r <= a_->lastRow; ++r) {
      const ActionRow& row = a_->actionRows[r];
      if (r > 0 && row.motionStart <= a_->actionRows[r - 1].motionStart)
        FailRow(r - 1, "its script does not end with -1");
      if (r > 0 && row.secondStart <= a_->actionRows[r - 1].secondStart)
        FailRow(r - 1, "its second stream does not end with -1");
      if (r > 0 && row.thirdStart <= a_->actionRows[r - 1].thirdStart)
        FailRow(r - 1, "its third stream does not end with -1");
    }
  }

  bool BodyPicture(int v) const {
    int sheet = v / 1000, cell = v % 1000;
    if (sheet > 9) return false;
    int cells = BodySheet(sheet).cells;
    return pictures_.HasCell(sheet, cell, cells) && loaded_.count({sheet, cell / cells});
  }

  bool EffectPicture(int v) const {
    if (v >= 0 && v <= 2) return true;
    if (v >= 1 && v <= 255)
      return pictures_.HasCell(kEffectSetB, v - 1, 18) &&
             loaded_.count({kEffectSetB, (v - 1) / 18});
    if (v <= -3 && v >= -118) {
      int i = -v - 3;
      int cell = i < 112 ? i : i + 1;  // both table rows: entries past 111 skip one cell
      return pictures_.HasCell(kEffectSetA, cell, 18) && loaded_.count({kEffectSetA, cell / 18});
    }
    return false;
  }

  void CheckRowTarget(int row, int target, const char* what) const {
    if (target < 0 || target > a_->lastRow)
      FailRow(row, std::string(what) + " reaches row " + std::to_string(target) +
                       ", which does not exist");
  }

  // Rows 1..2n are performed only by the result scene, which waits for a
  // key while the losing row runs: a show may hold its last pose for good.
  bool ResultShow(int r) const { return r >= 1 && r <= 2 * a_->barPairs; }
  bool LosingRow(int r) const { return r > a_->barPairs && r <= 2 * a_->barPairs; }

  // Instructions that move or turn the character: once a losing row has
  // drawn its pose in place, any of them would draw the pose again beside
  // the first, which nothing clears. Landing and the centre clamp move too.
  static bool MovesOrTurns(int op) {
    return op == kOpLand || op == kOpFaceLeft || op == kOpTurn ||
           (op >= kOpFaceCentre && op <= kOpFaceAway) ||
           (op >= kOpFirstMove && op <= kOpLastMove) || op == kOpCentreClamp;
  }
  // Row calls and jumps: the row reached may clear or move.
  static bool CallsRow(int op) { return op >= kOpCallAhead && op <= kOpCompanionCallBase; }

  void CheckRow(int r) {
    const ActionRow& row = a_->actionRows[r];
    const bool losing = LosingRow(r);
    bool holds = false, companionsOff = false;
    int losingPose = -1;
    bool buttonCommand = false;
    for (int16_t c : row.commands)
      if (c / 1000 == 5 || c / 1000 == 6) buttonCommand = true;
    int pictures = 0, mode = -1;
    for (int i = row.motionStart;; ++i) {
      if (i >= a_->motionCount) FailRow(r, "its script runs past the end of the stream");
      int v = a_->motionStream[i];
      if (v >= 0) {
        if (!BodyPicture(v))
          FailRow(r, "picture " + std::to_string(v) + " is not drawn or not loaded");
        // The winner stands beside the loser and nothing clears the stage,
        // so a second pose would leave the first showing around it.
        if (losing && losingPose >= 0 && v != losingPose)
          FailRow(r, "a losing row shows one pose; picture " + std::to_string(v) +
                         " would be drawn over " + std::to_string(losingPose));
        if (losing) losingPose = v;
        ++pictures;
        continue;
      }
      int op = -v % 100, n = -v / 100;
      if (op == kOpEnd) break;
      if (losing && op == kOpClear)
        FailRow(r, "a losing row must not clear the layers: the winner stands beside it");
      if (losing && pictures > 0 && MovesOrTurns(op))
        FailRow(r, "a losing row must not move or turn once its pose is drawn");
      if (losing && CallsRow(op)) FailRow(r, "a losing row calls no other row");
      switch (op) {
        case kOpCompanion:
          if (n > 2) FailRow(r, "companion mode " + std::to_string(n) + " does not exist");
          if (losing && n != 0)
            FailRow(r, "a losing row draws no companions (they would pile up beside the winner)");
          if (n == 0 && pictures == 0) companionsOff = true;
          if (mode < 0) mode = n;
          break;
        case kOpLoopEnd:
          if (n == 0 && !ResultShow(r)) FailRow(r, "a loop with count 0 never ends");
          if (n == 0) holds = true;
          break;
        case kOpBackdrop:
          if ((n >= 20 && n < 60 && n % 10 >= kNumberedBackdrops) ||
              (n < 20 && n % 10 > kPlainBackdropColours))
            FailRow(r, "backdrop " + std::to_string(n) + " names a backdrop that does not exist");
          break;
        case kOpTileUp:
        case kOpTileDown:
          if (n / 20 >= kTileSlots)
            FailRow(r, "tile pattern " + std::to_string(n) + " has no tile bitmap");
          if (op == kOpTileDown && n < 3)
            FailRow(r,
                    "tile pattern " + std::to_string(n) + " drawn backward leaves the tile table");
          break;
        case kOpCommandBackdrop:
        case kOpCommandBackdropOn:
          // A command starting with a button has no entry in the command backdrop table.
          if (buttonCommand)
            FailRow(r, "a backdrop from the command needs a command starting with a direction");
          break;
        case kOpSoundPair:
          if (!sounds_.count(n) || !sounds_.count(n + 1))
            FailRow(r, "sound " + std::to_string(n) + " or " + std::to_string(n + 1) +
                           " is not in the sound list");
          break;
        case kOpSound:
          if (!sounds_.count(n))
            FailRow(r, "sound " + std::to_string(n) + " is not in the sound list");
          break;
        case kOpCallAhead:
          CheckRowTarget(r, r + n, "r+");
          break;
        case kOpCallBack:
          CheckRowTarget(r, r - n, "r-");
          break;
        case kOpJumpAhead:
          CheckRowTarget(r, r + n, "R+");
          break;
        case kOpJumpBack:
          CheckRowTarget(r, r - n, "R-");
          break;
        case kOpCallBase:
        case kOpCompanionCallBase:
          CheckRowTarget(r, a_->bangRow + n, "a base row call");
          break;
        case kOpCallSecondBase:
          CheckRowTarget(r, a_->secondBangRow + n, "a second base row call");
          break;
        case kOpExitRow:
          if (n > 0) CheckRowTarget(r, a_->bangRow + n, "the exit row");
          break;
        default:
          break;
      }
    }
    if (pictures == 0) FailRow(r, "it shows no picture (the engine would never leave it)");
    if (losing && !companionsOff)
      FailRow(r, "a losing row must set I=0 before its pose: the winner's row may leave clones on");
    // At its end the idle row would start and clear the winner away.
    if (losing && !holds) FailRow(r, "a losing row must end in a hold (a loop with count 0)");
    if (losing && (a_->secondStream[row.secondStart] != kEndValue ||
                   a_->thirdStream[row.thirdStart] != kEndValue))
      FailRow(r, "a losing row draws no companions (they would pile up beside the winner)");
    CheckCompanions(r, a_->secondStream.data(), row.secondStart, a_->secondCount, mode == 1);
    CheckCompanions(r, a_->thirdStream.data(), row.thirdStart, a_->thirdCount, mode == 1);
  }

  void CheckCompanions(int r, const int16_t* stream, int start, int count, bool partners) const {
    for (int i = start;; ++i) {
      if (i >= count) FailRow(r, "a companion stream runs past its end");
      int v = stream[i];
      if (v == kEndValue) return;
      bool ok = partners ? (v < 0 || BodyPicture(v)) : EffectPicture(v);
      if (!ok)
        FailRow(r, std::string(partners ? "partner picture " : "effect ") + std::to_string(v) +
                       " is not drawn or not loaded");
    }
  }

  static bool TypedCode(int code) {
    int digits[4] = {code / 1000, code / 100 % 10, code / 10 % 10, code % 10};
    bool ended = false;
    for (int d : digits) {
      if (d == 0)
        ended = true;
      else if (ended || d > 6)
        return false;
    }
    return digits[0] != 0;
  }

  static bool OpeningCode(int code) {
    int t = code / 1000, h = code / 100 % 10, s = code / 10 % 10, u = code % 10;
    return t >= 1 && t <= 4 && (h == 5 || h == 6) && s >= 1 && s <= 4 && u == 7;
  }

  void CheckCommands() {
    std::vector<int16_t> codeToRow(ActionData::kMaxCommandCode + 1, 0);
    int previousLast = 0;
    for (int g = 0; g <= a_->lastGroup; ++g) {
      int last = a_->loadGroups[g][ActionData::kGroupLastRowEntry];
      for (int r = previousLast + 1; r <= last; ++r) {
        const ActionRow& row = a_->actionRows[r];
        for (int16_t c : row.commands) {
          if (c == 0) continue;
          if (!TypedCode(c) && !(row.hidden && OpeningCode(c)))
            FailRow(r, "command " + std::to_string(c) + " cannot be typed");
          if (codeToRow[c] != 0)
            FailRow(r, "command " + std::to_string(c) + " already starts row " +
                           std::to_string(codeToRow[c]));
          codeToRow[c] = static_cast<int16_t>(r);
          (row.hidden ? hidden_ : visible_) += 1;
        }
        if (row.landing < 0 || row.landing > 6) FailRow(r, "landing digit outside 0..6");
        if (row.bn < 0 || row.bn > 255) FailRow(r, "the landing bonus is kept in a byte (0..255)");
      }
      previousLast = last;
    }
    for (int r = previousLast + 1; r <= a_->lastRow; ++r)
      for (int16_t c : a_->actionRows[r].commands)
        if (c != 0) FailRow(r, "its commands come after the last load group and are never mapped");
    int lastLine = headers_.back().line;
    for (int d = 1; d <= 6; ++d)
      if (codeToRow[d * 1000] == 0)
        Fail(lastLine, "no action for the one-key command " + std::to_string(d * 1000));
    if (codeToRow[kFallCommand] == 0) Fail(lastLine, "no action for the fall command 1315");
    for (int t = 1; t <= 4; ++t)
      for (int h = 5; h <= 6; ++h)
        for (int s = 1; s <= 4; ++s) {
          int code = t * 1000 + h * 100 + s * 10 + 7;
          if (codeToRow[code] == 0)
            Fail(lastLine, "no entry routine for the opening command " + std::to_string(code));
        }
    if (visible_ < kMinVisibleCommands)
      Fail(lastLine, "only " + std::to_string(visible_) + " listed commands, want at least " +
                         std::to_string(kMinVisibleCommands));
  }

  const std::string& text_;
  const PictureCatalogue& pictures_;
  const std::set<int>& sounds_;
  std::unique_ptr<ActionData> a_;
  std::vector<RowHeader> headers_;
  std::vector<int> groupLines_;
  std::set<std::pair<int, int>> loaded_;
  int visible_ = 0, hidden_ = 0;
};

}  // namespace

std::set<int> ReadSoundList(const std::string& readme) {
  const std::string key = "Sound effects used by the move list:";
  size_t at = readme.find(key);
  if (at == std::string::npos) throw ForgeError{"data/README.md: no \"" + key + "\" line"};
  size_t end = readme.find('\n', at);
  std::string list = readme.substr(
      at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
  std::set<int> sounds;
  std::string number;
  for (char c : list + ",") {
    if (c >= '0' && c <= '9') {
      number += c;
    } else if (!number.empty()) {
      sounds.insert(std::stoi(number));
      number.clear();
    }
  }
  return sounds;
}

MoveListFigures CheckMoveList(const std::string& sjis, const PictureCatalogue& pictures,
                              const std::set<int>& sounds) {
  return Checker(sjis, pictures, sounds).Run();
}

}  // namespace forge
