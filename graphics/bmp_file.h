// BMP files: reading the usual uncompressed and RLE formats into surfaces,
// writing 1-, 4- and 24-bit files.
//
// Reading gives:
//  - 1 bit with a black/white colour table: a Mask surface (1 white);
//    other 1-bit colour tables: a Pal4 surface with that table.
//  - 4 bit (uncompressed or RLE4): a Pal4 surface with the file's palette
//    and indexes.
//  - 8 bit (uncompressed or RLE8): a Pal4 surface when every index is below
//    16 (palette entries 0..15 kept), otherwise a Colour surface.
//  - 16, 24 and 32 bit: a Colour surface.
// Bottom-up and top-down files are both read. Truncated or absurd files give
// an error text and never read out of bounds. The header, the palette and
// the presence of the pixel data are checked before anything the size of
// the picture is allocated; pictures over kMaxPicturePixels, or with a side
// over Surface::kMaxSide, are refused.
//
// Writing: Pal4 as a 4-bit file with its 16-entry palette and indexes;
// Mask and Mono as a 1-bit file (black, white); Colour as 24 bit.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/raster.h"

namespace kelvane {

class FileSystem;

// No data file of the game comes near this (the largest, a full snapshot
// album, is 148 x 10,800); a forged header claiming more is refused before
// it can cost gigabytes.
inline constexpr int64_t kMaxPicturePixels = 4096 * 4096;

// The least size a picture file must have to hold every cell the game cuts
// out of it. Larger pictures are accepted; their extra area is never drawn.
struct PictureSize {
  int width = 0;
  int height = 0;
};
// "" when width x height holds want, else the reason.
std::string CheckPictureSize(int width, int height, const PictureSize& want);

// The picture's size from the header alone, after the same checks as
// DecodeBmp makes before it allocates. Returns "" or an error text.
std::string ReadBmpSize(const std::string& data, int& width, int& height);

// Decodes the bytes of a BMP file into out (recreated; the canvas state is
// kept). Returns "" on success, else an error text (out is then unchanged).
std::string DecodeBmp(const std::string& data, Surface& out);

// The bytes of a BMP file holding s ("" for an empty surface).
std::string EncodeBmp(const Surface& s);
// Colour surfaces as a 4-bit file: each pixel's nearest palette entry.
std::string EncodeBmp4(const Surface& s, const Palette16& palette);

// Through the platform's files. LoadBmp returns "" or an error text
// (including a missing file); SaveBmp returns whether the write worked.
std::string LoadBmp(FileSystem& files, const std::string& path, Surface& out);
// The same for a picture that must have a least size: a smaller file is
// refused from its header, before it is decoded.
std::string LoadBmp(FileSystem& files, const std::string& path, Surface& out,
                    const PictureSize& want);
bool SaveBmp(FileSystem& files, const std::string& path, const Surface& s);

}  // namespace kelvane
