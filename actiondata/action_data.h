// The action tables read from the action file: the action rows, the three
// step streams, the load groups and the command table. Filled once at start
// (ReadActionFile, then LoadGroup for every group) and only read afterwards,
// except that LoadGroup marks each group as consumed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelvane {

// One action: its name, scores, the commands that start it and where its
// script begins in each of the three step streams.
struct ActionRow {
  std::string name;  // at most 32 bytes, Shift-JIS
  int16_t group = 0;
  int16_t score = 0;
  int16_t bn = 0;  // landing bonus
  int16_t firstScore = 0;
  int16_t fall = 0;
  int16_t landing = 0;  // digit 0..6 the next command must begin with, 0 = none
  int16_t scoreExtra = 0;
  std::array<int16_t, 8> commands{};  // command codes, 0 = empty slot
  int16_t motionStart = 0;
  int16_t secondStart = 0;
  int16_t thirdStart = 0;
  uint8_t hidden = 0;   // left out of the command list
  uint8_t preDone = 0;  // the command list shows its commands as performed
};

struct ActionData {
  static constexpr int kRowCapacity = 512;
  static constexpr int kMotionCapacity = 10240;
  static constexpr int kSecondCapacity = 6144;
  static constexpr int kThirdCapacity = 3072;
  static constexpr int kGroupCapacity = 100;
  static constexpr int kGroupEntries = 16;
  static constexpr int kGroupLastRowEntry = 15;  // index of the group's last row
  static constexpr int kMaxGroupPictures = 14;
  static constexpr int kMaxCommandCode = 6666;
  static constexpr int16_t kEnd = -1;  // ends a script, a part or a picture list

  std::array<ActionRow, kRowCapacity> actionRows{};

  // Step values in file order. >= 0 is a picture (div 1000 / mod 1000);
  // < 0 an instruction: code (-v) mod 100, argument (-v) div 100.
  std::array<int16_t, kMotionCapacity> motionStream{};
  std::array<int16_t, kSecondCapacity> secondStream{};  // first companion layer
  std::array<int16_t, kThirdCapacity> thirdStream{};    // second companion layer
  int motionCount = 0;                                  // values stored so far in each stream
  int secondCount = 0;
  int thirdCount = 0;

  // Entries 0..14: picture numbers (set * 100 + k) ended by -1; entry 15:
  // the last action row defined when the group was read.
  std::array<std::array<int16_t, kGroupEntries>, kGroupCapacity> loadGroups{};

  // Command code 0..6666 -> action row it starts, 0 = none.
  std::array<int16_t, kMaxCommandCode + 1> codeToRow{};

  int16_t lastRow = -1;       // index of the last action row, -1 when none
  int16_t lastGroup = -1;     // index of the last load group, -1 when none
  int16_t bangRow = 0;        // last row whose header begins with "!"
  int16_t secondBangRow = 0;  // last row whose header's second character is "!"
  uint8_t barPairs = 0;       // last row whose header begins with "|", halved

  // Loading progress, shown in the caption while the pictures load.
  int16_t picturesLeft = 0;      // pictures of the current group still to come
  int16_t pictureCountdown = 0;  // progress steps left for the current picture
};

}  // namespace kelvane
