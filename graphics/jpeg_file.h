// JPEG pictures (the wallpapers and their previews), decoded with libjpeg.
// A bad file never ends the program: the caller gets a text naming the file
// and the reason, and decides how to tell the user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

class FileSystem;

// Pictures larger than this on either side are refused before decoding, so a
// forged header cannot make us allocate gigabytes.
inline constexpr int kMaxJpegSide = 8192;
// The same limit on the whole picture as for BMP files (4096 x 4096).
inline constexpr uint64_t kMaxJpegPixels = 4096ull * 4096ull;

struct JpegPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom, stride = width
};

struct JpegResult {
  bool ok = false;
  JpegPicture picture;
  std::string error;  // "<name>: <reason>" when !ok
};

// Decodes the bytes of a JPEG file; name is only used in the error text.
JpegResult DecodeJpeg(const std::string& bytes, const std::string& name);

// Reads path through the game's file system and decodes it.
JpegResult ReadJpegFile(FileSystem& files, const std::string& path);

// Baseline JPEG of 0x00RRGGBB pixels (stride = width), quality 1..100; empty
// on failure. Used by the data forge and the tests to make wallpapers.
std::string EncodeJpeg(const uint32_t* pixels, int width, int height, int quality = 90);

}  // namespace kelvane
