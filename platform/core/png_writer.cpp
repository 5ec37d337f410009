#include "platform/core/png_writer.h"

#include <zlib.h>

#include <cstdio>
#include <vector>

namespace kelvane {
namespace {

void Put32(std::string& s, uint32_t v) {
  s += static_cast<char>(v >> 24);
  s += static_cast<char>(v >> 16);
  s += static_cast<char>(v >> 8);
  s += static_cast<char>(v);
}

void Chunk(std::string& out, const char* type, const std::string& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  Put32(out, static_cast<uint32_t>(
                 crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

}  // namespace

std::string EncodePng(const FrameView& f) {
  if (!f.pixels || f.width <= 0 || f.height <= 0) return "";
  std::vector<unsigned char> raw;
  raw.reserve(static_cast<size_t>(f.height) * (1 + 3 * static_cast<size_t>(f.width)));
  for (int y = 0; y < f.height; ++y) {
    raw.push_back(0);  // no filter
    const uint32_t* row = f.pixels + static_cast<size_t>(y) * f.stride;
    for (int x = 0; x < f.width; ++x) {
      raw.push_back(static_cast<unsigned char>(row[x] >> 16));
      raw.push_back(static_cast<unsigned char>(row[x] >> 8));
      raw.push_back(static_cast<unsigned char>(row[x]));
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<unsigned char> packed(size);
  if (compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
    return "";
  std::string out = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  Put32(ihdr, static_cast<uint32_t>(f.width));
  Put32(ihdr, static_cast<uint32_t>(f.height));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  Chunk(out, "IHDR", ihdr);
  Chunk(out, "IDAT", std::string(reinterpret_cast<char*>(packed.data()), size));
  Chunk(out, "IEND", "");
  return out;
}

bool WritePng(const std::string& path, const FrameView& frame) {
  std::string png = EncodePng(frame);
  if (png.empty()) return false;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace kelvane
