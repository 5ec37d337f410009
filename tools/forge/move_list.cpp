// Writes the move list Z_ac.txt: the hand-written data/Z_ac.txt (UTF-8) in
// Shift-JIS with CR LF line ends, after checking it against the pictures
// the forge draws and the sound effects listed in data/README.md.
#include <algorithm>
#include <cstdio>

#include "platform/core/text_codec.h"
#include "tools/forge/dancer_catalogue.h"
#include "tools/forge/forge.h"
#include "tools/forge/move_list_check.h"

namespace forge {

std::string ReadDataFile(const Forge& f, const std::string& name);

namespace {

// Shift-JIS with CR LF ends; a character without a Shift-JIS form is refused
// rather than silently becoming "?".
std::string ToGameText(const std::string& utf8) {
  std::string out;
  size_t start = 0;
  int lineNo = 0;
  while (start < utf8.size()) {
    size_t end = utf8.find('\n', start);
    if (end == std::string::npos) end = utf8.size();
    std::string line = utf8.substr(start, end - start);
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string sjis = kelvane::Utf8ToSjis(line);
    if (std::count(sjis.begin(), sjis.end(), '?') != std::count(line.begin(), line.end(), '?'))
      throw ForgeError{"Z_ac.txt:" + std::to_string(lineNo) +
                       ": a character has no Shift-JIS form"};
    out += sjis + "\r\n";
    start = end + 1;
  }
  return out;
}

void WriteMoveList(Forge& f) {
  std::string text = ToGameText(ReadDataFile(f, "Z_ac.txt"));
  PictureCatalogue pictures = BuildCatalogue(ReadDancerLayout(ReadDataFile(f, "dancer.txt")));
  std::set<int> sounds = ReadSoundList(ReadDataFile(f, "README.md"));
  MoveListFigures fig = CheckMoveList(text, pictures, sounds);
  std::printf(
      "move list: %d rows, %d listed and %d hidden commands, streams %d/%d/%d, %d load groups\n",
      fig.rows, fig.visibleCommands, fig.hiddenCommands, fig.motionValues, fig.secondValues,
      fig.thirdValues, fig.groups);
  f.WriteFile("Z_ac.txt", text);
}

}  // namespace

FORGE_WRITER("move-list", WriteMoveList);

}  // namespace forge
