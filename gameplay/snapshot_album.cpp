#include "gameplay/snapshot_album.h"

#include <algorithm>

#include "app/game.h"
#include "app/trace.h"
#include "gameplay/key_groups.h"
#include "graphics/bmp_file.h"
#include "graphics/picture_notices.h"
#include "graphics/sound_effect.h"
#include "graphics/surfaces.h"
#include "graphics/window_layout.h"

namespace kelvane {
namespace {

constexpr uint8_t kBadgeLoaded = 240;  // counts up to 255, then wraps to 0
constexpr uint8_t kBadgeSaved = 16;    // counts down to 0
constexpr int kSoundLoaded = 31;
constexpr int kSoundSaved = 32;
constexpr int kSoundDeleted = 21;
constexpr int kSoundFailed = 20;
constexpr int kSoundSnapshot = 1;
constexpr int kSoundPanel = 40;
// The area around the pointer that a snapshot takes, in units of the
// window scale, and the hot spot's offset.
constexpr int kSnapHalfW = 37;
constexpr int kSnapHalfH = 27;
constexpr int kHotSpotShift = 10;

bool HasFrames(const Game& g) {
  return g.album.albumLast != 0;
}

void ShowFrame(Game& g, int frame) {
  g.gfx.albumShown = 1;
  g.gfx.albumFrame = static_cast<int8_t>(frame);
}

void TraceSnapshot(Game& g) {
  if (!g.trace) return;
  g.trace->Line(
      "{\"t\":" + std::to_string(g.Now()) + ",\"ev\":\"album\",\"op\":\"snapshot\",\"frame\":" +
      std::to_string(g.gfx.albumFrame) + ",\"last\":" + std::to_string(g.album.albumLast) + "}");
}

}  // namespace

std::string AlbumFileName(const Game& g, int digit) {
  return g.st.dataFolder + "Zz" + std::to_string(digit) + ".bmp";
}

bool LoadAlbum(Game& g, int digit) {
  const std::string path = AlbumFileName(g, digit);
  if (!g.pf.files->Exists(path)) return false;
  Surface picture;
  // An album holds at least one snapshot frame; rows below its last whole
  // frame and columns right of the strip are never shown. An unreadable or
  // smaller file is ignored like a missing one (and reported once).
  const PictureSize size{geo::kSnapshotW, geo::kSnapshotH};
  if (std::string e = LoadBmp(*g.pf.files, path, picture, size); !e.empty()) {
    ReportSkippedPicture(g, e, "the album is left as it is");
    return false;
  }
  if (picture.Empty()) return false;
  Surfaces& s = g.gfx;
  // The strip holds albumCapacity frames; an album taller than that, or
  // shorter than one frame, is shown as far as the strip goes.
  const int capacity = std::max<int>(s.albumCapacity, 1);
  const int last = std::clamp(picture.Height() / geo::kSnapshotH - 1, 0, capacity - 1);
  s.snapshotStrip.canvas.copyMode = SRCCOPY;
  CopyRect(s.snapshotStrip, picture.Bounds(), picture, picture.Bounds());
  g.album.albumLast = static_cast<int8_t>(last);
  s.albumFrame = 0;
  s.albumShown = 1;
  PlaySoundEffect(g, kSoundLoaded);
  s.albumBadge = kBadgeLoaded;
  return true;
}

bool DeleteAlbum(Game& g, int digit) {
  const bool deleted = g.pf.files->Delete(AlbumFileName(g, digit));
  PlaySoundEffect(g, deleted ? kSoundDeleted : kSoundFailed);
  return deleted;
}

bool SaveAlbum(Game& g, int digit) {
  Surfaces& s = g.gfx;
  const int frames = std::max<int>(g.album.albumLast, 0) + 1;
  Surface album(geo::kSnapshotW, geo::kSnapshotH * frames);
  album.canvas.copyMode = SRCCOPY;
  const Rect strip = Rect::XYWH(0, 0, s.snapshotStrip.Width(), s.snapshotStrip.Height());
  CopyRect(album, strip, s.snapshotStrip, strip);
  // A failed write must not look like a saved album.
  if (!SaveBmp(*g.pf.files, AlbumFileName(g, digit), album)) {
    PlaySoundEffect(g, kSoundFailed);
    return false;
  }
  PlaySoundEffect(g, kSoundSaved);
  s.albumBadge = kBadgeSaved;
  return true;
}

void HideAlbum(Game& g) {
  g.gfx.albumShown = 0;
  g.mouse.heldAction = HeldButton::kNone;
}

void TakeSnapshot(Game& g, Point p) {
  Surfaces& s = g.gfx;
  PlaySoundEffect(g, kSoundSnapshot);
  s.albumShown = 1;
  const int capacity = std::max<int>(s.albumCapacity, 1);
  int frame = s.albumFrame + 1;
  if (frame > capacity - 1) {
    frame = capacity - 1;
    // A full strip scrolls up: frame 0 is dropped, the new one goes last.
    s.snapshotStrip.canvas.copyMode = SRCCOPY;
    CopyRect(s.snapshotStrip, Rect::XYWH(0, 0, geo::kSnapshotW, (capacity - 1) * geo::kSnapshotH),
             s.snapshotStrip,
             Rect::XYWH(0, geo::kSnapshotH, geo::kSnapshotW, (capacity - 1) * geo::kSnapshotH));
  }
  s.albumFrame = static_cast<int8_t>(frame);
  g.album.albumLast = std::max(g.album.albumLast, s.albumFrame);
  const Rect cell = Rect::XYWH(0, frame * geo::kSnapshotH, geo::kSnapshotW, geo::kSnapshotH);
  FillRect(s.snapshotStrip, cell);
  const int e = WindowScale(g);
  const Rect around =
      Rect::XYWH(p.x - kSnapHalfW * e + kHotSpotShift, p.y - kSnapHalfH * e + kHotSpotShift,
                 2 * kSnapHalfW * e, 2 * kSnapHalfH * e);
  s.snapshotStrip.canvas.copyMode = SRCCOPY;
  CopyRect(s.snapshotStrip, cell, s.mainSurface, around);
  TraceSnapshot(g);
}

void AlbumForward(Game& g, Point p, ShiftState shift) {
  if (shift.alt) {
    if (HasFrames(g)) ShowFrame(g, g.album.albumLast);
  } else if (shift.shift) {
    if (HasFrames(g)) ShowFrame(g, std::min<int>(g.gfx.albumFrame + 1, g.album.albumLast));
  } else {
    TakeSnapshot(g, p);
  }
}

void AlbumBack(Game& g, ShiftState shift) {
  Surfaces& s = g.gfx;
  if (shift.alt) {
    HideAlbum(g);
    s.albumFrame = -1;
  } else if (shift.shift) {
    if (!HasFrames(g)) return;
    ShowFrame(g, s.albumFrame - 1);
    if (s.albumFrame < 0) {
      HideAlbum(g);
      s.albumFrame = -1;
    }
  } else {
    if (!s.albumShown) s.iconShown = !s.iconShown;
    HideAlbum(g);
    PlaySoundEffect(g, kSoundPanel);
  }
}

void AlbumKeyUp(Game& g, int vk, ShiftState shift) {
  if (vk < keys::kDigit1 || vk > keys::kDigit9) return;
  const int digit = vk - keys::kDigit1 + 1;
  if (keys::ShiftOrAlt(shift)) {
    LoadAlbum(g, digit);
  } else if (g.pf.keys->IsDown(keys::kDelete)) {
    DeleteAlbum(g, digit);
  } else if (g.gfx.albumShown) {
    SaveAlbum(g, digit);
  }
}

}  // namespace kelvane
