#include "platform/qt/game_cursors.h"

#include <QPixmap>

#include "platform/core/cursor_art.h"

namespace kelvane {

QImage GameCursorImage(int index) {
  const CursorPicture p = GameCursorPicture(index);
  if (p.size == 0) return {};
  QImage image(p.size, p.size, QImage::Format_ARGB32);
  for (int y = 0; y < p.size; ++y)
    for (int x = 0; x < p.size; ++x) image.setPixel(x, y, p.argb[static_cast<size_t>(y) * p.size + x]);
  return image;
}

QPoint GameCursorHotSpot(int index) {
  const CursorPicture p = GameCursorPicture(index);
  return {p.hotX, p.hotY};
}

QCursor GameCursor(int index) {
  QImage image = GameCursorImage(index);
  if (image.isNull()) return QCursor(Qt::ArrowCursor);
  QPoint hot = GameCursorHotSpot(index);
  return QCursor(QPixmap::fromImage(image), hot.x(), hot.y());
}

}  // namespace kelvane
