// The raster core: off-screen surfaces with a GDI-style canvas, and the one
// stretching rectangle copy with the three raster operations the game uses.
//
// Surfaces come in four pixel formats:
//  - Colour: 32-bit 0x00RRGGBB pixels (the "device format").
//  - Mask: 1 bit per pixel, a 1-bit DIB with a black/white colour table
//    (stored a byte per pixel, 0 or 1; 1 is white).
//  - Mono: a monochrome device-format bitmap: the same bits, but when it is
//    copied onto a colour surface, 1 takes the destination's brush colour and
//    0 the destination's font colour.
//  - Pal4: a 4-bit palettized picture: a 16-entry palette and an index per
//    pixel (stored a byte per pixel). Replacing the palette keeps the indexes.
//
// Conversions in CopyRect (platform-notes "Canvas copies"):
//  - colour (or Pal4) source onto a Mask/Mono destination: a source pixel
//    equal to the SOURCE canvas's brush colour gives 1 (white), anything
//    else 0.
//  - Mask source onto a colour destination: 1 white 0xFFFFFF, 0 black.
//  - Mono source onto a colour destination: 1 the DESTINATION's brush colour,
//    0 the destination's font colour.
//  - SRCAND / SRCPAINT act bitwise on the pixel values after conversion
//    (for Mask/Mono destinations on the bits, white = 1). A Pal4 destination
//    computes the colour result and stores the palette index of that colour
//    (exact match, else the nearest entry).
//
// Rectangles are (left, top, right, bottom), right and bottom exclusive. A
// rectangle with left > right is mirrored: it covers the columns right+1 ..
// left, taken from left to right of the other rectangle as left, left-1, ...
// (rows likewise). Sizes that differ stretch or shrink by nearest pixel
// (sample at the centre of the destination pixel). Every copy is clipped to
// both surfaces: it never reads or writes outside either; destination pixels
// whose source pixel lies outside the source surface are left unchanged.
// Copying a surface onto itself is allowed (overlap is handled).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace kelvane {

// Raster operations by their Windows names and values.
constexpr uint32_t SRCCOPY = 0x00CC0020;
constexpr uint32_t SRCAND = 0x008800C6;
constexpr uint32_t SRCPAINT = 0x00EE0086;

// Colours as 0x00RRGGBB.
namespace colour {
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kSilver = 0xC0C0C0;
}  // namespace colour

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  // From (left, top, width, height).
  static constexpr Rect XYWH(int32_t x, int32_t y, int32_t w, int32_t h) { return {x, y, x + w, y + h}; }
  constexpr int32_t Width() const { return right - left; }
  constexpr int32_t Height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

enum class PixelFormat : uint8_t { Colour, Mask, Mono, Pal4 };
enum class BrushStyle : uint8_t { Solid, Clear };
enum class PenStyle : uint8_t { Solid, Clear };

using Palette16 = std::array<uint32_t, 16>;

// The canvas state of one surface (TCanvas): brush, pen and font colours,
// the copy mode of its rectangle copies and the brush style.
struct Canvas {
  uint32_t brushColour = colour::kWhite;
  uint32_t penColour = colour::kBlack;
  uint32_t fontColour = colour::kBlack;
  uint32_t copyMode = SRCCOPY;
  BrushStyle brushStyle = BrushStyle::Solid;
  PenStyle penStyle = PenStyle::Solid;
  bool operator==(const Canvas&) const = default;
};

class Surface {
 public:
  Surface() = default;
  Surface(int width, int height, PixelFormat format = PixelFormat::Colour) { Create(width, height, format); }

  // (Re)creates the surface with every pixel 0 (black; index 0 for Pal4,
  // whose palette becomes the 16-colour VGA palette unless given). Keeps
  // the canvas state. Sizes are clamped to 0 .. kMaxSide.
  void Create(int width, int height, PixelFormat format = PixelFormat::Colour);
  void CreatePal4(int width, int height, const Palette16& palette);
  // Frees the pixels (an empty surface: every copy from or onto it is a
  // no-op).
  void Clear();
  // Changes the size, keeping the pixels of the common top-left area; new
  // pixels are 0.
  void SetSize(int width, int height);
  // Switches the pixel format, converting the content: Mask <-> Mono keep
  // the bits; Colour/Pal4 -> Mask/Mono: 1 where the colour equals this
  // canvas's brush colour; Mask/Mono -> Colour: 1 white, 0 black; Colour ->
  // Pal4: nearest entry of the current palette; Pal4 -> Colour: the palette.
  void SetFormat(PixelFormat format);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  PixelFormat Format() const { return format_; }
  bool IsColour() const { return format_ == PixelFormat::Colour; }
  // Mask or Mono: one bit per pixel.
  bool IsBits() const { return format_ == PixelFormat::Mask || format_ == PixelFormat::Mono; }
  Rect Bounds() const { return {0, 0, width_, height_}; }

  // Pal4 only (others ignore it / return the VGA palette): the palette.
  // SetPalette keeps every pixel's index.
  const Palette16& Palette() const { return palette_; }
  void SetPalette(const Palette16& palette) {
    palette_ = palette;
    TouchAll();
  }

  // Row access. Colour: 32-bit pixels. Mask/Mono: bytes 0/1. Pal4: bytes
  // 0..15 (palette indexes). A row taken for writing counts as changed.
  uint32_t* ColourRow(int y) { return ColourRowToWrite(y, 0, width_); }
  const uint32_t* ColourRow(int y) const { return colour_.data() + static_cast<size_t>(y) * width_; }
  uint8_t* ByteRow(int y) { return ByteRowToWrite(y, 0, width_); }
  const uint8_t* ByteRow(int y) const { return bytes_.data() + static_cast<size_t>(y) * width_; }
  // The start of row y, for writing only its pixels x0 .. x1 - 1.
  uint32_t* ColourRowToWrite(int y, int x0, int x1) {
    Touch(y, x0, x1);
    return colour_.data() + static_cast<size_t>(y) * width_;
  }
  uint8_t* ByteRowToWrite(int y, int x0, int x1) {
    Touch(y, x0, x1);
    return bytes_.data() + static_cast<size_t>(y) * width_;
  }

  // Change stamps: every write gives the surface a stamp never handed out
  // before (by any surface), so an unchanged stamp means unchanged pixels,
  // also in a copy of the surface. Whoever keeps something made from the
  // pixels can tell whether it still holds without comparing them.
  uint64_t Stamp() const { return stamp_.value; }
  // With block stamps kept, each row's blocks of kStampBlock pixels also
  // carry the stamp of their last write: rows of BlocksPerRow() stamps.
  static constexpr int kStampBlock = 32;
  void KeepBlockStamps();
  const uint64_t* BlockStamps() const { return blocks_.empty() ? nullptr : blocks_.data(); }
  int BlocksPerRow() const { return (width_ + kStampBlock - 1) / kStampBlock; }

  // One pixel as a colour (Mask/Mono: white or black; Pal4: its palette
  // colour); 0 outside. For tests and tools, not for drawing loops.
  uint32_t PixelColour(int x, int y) const;
  // The raw value: colour, bit (0/1) or palette index; 0 outside.
  uint32_t RawPixel(int x, int y) const;
  void SetRawPixel(int x, int y, uint32_t value);

  // The pixels as handed to the window (Colour surfaces only; an empty view
  // otherwise).
  FrameView View() const;

  Canvas canvas;

  static constexpr int kMaxSide = 16384;

 private:
  // A moved-from surface no longer holds the pixels its stamp stood for.
  struct StampValue {
    uint64_t value = NewStamp();
    StampValue() = default;
    StampValue(const StampValue&) = default;
    StampValue& operator=(const StampValue&) = default;
    StampValue(StampValue&& o) noexcept : value(o.value) { o.value = NewStamp(); }
    StampValue& operator=(StampValue&& o) noexcept {
      value = o.value;
      o.value = NewStamp();
      return *this;
    }
  };
  static uint64_t NewStamp();
  void Touch(int y, int x0, int x1);
  void TouchAll();

  StampValue stamp_;
  bool keepBlocks_ = false;
  std::vector<uint64_t> blocks_;  // with keepBlocks_: rows of BlocksPerRow()
  int width_ = 0;
  int height_ = 0;
  PixelFormat format_ = PixelFormat::Colour;
  std::vector<uint32_t> colour_;  // Colour
  std::vector<uint8_t> bytes_;    // Mask, Mono, Pal4
  Palette16 palette_ = VgaPalette();

 public:
  static Palette16 VgaPalette();
};

// TCanvas.CopyRect: copies srcRect of src onto destRect of dest with dest's
// copy mode (SRCCOPY, SRCAND or SRCPAINT; any other value acts as SRCCOPY).
// src and dest may be the same surface.
void CopyRect(Surface& dest, const Rect& destRect, const Surface& src, const Rect& srcRect);

// The stage laid over a picture in one pass: destRect of dest becomes
// (picture AND mask) OR colour, where mask and colour are srcRect of two
// layers of the same size (a Mask and a Colour surface) stretched onto
// destRect, exactly as CopyRect with SRCAND of the mask and then SRCPAINT of
// the colour layer would make it (no colour layer: the AND alone). The
// picture is what destRect holds, or `base` when given: rows of `stride`
// pixels covering `baseArea`, which must be destRect clipped to dest.
// Returns false, drawing nothing, for any other kind of copy (mirrored, a
// source reaching off the layers, other formats); the caller then copies
// the usual way.
struct PixelRows {
  const uint32_t* pixels = nullptr;
  size_t stride = 0;
  Rect area;
};
bool CompositeLayers(Surface& dest, const Rect& destRect, const Surface& mask,
                     const Surface* colour, const Rect& srcRect, const PixelRows* base = nullptr);

// Fills r with the brush colour (ignores the brush style; like FillRect).
void FillRect(Surface& s, const Rect& r);
// Rectangle: the outline with the pen, the inside with the brush (nothing
// inside when the brush style is Clear). The box is r with its right column
// and bottom row excluded.
void DrawRectangle(Surface& s, const Rect& r);
// Ellipse inside r (right column and bottom row excluded), outline with the
// pen and inside with the brush.
void DrawEllipse(Surface& s, const Rect& r);

// The bit a colour gives when drawn with the pen or brush on a Mask/Mono
// surface: white-ish (average channel >= 128) is 1.
uint8_t ColourToBit(uint32_t c);
// Index of the palette entry equal to c, else the nearest one.
uint8_t NearestIndex(const Palette16& palette, uint32_t c);

}  // namespace kelvane
