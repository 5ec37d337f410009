#include "app/lifecycle.h"

#include "actiondata/load_group.h"
#include "actiondata/palette_file.h"
#include "app/game.h"
#include "app/trace.h"
#include "config/settings.h"
#include "graphics/presentation.h"
#include "graphics/surfaces.h"
#include "graphics/window_layout.h"
#include "graphics/sound_effect.h"
#include "music/music_player.h"
#include "music/play_list.h"

namespace kelvane {

bool FormCreate(Game& g) {
  GameState& st = g.st;
  // Step 1: the deactivation hook (the host calls FormDeactivate).
  // Step 2: the zoom choice, so that step 3 starts with the zoomed view.
  st.zoomFlag = !st.zoomFlag;
  // Step 3: the window size chosen in the startup dialog.
  ToggleWindowSize(g);
  // Step 4: the wallpaper that the startup dialog drew into mainSurface.
  if (g.gfx.mainSurface.Empty()) CreateMainSurface(g);
  PaintMainSurface(g);
  // Step 5.
  PlaySoundEffect(g, 11);
  // Step 6: settings.
  ReadSettings(g);
  // Steps 7-8: the palette file and the four palettes.
  if (!ReadPaletteFile(g)) return false;
  BuildPalettes(g);
  // Step 9: the stage layers, the snapshot strip and the backdrop sheet, then
  // ClearLayers. (The window's own silver brush has no effect here: every
  // visible pixel comes from mainSurface.)
  CreateStageSurfaces(g);
  // Step 10: the action engine's start values.
  SetEngineStartValues(g);
  // Steps 11-15: the command table, the action file, every load group's
  // pictures and the main picture, with the progress in the caption.
  if (!LoadActionsAndPictures(g)) return false;
  // Step 16.
  CreateScratchMask(g);
  // Step 17.
  ResetSceneCounters(st);
  // Steps 18-19: the cursors live in the host; the run-record list arrives
  // with the records.
  // Step 20: closed during loading.
  if (st.closeRequested || st.halted) {
    g.pf.app->SetTimerEnabled(true);
    return true;
  }
  // Step 21: music files from the command line join the play list.
  AddCommandLineMusic(g, g.args);
  // Steps 22-25.
  st.sceneCode = scene::kDemoStart;
  st.frameInterval = st.normalFrameInterval;
  g.pf.app->SetTimerEnabled(true);
  g.pf.app->SetIdleHooked(true);
  return true;
}

// The window takes music files dropped from a file manager from now on.
void FormShow(Game& g) { g.pf.window->AcceptDroppedFiles(FormId::FM, true); }

void FormPaint(Game& g) { PaintMainSurface(g); }

bool FormCloseQuery(Game& g) {
  if (!g.st.closeRequested) {
    g.st.closeRequested = 1;
    return false;
  }
  return true;
}

void FormClose(Game& g) {
  g.st.halted = 1;
  if (g.trace) g.trace->Close(g.Now());
}

void FormDeactivate(Game& g) { g.st.mouseLevel = 0; }

void FormDestroy(Game& g) {
  // A failed write has been reported; the rest still runs so that music and
  // effects stop and the cursor comes back.
  WriteSettings(g);
  StopMusic(g);
  StopSoundEffect(g);
  g.pf.window->ShowCursor(true);
}

}  // namespace kelvane
