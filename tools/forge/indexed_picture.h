// A 16-colour picture as palette indexes, drawn with QPainter in "ink"
// colours (grey level = index, no antialiasing) and written as a 4-bit BMP.
#pragma once

#include <QColor>
#include <QImage>
#include <cstdint>
#include <string>

#include "tools/forge/palette_colours.h"

namespace forge {

// The paint colour that stands for palette index i while drawing.
inline QColor Ink(int index) {
  return QColor(index, index, index);
}

// A black RGB32 canvas to draw inks on.
QImage NewInkCanvas(int width, int height);

// Palette index of every pixel; throws ForgeError for a colour that is not
// an ink (a slip such as antialiasing left on).
std::string InkIndexes(const QImage& canvas, const std::string& what);

// 4-bit bottom-up BMP with a 16-entry colour table.
std::string EncodeBmp4(int width, int height, const std::string& indexes, const Rgb palette[16]);

// The picture in real colours, for the contact sheet.
QImage InkToColour(const QImage& canvas, const Rgb palette[16]);

}  // namespace forge
