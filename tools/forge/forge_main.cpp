// kelvane-forge --data DIR --out DIR [--contact-sheet FILE.png]
// kelvane-forge --icons MAIN_PICTURE.bmp DIR [SIZE...]
#include <QGuiApplication>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "graphics/atlas.h"
#include "tools/forge/forge.h"

namespace forge {
namespace {

std::map<std::string, Writer>& Writers() {
  static std::map<std::string, Writer> writers;
  return writers;
}

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

// All pictures on one labelled sheet, for review.
QImage ContactSheet(const std::vector<std::pair<std::string, QImage>>& pictures) {
  const int columnWidth = 660, labelHeight = 16, gap = 8;
  int columns = 3, x = 0, y = 0, rowHeight = 0, column = 0, width = columns * columnWidth;
  std::vector<QPoint> places;
  for (const auto& [label, image] : pictures) {
    QSize s = image.size().boundedTo(QSize(columnWidth - gap, 100000));
    if (column == columns) {
      column = 0;
      x = 0;
      y += rowHeight + gap;
      rowHeight = 0;
    }
    places.push_back(QPoint(x, y));
    rowHeight = std::max(rowHeight, s.height() + labelHeight);
    x += columnWidth;
    ++column;
  }
  QImage sheet(width, std::max(1, y + rowHeight + gap), QImage::Format_RGB32);
  sheet.fill(QColor(40, 40, 48));
  QPainter p(&sheet);
  p.setPen(Qt::white);
  for (size_t i = 0; i < pictures.size(); ++i) {
    const auto& [label, image] = pictures[i];
    p.drawText(places[i] + QPoint(2, 12), QString::fromStdString(label));
    QImage shown = image.convertToFormat(QImage::Format_RGB32);
    if (shown.width() > columnWidth - gap) shown = shown.scaledToWidth(columnWidth - gap);
    p.drawImage(places[i] + QPoint(0, labelHeight), shown);
  }
  return sheet;
}

// The desktop icons: the opening logo of the main picture on a square,
// its black transparent as it is in the game. The pixels are first
// enlarged by a whole factor so that the final smoothing keeps them crisp.
int WriteIcons(const std::string& mainPicture, const std::string& outDir, std::vector<int> sizes) {
  QImage sheet(QString::fromStdString(mainPicture));
  const kelvane::Rect r = kelvane::atlas::At(kelvane::atlas::RegionId::kLogo);
  if (sheet.isNull() || sheet.width() < r.right || sheet.height() < r.bottom) {
    std::fprintf(stderr, "forge: %s: not the main picture\n", mainPicture.c_str());
    return 1;
  }
  QImage logo =
      sheet.copy(r.left, r.top, r.Width(), r.Height()).convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < logo.height(); ++y)
    for (int x = 0; x < logo.width(); ++x)
      if ((logo.pixel(x, y) & 0xFFFFFFu) == 0) logo.setPixel(x, y, 0);
  const int side = std::max(logo.width(), logo.height());
  QImage square(side, side, QImage::Format_ARGB32);
  square.fill(Qt::transparent);
  QPainter(&square).drawImage((side - logo.width()) / 2, (side - logo.height()) / 2, logo);
  // The desktop's sizes unless others are asked for (the page wants 192 and 512).
  if (sizes.empty()) sizes = {16, 22, 24, 32, 48, 64, 128, 256};
  for (int size : sizes) {
    const int k = std::max(1, static_cast<int>(std::ceil(static_cast<double>(size) / side)));
    QImage icon = square.scaled(side * k, side * k, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                      .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const std::string dir = WithSlash(outDir) + "hicolor/" + std::to_string(size) + "x" +
                            std::to_string(size) + "/apps";
    std::filesystem::create_directories(dir);
    if (!icon.save(QString::fromStdString(dir + "/kelvane.png"), "PNG")) {
      std::fprintf(stderr, "forge: cannot write %s/kelvane.png\n", dir.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace

bool RegisterWriter(const std::string& name, Writer writer) {
  Writers()[name] = std::move(writer);
  return true;
}

void Forge::WriteFile(const std::string& name, const std::string& bytes) {
  std::string path = outDir_ + name;
  {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::ostringstream old;
      old << in.rdbuf();
      if (old.str() == bytes) return;
    }
  }
  std::string temp = path + ".forge-tmp";
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw ForgeError{"cannot write " + temp};
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) throw ForgeError{"cannot write " + path + ": " + ec.message()};
}

void Forge::AddToSheet(const std::string& label, const QImage& image) {
  sheet_.emplace_back(label, image);
}

}  // namespace forge

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "--icons") {
    std::vector<int> sizes;
    for (int i = 4; i < argc; ++i) {
      const int size = std::atoi(argv[i]);
      if (size < 1 || size > 4096) {
        std::fprintf(stderr, "forge: %s is no icon size\n", argv[i]);
        return 2;
      }
      sizes.push_back(size);
    }
    QGuiApplication app(argc, argv);
    return forge::WriteIcons(argv[2], argv[3], sizes);
  }
  std::string dataDir, outDir, sheetPath, only;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&](std::string& v) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "forge: %s needs a value\n", a.c_str());
        std::exit(2);
      }
      v = argv[++i];
    };
    if (a == "--data")
      next(dataDir);
    else if (a == "--out")
      next(outDir);
    else if (a == "--contact-sheet")
      next(sheetPath);
    else if (a == "--only")
      next(only);
    else {
      std::fprintf(
          stderr,
          "usage: kelvane-forge --data DIR --out DIR [--contact-sheet FILE.png] [--only WRITER]\n");
      return 2;
    }
  }
  if (dataDir.empty() || outDir.empty()) {
    std::fprintf(
        stderr,
        "usage: kelvane-forge --data DIR --out DIR [--contact-sheet FILE.png] [--only WRITER]\n");
    return 2;
  }
  QGuiApplication app(argc, argv);  // fonts for QPainter text
  forge::Forge f(forge::WithSlash(dataDir), forge::WithSlash(outDir));
  std::filesystem::create_directories(outDir);
  try {
    for (auto& [name, writer] : forge::Writers()) {
      if (!only.empty() && name != only) continue;
      writer(f);
    }
    if (!sheetPath.empty()) {
      QImage sheet = forge::ContactSheet(f.sheet());
      if (!sheet.save(QString::fromStdString(sheetPath), "PNG"))
        throw forge::ForgeError{"cannot write " + sheetPath};
      std::printf("contact sheet: %s (%zu pictures)\n", sheetPath.c_str(), f.sheet().size());
    }
  } catch (const forge::ForgeError& e) {
    std::fprintf(stderr, "forge: %s\n", e.message.c_str());
    return 1;
  }
  return 0;
}
