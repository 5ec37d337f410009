// The action file: every action's name, scores, commands and script, and the
// load groups of character pictures.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

struct ActionData;
struct Game;

// "Z_" + the first two characters of key + ".txt" (the key "act" gives
// Z_ac.txt).
std::string ActionFileName(const std::string& key);

// Resets the tables (streams empty, no rows, every load group empty) and
// fills them from text. A file that does not fit the tables or holds a
// malformed number is refused: returns false with "label:LINE: reason" in
// error. Nothing is ever written past a table; what was read before the
// faulty line stays.
bool ParseActionText(ActionData& a, std::string_view text, const std::string& label,
                     std::string* error);

// "" when the parsed tables give the game something to play, else the
// reason: no action rows, or no load group mapping a command to a row.
std::string CheckPlayable(const ActionData& a);

// Reads dataFolder + ActionFileName(key) into g.actions. On failure tells the
// user and returns false.
bool ReadActionFile(Game& g, const std::string& key);

}  // namespace kelvane
