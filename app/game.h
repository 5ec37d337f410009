// The one game object: the game state record, the subsystem records and the
// platform the game runs on. A test makes a fresh Game on fake services.
#pragma once

#include <string>
#include <vector>

#include "actiondata/action_data.h"
#include "actiondata/command_list_window.h"
#include "actiondata/palette_file.h"
#include "app/game_state.h"
#include "coach/judge.h"
#include "graphics/surfaces.h"
#include "flow/match_result.h"
#include "flow/music_menu.h"
#include "flow/record_slots.h"
#include "flow/run_record.h"
#include "flow/stage_cycle.h"
#include "gameplay/action_engine.h"
#include "gameplay/command_state.h"
#include "gameplay/mode_menu.h"
#include "gameplay/mouse_input.h"
#include "gameplay/snapshot_album.h"
#include "music/music_state.h"
#include "platform/core/random.h"
#include "platform/platform.h"

namespace kelvane {

class TraceLog;

struct Game {
  explicit Game(const Platform& platform) : pf(platform) {}
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  Platform pf;
  GameState st;
  Random random;
  TraceLog* trace = nullptr;  // the headless harness's trace, if any
  JudgeHub judges;            // who hears of every change of a score
  std::vector<std::string> args;  // program arguments after the options
  uint64_t frameStepCount = 0;    // diagnostics for the harness

  // The state of each subsystem, one record apiece.
  ActionData actions;
  Palettes palettes;
  StageState stage;
  CommandState cmd;
  Motion motion;  // the action engine: position, speeds, streams, backdrop state
  MusicState music;  // the music player: sources, play list, CD probe
  Surfaces gfx;  // surfaces, layers, panels, layout values
  AlbumState album;  // the snapshot album's extent
  CommandListState keyList;  // the command list window's rows and sort
  HeldButton mouse;  // the held mouse button that takes snapshots and pages the album
  ModeMenuState menu;  // the mode menu: page, cursor, figure, gallery
  MusicMenuState musicMenu;  // the music menu: item, idle animation
  MatchResultState result;  // the match result: winner, course match, slots of the turns
  RecordState record;  // the run record of the turn, written or replayed
  SlotState recordSlots;  // the record slots: cursor, layout, the nine summaries

  uint32_t Now() { return pf.clock->TickCount(); }
  // Random(n): 0 .. n-1.
  int Rand(int n) { return random.Next(n); }
};

}  // namespace kelvane
