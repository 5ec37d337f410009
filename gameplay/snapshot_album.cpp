#include "gameplay/snapshot_album.h"

#include <algorithm>

#include "app/game.h"
#include "gameplay/key_groups.h"
#include "graphics/bmp_file.h"
#include "graphics/picture_notices.h"
#include "graphics/sound_effect.h"
#include "graphics/surfaces.h"

namespace kelvane {
namespace {

constexpr uint8_t kBadgeLoaded = 240;  // counts up to 255, then wraps to 0
constexpr uint8_t kBadgeSaved = 16;    // counts down to 0
constexpr int kSoundLoaded = 31;
constexpr int kSoundSaved = 32;
constexpr int kSoundDeleted = 21;
constexpr int kSoundFailed = 20;

}  // namespace

std::string AlbumFileName(const Game& g, int digit) {
  return g.st.dataFolder + "Zz" + std::to_string(digit) + ".bmp";
}

bool LoadAlbum(Game& g, int digit) {
  const std::string path = AlbumFileName(g, digit);
  if (!g.pf.files->Exists(path)) return false;
  Surface picture;
  // An album is a column of whole snapshot frames. An unreadable file, or
  // one of another shape, is ignored like a missing one (and reported once).
  const PictureSize size{geo::kSnapshotW, geo::kSnapshotH, false, true};
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
