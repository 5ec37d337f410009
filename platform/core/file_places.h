// Where the game's files are read and written. The game names every file
// from its data folder; an installed copy keeps that folder read-only and
// sends what it writes into the player's own folders (XDG base directories).
#pragma once

#include <functional>
#include <string>

namespace kelvane {

struct FilePlaces {
  std::string dataFolder;  // every file name is built from it (trailing '/')
  // Empty in a portable folder: everything lives in dataFolder. Otherwise
  // the player's folders, each with a trailing '/'.
  std::string settings;    // Kelvane.ini
  std::string playerData;  // records, albums, and content that replaces the installed one
  std::string cache;       // the generated colour schemes
  // Tunes rendered by this machine's synthesiser, in the player's cache
  // folder even for a portable copy (they are worth nothing elsewhere);
  // empty when turned off by KELVANE_RENDERED_TUNES=off.
  std::string renderedTunes;
  bool Portable() const { return playerData.empty(); }
};

// What decides the places: the program's folder, --data, the environment.
struct PlaceInputs {
  std::string programFolder;  // with trailing '/'
  std::string dataOption;     // --data DIR, or empty
  std::string installedData;  // the installed data folder relative to programFolder
  std::function<const char*(const char*)> env;  // getenv
};

// The data folder holds the game when its move list is there.
bool HoldsGameData(const std::string& folder);

// Decided once at start. KELVANE_RENDERED_TUNES names another folder for
// the rendered tunes, or turns them off. A --data folder, or a program folder that holds
// the data and may be written to, is portable (read and write there, as
// ever). Otherwise the installed data folder is read and the player's XDG
// folders are written; without the data anywhere the program's folder is
// used so that the missing files are reported as usual.
FilePlaces DecideFilePlaces(const PlaceInputs& in);

// The folders in use, one a line, for --where.
std::string DescribePlaces(const FilePlaces& p);

}  // namespace kelvane
