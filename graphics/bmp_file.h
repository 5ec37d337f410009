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
// an error text and never read out of bounds; sides over Surface::kMaxSide
// are refused.
//
// Writing: Pal4 as a 4-bit file with its 16-entry palette and indexes;
// Mask and Mono as a 1-bit file (black, white); Colour as 24 bit.
#pragma once

#include <string>

#include "graphics/raster.h"

namespace kelvane {

class FileSystem;

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
bool SaveBmp(FileSystem& files, const std::string& path, const Surface& s);

}  // namespace kelvane
