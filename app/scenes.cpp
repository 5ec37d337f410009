#include "app/scenes.h"

#include "app/game.h"
#include "app/opening.h"
#include "flow/match_result.h"
#include "flow/music_menu.h"
#include "flow/record_slots.h"
#include "flow/stage_cycle.h"

namespace kelvane {

void RunSceneHandler(Game& g) {
  switch (g.st.sceneCode) {
    case scene::kOpening: OpeningStep(g); break;
    case scene::kOpeningLogo: OpeningLogoStep(g); break;
    case scene::kModeMenu: ModeMenuStep(g); break;
    case scene::kMusicMenu: MusicMenuStep(g); break;
    case scene::kLoadSlot: LoadSceneStep(g); break;
    case scene::kSaveSlot: SaveSceneStep(g); break;
    case scene::kMatchResult: ResultStep(g); break;
    case scene::kStageStart1:
    case scene::kStageStart2:
    case scene::kExitQuestion:
    case scene::kDemoStart:
      StageStartStep(g);
      break;
    case scene::kPlay1:
    case scene::kPlay2:
    case scene::kDemoPlay:
      PlayStep(g);
      break;
    // The other scenes' handlers join this table when they are built.
    default:
      break;
  }
}

}  // namespace kelvane
