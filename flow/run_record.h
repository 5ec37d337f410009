// Run records: every turn's command keys are written down with the frame on
// which they were pressed, so that the turn can be saved into a record slot
// and replayed move for move.
//
// A record is a list of text lines (Shift-JIS, CR LF in its file):
//   0  opening command (4 digits) + name (6) + area (7) [+ score (6) + check (12)]
//   1  "♪[ " + the tune's file name + " ]  " + the player's comment
//   2  the media element played at the end of the turn
//   3  key symbols 5 3 5, a separator, the opening command's four digits as
//      key symbols, the separator of the opening command's completion; then
//      the event stream, continued on 4, 5...
// Keys and frame counts are written through the code table below.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

class FileSystem;
struct Game;

namespace record {

// 98 characters: a symbol stands for its first position (0-based). The five
// blanks sit at values the game never writes (a zero digit of a frame count
// is never written), so each one reads back as 20, harmlessly.
inline constexpr std::string_view kCodeTable =
    R"KT(,|6rU&:;l]e"TOBM_iAc S=3Y49@F+ IVo-{apJQ E7ymx/R}[ sC)d<kjZ? *(0^!qv1~tD>.XnPbg%58HfKuW#G'wLN$hz`2)KT";
static_assert(kCodeTable.size() == 98);

constexpr int kKeyValues = 20;       // 0..19: keys, digit = value mod 10
constexpr int kSeparatorFirst = 90;  // 90..97: separators
constexpr int kSeparatorCount = 8;
constexpr uint32_t kMaxFrameCount = 99999;
constexpr int kLineWrap = 70;     // a line longer than this is closed
constexpr size_t kMaxGroup = 24;  // symbols of one command's group
// No line the game writes comes near this; a longer one is not a record's.
constexpr size_t kMaxLine = 255;
// A record file larger than this is not one the game wrote.
constexpr uint64_t kMaxFileBytes = 1 << 20;
constexpr size_t kHeaderLength = 35;
constexpr size_t kHeaderShort = 17;  // without score and check value
constexpr size_t kCheckLength = 12;
constexpr size_t kFirstEventLine = 3;
constexpr size_t kOpeningLength = 9;  // 5 3 5, separator, four digits, separator

inline constexpr std::string_view kComputerName = "$DEMO$";
inline constexpr std::string_view kComputerArea = "*$COM$*";
inline constexpr std::string_view kImpostorArea = "!$COM$!";
inline constexpr std::string_view kComputerComment = "-DEMO- COMPUTER";
// "♪[ " and " ]  " around the tune's name on line 1.
inline constexpr std::string_view kNoteOpen = "\x81\xF4[ ";
inline constexpr std::string_view kNoteClose = " ]  ";

// The value of a symbol, or -1 for a character outside the table.
int SymbolValue(char c);
// The symbol of a value 0..97.
char SymbolOf(int value);

// The player's name (6) and area (7) as a record stores them: filtered to
// the font's characters, padded with "_"; a human never gets the
// computer's pair.
std::string RecordName(const std::string& entryName);
std::string RecordArea(const std::string& entryName, const std::string& entryArea);

// The 12 check symbols over a record's lines (name and area of line 0 pick
// characters of the event lines). Needs at least one event line.
std::string CheckValue(const std::vector<std::string>& lines);

// One replayed event: the frames since the previous one and up to four keys
// (command digits 1..9, 0 = none).
struct Event {
  uint32_t frames = 0;
  std::array<uint8_t, 5> keys{};
  bool groupEnd = false;  // a separator followed: the command is complete
};

// Reads the event stream of a record's lines: from line 3 after the opening
// command, wrapping to line 3 after the last line. Bounded: a stream with
// nothing to read (no event lines, only empty ones, a line longer than any
// the game writes, or only characters outside the table) is exhausted and
// gives no keys.
class EventReader {
 public:
  EventReader() = default;
  explicit EventReader(const std::vector<std::string>* lines) { Start(lines); }
  // Reading from line 3 after the opening; once is true, the end of the
  // last line ends the stream instead of wrapping.
  void Start(const std::vector<std::string>* lines, bool once = false);
  // The next event; false when the stream is exhausted.
  bool Next(Event& e);
  // True once after each wrap to line 3.
  bool TakeWrap() {
    const bool w = wrapped_;
    wrapped_ = false;
    return w;
  }
  bool exhausted() const { return exhausted_; }

 private:
  // The next symbol's value, skipping characters outside the table; -1
  // when the stream is exhausted.
  int ReadValue();
  void StepBack();

  const std::vector<std::string>* lines_ = nullptr;
  size_t line_ = kFirstEventLine;
  size_t pos_ = kOpeningLength;  // index of the next character of line_
  size_t budget_ = 0;            // characters in one pass of the stream
  bool wrapped_ = false;
  bool exhausted_ = true;
  bool once_ = false;
};

// The events of a record's stream, read once from the opening to the end.
std::vector<Event> DecodeEvents(const std::vector<std::string>& lines);

// The opening command in the first four characters of a header.
std::optional<int32_t> OpeningCommand(const std::string& header);

// A record file split into its lines, with the trailing empty lines gone.
struct ParsedRecord {
  std::vector<std::string> lines;
  int32_t openingCommand = 0;
  std::string name, area;        // header fields 5-10 and 11-17
  int32_t score = 0;             // header field 18-23
  std::string storedCheck;       // header field 24-35
  std::string computedCheck;
  bool checks = false;
};
// Reads a record from a file's bytes. Nothing is returned (and error says
// why) for a record the game cannot replay: too large, too few lines, a
// header whose opening command or score is not a number, an event line
// longer than kMaxLine. The check value is compared but not enforced here.
std::optional<ParsedRecord> ParseRecord(std::string_view bytes, std::string* error = nullptr);

// Why a record that reads is still refused.
inline constexpr const char* kCheckMismatch = "the record's check value does not match";

// A record file as every reader takes it (the slot list, the load scene,
// --replay, the inspect tool): a file over kMaxFileBytes is refused from
// its size before it is read, then ParseRecord decides. On refusal, error
// is "the file cannot be read", "the file is larger than any record (N
// bytes)" or "not a run record: " + ParseRecord's reason.
std::optional<ParsedRecord> ReadRecordFile(FileSystem& files, const std::string& path,
                                           std::string& error);

// What a slot label shows: the header fields and line 1. Nothing when the
// file has no second line. The slot list reads only the header; whether the
// record replays (its score a number included) is the load's verdict.
struct SlotHeader {
  std::string name, area, caption;
  std::optional<int32_t> score;  // nothing when the header's is not a number
};
std::optional<SlotHeader> ParseSlotHeader(std::string_view bytes);

// The lines as the slot file holds them: CR LF after each line.
std::string RecordFileText(const std::vector<std::string>& lines);

}  // namespace record

// The recorder's state in the game object.
struct RecordState {
  std::vector<std::string> lines;  // the record list, reused for every turn
  std::string pendingGroup;        // the keys of the command being typed
  record::EventReader reader;
  record::Event next;         // the event the replay waits to inject
  uint8_t groupEnd = 0;       // the next event completes its command
  uint8_t waiting = 0;        // the replay waits for the command to complete
  std::string lastElement;    // the media element opened last
  bool recording = false;     // a turn is being written down
  uint8_t replayAtStart = 0;  // the next demonstration start replays the list
};

// Stage start: begins the turn's record (or, replaying, its reading).
// code is the recorded opening command.
void StartRecord(Game& g, int32_t code);

// A command digit (1..6) that counts has been typed: the recorder appends it
// as an event (frameCounter, digit), a landing key straight onto the last
// line, any other key to the pending group. Called before the digit is added
// to commandCode, and never while a record is being replayed.
void AppendKeyEvent(Game& g, int digit);

// A command is complete and is about to be matched: the recorder closes the
// pending group; during a replay it moves on to the next stored event.
void CommandCompleted(Game& g);

// Stage end: the music, the media element, the score and the check value
// complete the record. Nothing happens during a replay.
void FinishRecord(Game& g, const std::string& tuneName, const std::string& elementName);

// Reads the next event to replay into g.record.next; with the current
// group complete the replay waits for CommandCompleted instead. Reading past
// the end starts over at line 3 and locks the score (scoreLock 1).
void NextReplayEvent(Game& g);

// The play scene's part of a replay, once per frame: the event's keys are
// typed when frameCounter reaches its count.
void ReplayStep(Game& g);

// The slot file "Ac" + n + ".txt" of the data folder.
std::string SlotFileName(const Game& g, int n);

// Writes the record list into slot n; false (the slot untouched) when the
// file cannot be written.
bool SaveRecord(Game& g, int n);

// Reads slot n into the record list. A file that cannot be read or parsed,
// or whose check value does not match, is refused: false (error says why),
// and the record list stays as it was.
bool LoadRecord(Game& g, int n, std::string* error = nullptr);
// The same for a record file anywhere.
bool LoadRecordFile(Game& g, const std::string& path, std::string* error = nullptr);

}  // namespace kelvane
