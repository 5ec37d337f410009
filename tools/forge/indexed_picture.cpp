#include "tools/forge/indexed_picture.h"

#include "tools/forge/forge.h"

namespace forge {
namespace {

void PutLe(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

QImage NewInkCanvas(int width, int height) {
  QImage canvas(width, height, QImage::Format_RGB32);
  canvas.fill(Ink(kInkBlack));
  return canvas;
}

std::string InkIndexes(const QImage& canvas, const std::string& what) {
  std::string indexes(static_cast<size_t>(canvas.width()) * canvas.height(), '\0');
  for (int y = 0; y < canvas.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
    for (int x = 0; x < canvas.width(); ++x) {
      int r = qRed(line[x]);
      if (r > 15 || qGreen(line[x]) != r || qBlue(line[x]) != r)
        throw ForgeError{what + ": pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                         ") is not a palette ink"};
      indexes[static_cast<size_t>(y) * canvas.width() + x] = static_cast<char>(r);
    }
  }
  return indexes;
}

std::string EncodeBmp4(int width, int height, const std::string& indexes, const Rgb palette[16]) {
  const int rowBytes = ((width + 7) / 8) * 4;  // two pixels a byte, rows padded to 4 bytes
  const uint32_t headerBytes = 14 + 40 + 16 * 4;
  const uint32_t imageBytes = static_cast<uint32_t>(rowBytes) * height;
  std::string out;
  out.reserve(headerBytes + imageBytes);
  out += "BM";
  PutLe(out, headerBytes + imageBytes, 4);
  PutLe(out, 0, 4);
  PutLe(out, headerBytes, 4);
  PutLe(out, 40, 4);
  PutLe(out, static_cast<uint32_t>(width), 4);
  PutLe(out, static_cast<uint32_t>(height), 4);
  PutLe(out, 1, 2);  // planes
  PutLe(out, 4, 2);  // bits per pixel
  PutLe(out, 0, 4);  // no compression
  PutLe(out, imageBytes, 4);
  PutLe(out, 2835, 4);  // 72 dpi
  PutLe(out, 2835, 4);
  PutLe(out, 16, 4);  // colours used
  PutLe(out, 0, 4);
  for (int i = 0; i < 16; ++i) {
    out.push_back(static_cast<char>(palette[i].b));
    out.push_back(static_cast<char>(palette[i].g));
    out.push_back(static_cast<char>(palette[i].r));
    out.push_back('\0');
  }
  for (int y = height - 1; y >= 0; --y) {
    std::string row(static_cast<size_t>(rowBytes), '\0');
    for (int x = 0; x < width; ++x) {
      uint8_t v = static_cast<uint8_t>(indexes[static_cast<size_t>(y) * width + x]) & 0x0F;
      row[x / 2] = static_cast<char>(row[x / 2] | (x % 2 == 0 ? v << 4 : v));
    }
    out += row;
  }
  return out;
}

QImage InkToColour(const QImage& canvas, const Rgb palette[16]) {
  QImage out(canvas.size(), QImage::Format_RGB32);
  for (int y = 0; y < canvas.height(); ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
    QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < canvas.width(); ++x) {
      const Rgb& c = palette[qRed(in[x]) & 0x0F];
      line[x] = qRgb(c.r, c.g, c.b);
    }
  }
  return out;
}

}  // namespace forge
