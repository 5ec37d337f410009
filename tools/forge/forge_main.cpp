// kelvane-forge --data DIR --out DIR [--contact-sheet FILE.png]
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

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
    if (a == "--data") next(dataDir);
    else if (a == "--out") next(outDir);
    else if (a == "--contact-sheet") next(sheetPath);
    else if (a == "--only") next(only);
    else {
      std::fprintf(stderr, "usage: kelvane-forge --data DIR --out DIR [--contact-sheet FILE.png] [--only WRITER]\n");
      return 2;
    }
  }
  if (dataDir.empty() || outDir.empty()) {
    std::fprintf(stderr, "usage: kelvane-forge --data DIR --out DIR [--contact-sheet FILE.png] [--only WRITER]\n");
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
