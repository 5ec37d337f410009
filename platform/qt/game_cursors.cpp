#include "platform/qt/game_cursors.h"

#include <QPixmap>
#include <array>
#include <cstring>

namespace kelvane {
namespace {

// '#' black outline, 'o' white fill, 'r' red accent, anything else clear.
struct CursorArt {
  std::array<const char*, 20> rows;
  QPoint hotSpot;
};

// clang-format off
// CR1: a sighting ring for the stage, hot spot in the centre.
constexpr CursorArt kPlay = {{
    "                    ",
    "     #######        ",
    "   ##ooooooo##      ",
    "  ##o#######o##     ",
    "  #o##  r  ##o#     ",
    " #o##   r   ##o#    ",
    " #o#    r    #o#    ",
    " #o#    r    #o#    ",
    " #o#rrrrorrrr#o#    ",
    " #o#    r    #o#    ",
    " #o#    r    #o#    ",
    " #o##   r   ##o#    ",
    "  #o##  r  ##o#     ",
    "  ##o#######o##     ",
    "   ##ooooooo##      ",
    "     #######        ",
    "                    ",
    "                    ",
    "                    ",
    "                    ",
}, {8, 8}};

// CR2: a pointing hand for the menus, hot spot at the finger tip.
constexpr CursorArt kMenu = {{
    "    ##              ",
    "   #oo#             ",
    "   #oo#             ",
    "   #oo#             ",
    "   #oo###           ",
    "   #oo#oo###        ",
    "   #oo#oo#oo##      ",
    "## #oo#oo#oo#o#     ",
    "#oo#oooooooooo#     ",
    "#ooo#ooooooooo#     ",
    " #oo#ooooooooo#     ",
    "  #ooooooooooo#     ",
    "  #oooooooooo#      ",
    "   #ooooooooo#      ",
    "   #oooooooo#       ",
    "    #ooooooo#       ",
    "    #########       ",
    "                    ",
    "                    ",
    "                    ",
}, {4, 0}};

// CR3: an hourglass while a stage gets ready, hot spot in the waist.
constexpr CursorArt kBusy = {{
    "#############       ",
    "#ooooooooooo#       ",
    " #ooooooooo#        ",
    " #orrrrrrro#        ",
    "  #orrrrro#         ",
    "   #orrro#          ",
    "    #oro#           ",
    "     #r#            ",
    "    #oro#           ",
    "   #oooro#          ",
    "  #ooooroo#         ",
    " #oooorrroo#        ",
    " #ooorrrrro#        ",
    "#ooorrrrrrro#       ",
    "#############       ",
    "                    ",
    "                    ",
    "                    ",
    "                    ",
    "                    ",
}, {6, 7}};
// clang-format on

const CursorArt* ArtOf(int index) {
  switch (index) {
    case 1:
      return &kPlay;
    case 2:
      return &kMenu;
    case 3:
      return &kBusy;
    default:
      return nullptr;
  }
}

}  // namespace

QImage GameCursorImage(int index) {
  const CursorArt* art = ArtOf(index);
  if (!art) return {};
  const int size = static_cast<int>(art->rows.size());
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  for (int y = 0; y < size; ++y) {
    const char* row = art->rows[static_cast<size_t>(y)];
    int len = static_cast<int>(std::strlen(row));
    for (int x = 0; x < len && x < size; ++x) {
      switch (row[x]) {
        case '#':
          image.setPixel(x, y, 0xFF000000u);
          break;
        case 'o':
          image.setPixel(x, y, 0xFFFFFFFFu);
          break;
        case 'r':
          image.setPixel(x, y, 0xFFE02030u);
          break;
        default:
          break;
      }
    }
  }
  return image;
}

QPoint GameCursorHotSpot(int index) {
  const CursorArt* art = ArtOf(index);
  return art ? art->hotSpot : QPoint();
}

QCursor GameCursor(int index) {
  QImage image = GameCursorImage(index);
  if (image.isNull()) return QCursor(Qt::ArrowCursor);
  QPoint hot = GameCursorHotSpot(index);
  return QCursor(QPixmap::fromImage(image), hot.x(), hot.y());
}

}  // namespace kelvane
