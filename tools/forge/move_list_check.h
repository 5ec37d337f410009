// Checks the move list beyond its syntax: every picture it shows or loads is
// one the forge draws, every row call lands on a row, every sound is one the
// sound effects provide, the commands a stage start can produce all have an
// action, and all 100 load groups are defined.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "actiondata/action_data.h"
#include "tools/forge/dancer_catalogue.h"

namespace forge {

struct MoveListFigures {
  int rows = 0;
  int motionValues = 0, secondValues = 0, thirdValues = 0;
  int visibleCommands = 0;  // command codes the command list shows
  int hiddenCommands = 0;
  int groups = 0;  // load groups defined
};

// The "Sound effects used by the move list: 80, 81, ..." line of the notes.
std::set<int> ReadSoundList(const std::string& readme);

// sjis is the file as the game reads it. Throws ForgeError
// "Z_ac.txt:LINE: reason" for the first fault found.
MoveListFigures CheckMoveList(const std::string& sjis, const PictureCatalogue& pictures,
                              const std::set<int>& sounds);

}  // namespace forge
