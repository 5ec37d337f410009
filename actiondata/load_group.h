// Turning the load groups into loaded pictures and the command table.
#pragma once

#include <optional>
#include <string>

#include "graphics/bmp_file.h"

namespace kelvane {

struct ActionData;
struct Game;

// The file name (without ".bmp") of picture number p = set * 100 + k: the
// set's prefix and k as three digits ("sc005" for 105).
std::string PictureName(int p);
// Where picture number p lands in frameSheets; 2j and 2j + 1 share slot j.
int PictureSet(int p);
int PictureSlot(int p);

// The least size of a picture of the set: every cell as the sheet geometry
// lays them out. Nothing for set 10, which has no fixed layout.
std::optional<PictureSize> SheetSize(int set);

// The groups whose first entry is not -1.
int CountGroupsToLoad(const ActionData& a);

// Maps every command of the rows the group serves to its row in codeToRow:
// the rows after the previous group's last row up to the group's own (for
// group 0, rows 1 up to its last row).
void MapGroupCommands(ActionData& a, int group);

// Loads the group's pictures into frameSheets (every colour scheme and the
// mask), marks the group consumed and maps its commands. Returns false when
// a picture could not be loaded (the user has been told).
bool LoadGroup(Game& g, int group);

// The main window's start-up from the command table to the main picture:
// clears codeToRow, reads the action file, counts and loads every group,
// then loads the main picture. Returns false when a file could not be read
// (the user has been told).
bool LoadActionsAndPictures(Game& g);

}  // namespace kelvane
