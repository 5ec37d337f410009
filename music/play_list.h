// The play list: music files named on the command line (or dropped on the
// window) become the third music source.
#pragma once

#include <string>
#include <vector>

namespace kelvane {

struct Game;

// True when name's extension (from the last dot of its file name on) is
// exactly ".mid", ".wav" or ".mp3". Callers lower-case the name first.
bool IsMusicFile(const std::string& name);

// The filling rule: at most 16 names are appended after the present entries;
// the oldest entries make room when the table would overflow. The first new
// name becomes the current tune and the play list the music source.
void AppendPlayList(Game& g, const std::vector<std::string>& names);

// As AppendPlayList, but with Shift or Alt held down the new names replace
// the list instead.
void AddToPlayList(Game& g, const std::vector<std::string>& names);

// Start-up: the program arguments that name music files, sorted, join the
// play list; firstRoutineDone is set when there was at least one.
void AddCommandLineMusic(Game& g, const std::vector<std::string>& args);

// The names among paths that are music files, cut to 255 bytes, sorted by
// their lower-cased spelling, each once. The names keep their case: this
// file system tells capitals apart.
std::vector<std::string> SortedMusicNames(const std::vector<std::string>& paths);

// Files dropped on the main window: the music among them joins the play
// list where the scene takes music (in the music menu it previews at once,
// in the demonstration's play it starts continuous play); effect 51 when
// none was music, 52 when the scene takes none.
void FormDropFiles(Game& g, const std::vector<std::string>& paths);

}  // namespace kelvane
