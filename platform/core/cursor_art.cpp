#include "platform/core/cursor_art.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kelvane {
namespace {

// '#' black outline, 'o' white fill, 'r' red accent, anything else clear.
struct CursorArt {
  std::array<const char*, kCursorArtSize> rows;
  int hotX, hotY;
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
}, 8, 8};

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
}, 4, 0};

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
}, 6, 7};
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

CursorPicture GameCursorPicture(int index) {
  const CursorArt* art = ArtOf(index);
  if (!art) return {};
  CursorPicture p;
  p.size = kCursorArtSize;
  p.argb.assign(static_cast<size_t>(p.size) * p.size, 0);
  p.hotX = art->hotX;
  p.hotY = art->hotY;
  for (int y = 0; y < p.size; ++y) {
    const char* row = art->rows[static_cast<size_t>(y)];
    const int len = std::min(static_cast<int>(std::strlen(row)), p.size);
    for (int x = 0; x < len; ++x) {
      uint32_t& px = p.argb[static_cast<size_t>(y) * p.size + x];
      switch (row[x]) {
        case '#': px = 0xFF000000u; break;
        case 'o': px = 0xFFFFFFFFu; break;
        case 'r': px = 0xFFE02030u; break;
        default: break;
      }
    }
  }
  return p;
}

}  // namespace kelvane
