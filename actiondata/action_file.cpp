#include "actiondata/action_file.h"

#include <algorithm>
#include <vector>

#include "actiondata/action_data.h"
#include "actiondata/action_tokens.h"
#include "actiondata/number_text.h"
#include "app/game.h"
#include "platform/core/shown_name.h"

namespace kelvane {
namespace {

constexpr size_t kMaxLineBytes = 255;  // the rest of a longer line is skipped
constexpr size_t kNameStart = 2;       // names are characters 3 .. 34
constexpr size_t kNameBytes = 32;
constexpr size_t kScoreFields = 7;
constexpr int kPictureSets = 13;
constexpr int kSlotsPerSet = 32;
constexpr int16_t kSkipped = -2;    // placeholder in number lines, never stored
constexpr int16_t kEndAll = -1169;  // the "A*" line: "0R" with argument 11

int16_t Wrap16(int32_t v) {
  return static_cast<int16_t>(static_cast<uint16_t>(v));
}

// One step stream with its capacity, fill count and the start field that a
// value of it sets in the next row.
struct StreamRef {
  const char* name;
  int16_t* values;
  int capacity;
  int* count;
  int16_t ActionRow::*nextStart;
  bool anyNegativeEnds;  // the motion stream: every negative value ends a step run
};

class ActionParser {
 public:
  ActionParser(ActionData& a, std::string_view text, const std::string& label)
      : a_(a), lines_(SplitLines(text)), label_(label) {}

  bool Run(std::string* error) {
    Reset();
    while (next_ < lines_.size() && error_.empty()) {
      lineNo_ = next_ + 1;
      std::string_view line = lines_[next_++];
      if (line.size() > kMaxLineBytes) line = line.substr(0, kMaxLineBytes);
      ClassifiedLine(line);
    }
    if (!error_.empty() && error) *error = error_;
    return error_.empty();
  }

 private:
  void Reset() {
    a_.actionRows.fill(ActionRow{});
    a_.motionStream.fill(0);
    a_.secondStream.fill(0);
    a_.thirdStream.fill(0);
    a_.motionCount = a_.secondCount = a_.thirdCount = 0;
    // A group the file does not define is empty.
    for (auto& group : a_.loadGroups) {
      group.fill(0);
      group[0] = ActionData::kEnd;
    }
    a_.lastRow = -1;
    a_.lastGroup = -1;
  }

  void ClassifiedLine(std::string_view line) {
    if (line.empty() || line[0] == ' ') return;
    switch (line[0]) {
      case '/':
        MotionLine(line);
        break;
      case '*':
      case '|':
      case '!':
      case '_':
        HeaderLine(line);
        break;
      case 'L':
        GroupLine();
        break;
      default:
        if (line == "A*") Append(Motion(), kEndAll);
        break;
    }
  }

  void Fail(size_t lineNo, const std::string& reason) {
    if (error_.empty()) error_ = ShownName(label_) + ":" + std::to_string(lineNo) + ": " + reason;
  }

  // The next line as numbers; no line at the end of the file gives none.
  bool NumberLine(std::vector<int32_t>& values) {
    values.clear();
    if (next_ >= lines_.size()) return true;
    lineNo_ = next_ + 1;
    std::string_view line = lines_[next_++];
    std::string bad;
    if (!ParseNumberLine(line, values, &bad)) {
      Fail(lineNo_, "not an integer: \"" + Excerpt(bad) + "\"");
      return false;
    }
    return true;
  }

  StreamRef Motion() {
    return {"motion",        a_.motionStream.data(),  ActionData::kMotionCapacity,
            &a_.motionCount, &ActionRow::motionStart, true};
  }
  StreamRef Second() {
    return {"second",        a_.secondStream.data(),  ActionData::kSecondCapacity,
            &a_.secondCount, &ActionRow::secondStart, false};
  }
  StreamRef Third() {
    return {"third",        a_.thirdStream.data(),  ActionData::kThirdCapacity,
            &a_.thirdCount, &ActionRow::thirdStart, false};
  }

  bool Append(const StreamRef& s, int16_t v) {
    if (*s.count >= s.capacity) {
      Fail(lineNo_,
           std::string(s.name) + " stream is full (" + std::to_string(s.capacity) + " values)");
      return false;
    }
    s.values[(*s.count)++] = v;
    return true;
  }

  // A step's numbers: -2 is skipped; an end value makes the next row start
  // after it. Returns the last value stored, or none.
  std::optional<int16_t> StreamLine(const StreamRef& s) {
    std::vector<int32_t> values;
    if (!NumberLine(values)) return std::nullopt;
    std::optional<int16_t> last;
    for (int32_t raw : values) {
      int16_t v = Wrap16(raw);
      if (v == kSkipped) continue;
      if (!Append(s, v)) return std::nullopt;
      last = v;
      bool ends = s.anyNegativeEnds ? v < 0 : v == ActionData::kEnd;
      // The last row has no next row to start.
      int nextRow = a_.lastRow + 1;
      if (ends && nextRow < ActionData::kRowCapacity)
        a_.actionRows[nextRow].*s.nextStart = static_cast<int16_t>(*s.count);
    }
    return last;
  }

  // The number written right after a token: one character when the second
  // character after it is a blank, else up to three with trailing blanks cut.
  std::optional<int32_t> TokenNumber(std::string_view line, size_t after, std::string_view token) {
    std::string_view text;
    if (after + 1 < line.size() && line[after + 1] == ' ') {
      text = line.substr(after, 1);
    } else if (after < line.size()) {
      text = line.substr(after, 3);
      while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    }
    std::optional<int32_t> n = ParseInteger(text);
    if (!n)
      Fail(lineNo_, "the number after \"" + std::string(token) + "\" is not an integer: \"" +
                        Excerpt(text) + "\"");
    return n;
  }

  void MotionLine(std::string_view line) {
    for (const ActionToken& t : ActionTokens()) {
      size_t at = line.find(t.text);
      if (at == std::string_view::npos) continue;
      int32_t value = t.code;
      if (t.takesNumber) {
        std::optional<int32_t> n = TokenNumber(line, at + t.text.size(), t.text);
        if (!n) return;
        value = t.code - 100 * *n;
      }
      if (!Append(Motion(), Wrap16(value))) return;
    }
    StreamLine(Motion());
    if (!error_.empty()) return;
    // Once a companion part has ended, its stream gets no more lines.
    if (secondLast_ != ActionData::kEnd) {
      std::optional<int16_t> last = StreamLine(Second());
      if (!error_.empty()) return;
      if (last) secondLast_ = *last;
    }
    if (thirdLast_ != ActionData::kEnd) {
      std::optional<int16_t> last = StreamLine(Third());
      if (!error_.empty()) return;
      if (last) thirdLast_ = *last;
    }
  }

  void HeaderLine(std::string_view line) {
    if (a_.lastRow + 1 >= ActionData::kRowCapacity) {
      Fail(lineNo_, "too many actions (at most " + std::to_string(ActionData::kRowCapacity) + ")");
      return;
    }
    int16_t row = ++a_.lastRow;
    ActionRow& r = a_.actionRows[row];
    // The start indexes were set by the previous row's end values.
    int16_t motion = r.motionStart, second = r.secondStart, third = r.thirdStart;
    r = ActionRow{};
    r.motionStart = motion;
    r.secondStart = second;
    r.thirdStart = third;
    if (line.size() > kNameStart) r.name = std::string(line.substr(kNameStart, kNameBytes));
    if (line[0] == '|') a_.barPairs = static_cast<uint8_t>(row / 2);
    if (line[0] == '!') a_.bangRow = row;
    if (line.size() > 1) {
      if (line[1] == '!') a_.secondBangRow = row;
      if (line[1] == 'k') r.hidden = 1;
      if (line[1] == 'K') r.preDone = 1;
    }
    secondLast_ = 0;
    thirdLast_ = 0;
    if (line[0] == '*') ScoreLines(r);
  }

  void ScoreLines(ActionRow& r) {
    std::vector<int32_t> v;
    if (!NumberLine(v)) return;
    if (v.size() > kScoreFields) {
      Fail(lineNo_, "more than 7 score values");
      return;
    }
    int16_t* fields[kScoreFields] = {&r.group, &r.score,   &r.bn,        &r.firstScore,
                                     &r.fall,  &r.landing, &r.scoreExtra};
    for (size_t i = 0; i < v.size(); ++i) *fields[i] = Wrap16(v[i]);
    if (!NumberLine(v)) return;
    if (v.size() > r.commands.size()) {
      Fail(lineNo_, "more than 8 commands");
      return;
    }
    for (size_t i = 0; i < v.size(); ++i) {
      if (v[i] < 0 || v[i] > ActionData::kMaxCommandCode) {
        Fail(lineNo_, "command code " + std::to_string(v[i]) + " is outside 0..6666");
        return;
      }
      r.commands[i] = static_cast<int16_t>(v[i]);
    }
  }

  void GroupLine() {
    if (a_.lastGroup + 1 >= ActionData::kGroupCapacity) {
      Fail(lineNo_,
           "too many load groups (at most " + std::to_string(ActionData::kGroupCapacity) + ")");
      return;
    }
    std::vector<int32_t> v;
    if (!NumberLine(v)) return;
    auto& group = a_.loadGroups[++a_.lastGroup];
    if (v.size() > ActionData::kGroupLastRowEntry) {
      Fail(lineNo_, "more than 14 pictures in a load group");
      return;
    }
    bool ended = false;
    for (size_t i = 0; i < v.size(); ++i) {
      if (!ended && v[i] == ActionData::kEnd) ended = true;
      int set = v[i] / 100, k = v[i] % 100;
      if (!ended && (v[i] < 0 || set >= kPictureSets || k / 2 >= kSlotsPerSet)) {
        Fail(lineNo_, "picture number " + std::to_string(v[i]) + " names no picture slot");
        return;
      }
      group[i] = Wrap16(v[i]);
    }
    if (!ended) {
      // Without its end the loader would read the row index as a picture.
      group[0] = ActionData::kEnd;
      Fail(lineNo_, "load group does not end with -1");
      return;
    }
    group[ActionData::kGroupLastRowEntry] = a_.lastRow;
  }

  ActionData& a_;
  std::vector<std::string_view> lines_;
  std::string label_;
  size_t next_ = 0;    // index of the next line to read
  size_t lineNo_ = 0;  // 1-based number of the line being handled
  std::string error_;
  int16_t secondLast_ = 0;  // last value stored into each companion stream for this action
  int16_t thirdLast_ = 0;
};

// Whether some load group maps a command to an action row, as LoadGroup
// will: without one no typed or played command starts anything.
bool AnyCommandMapped(const ActionData& a) {
  for (int group = 0; group < ActionData::kGroupCapacity; ++group) {
    int first = (group == 0 ? 0 : a.loadGroups[group - 1][ActionData::kGroupLastRowEntry]) + 1;
    int last = a.loadGroups[group][ActionData::kGroupLastRowEntry];
    first = std::max(first, 0);
    last = std::min(last, static_cast<int>(a.lastRow));
    for (int row = first; row <= last; ++row)
      for (int16_t code : a.actionRows[row].commands)
        if (code > 0 && code <= ActionData::kMaxCommandCode) return true;
  }
  return false;
}

}  // namespace

std::string CheckPlayable(const ActionData& a) {
  if (a.lastRow < 0) return "the file has no action rows";
  if (!AnyCommandMapped(a))
    return "no load group serves an action with a command, so the demonstration has nothing "
           "to play";
  return "";
}

std::string ActionFileName(const std::string& key) {
  return "Z_" + key.substr(0, 2) + ".txt";
}

bool ParseActionText(ActionData& a, std::string_view text, const std::string& label,
                     std::string* error) {
  return ActionParser(a, text, label).Run(error);
}

bool ReadActionFile(Game& g, const std::string& key) {
  std::string name = ActionFileName(key);
  std::string path = g.st.dataFolder + name;
  std::optional<std::string> text = g.pf.files->ReadFile(path);
  std::string error;
  if (!text) {
    error = ShownName(path) + ": the file cannot be read";
  } else if (ParseActionText(g.actions, *text, name, &error)) {
    // A file that parses but gives the game nothing to do would start a
    // game that never dances; refuse it like a broken one.
    std::string unplayable = CheckPlayable(g.actions);
    if (unplayable.empty()) return true;
    error = ShownName(name) + ": " + unplayable;
  }
  g.pf.app->ShowMessage(error);
  return false;
}

}  // namespace kelvane
