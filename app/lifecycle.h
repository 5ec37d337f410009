// The main window's lifecycle: creation in its fixed order, the two-phase
// close, and destruction.
#pragma once

namespace kelvane {

struct Game;

// Builds the game state in its fixed order. Returns false when a required
// data file could not be read (the user has been told); the host then ends
// the program through the normal close.
bool FormCreate(Game& g);
void FormShow(Game& g);
void FormPaint(Game& g);
// First request: remember it and refuse; the next Timer1 tick closes.
bool FormCloseQuery(Game& g);
void FormClose(Game& g);
void FormDeactivate(Game& g);
void FormDestroy(Game& g);

}  // namespace kelvane
