#include "graphics/window_layout.h"

#include "app/game.h"
#include "graphics/surfaces.h"

namespace kelvane {
namespace {

// The outer size of the main form from its client size and the frame the
// window service reports (the bottom frame as wide as the left one).
Size FormSize(Game& g) {
  WindowService& w = *g.pf.window;
  const Size client = w.ClientSize(FormId::FM);
  const Point pos = w.Position(FormId::FM);
  const Point origin = w.ClientOrigin(FormId::FM);
  const int left = origin.x - pos.x;
  const int top = origin.y - pos.y;
  return {client.w + 2 * left, client.h + top + left};
}

}  // namespace

bool IsLargeWindow(const Game& g) { return g.st.windowSizeFlag == 1; }

int WindowScale(const Game& g) { return IsLargeWindow(g) ? 2 : 1; }

void ToggleWindowSize(Game& g) {
  GameState& st = g.st;
  Surfaces& s = g.gfx;
  WindowService& w = *g.pf.window;
  // 1.
  w.SetVisible(FormId::FM, false);
  st.windowSizeFlag = !st.windowSizeFlag;
  if (st.windowSizeFlag == 1) {
    // 2. Large window.
    const Size screen = w.ScreenSize();
    const bool stayOnTop = !(screen.h > 510 && screen.w > 650);
    w.SetStayOnTop(FormId::FM, stayOnTop);
    w.SetBorderStyle(FormId::FM, stayOnTop ? BorderStyle::None : BorderStyle::ToolWindow);
    if (!s.firstLayout) w.SetStayOnTop(FormId::keyFM, stayOnTop);
    w.SetClientSize(FormId::FM, {640, 480});
    s.presentRect = geo::kPresentLarge;
    if (!s.firstLayout) CopyRect(s.mainSurface, {0, 0, 640, 480}, s.mainSurface, {0, 0, 320, 240});
  } else {
    // 3. Small window.
    w.SetStayOnTop(FormId::FM, false);
    w.SetBorderStyle(FormId::FM, BorderStyle::ToolWindow);
    if (!s.firstLayout) w.SetStayOnTop(FormId::keyFM, false);
    w.SetClientSize(FormId::FM, {320, 240});
    s.presentRect = geo::kPresentSmall;
    if (!s.firstLayout) CopyRect(s.mainSurface, {0, 0, 320, 240}, s.mainSurface, {0, 0, 640, 480});
  }
  // 4. Position.
  {
    const Size screen = w.ScreenSize();
    const Size form = FormSize(g);
    const int left = (screen.w - form.w) / 2;
    const int top = form.h == screen.h ? 0 : (screen.h - form.h) / 2 + 19;
    w.SetPosition(FormId::FM, {left, top});
  }
  // 5. Keep the zoom choice.
  st.zoomFlag = !st.zoomFlag;
  SetStageView(g);
  // 6.
  s.firstLayout = 0;
  w.SetVisible(FormId::FM, true);
  // 7.
  const Size client = w.ClientSize(FormId::FM);
  const Size form = FormSize(g);
  s.borderLeft = static_cast<int8_t>((form.w - client.w) / 2);
  s.borderTop = static_cast<int8_t>(form.h - client.h - s.borderLeft);
}

void SetStageView(Game& g) {
  g.st.zoomFlag = !g.st.zoomFlag;
  g.gfx.stageView = (IsLargeWindow(g) && g.st.zoomFlag == 1) ? geo::kZoomedView : geo::kNormalView;
}

Point ScreenToClientPoint(const Game& g, Point screen) {
  // The window system knows the client area's place exactly, also after the
  // window was moved, resized or decorated late; the border offsets taken
  // at the layout may be stale by then.
  return g.pf.window->ScreenToClient(FormId::FM, screen);
}

}  // namespace kelvane
