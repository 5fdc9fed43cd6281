// TBitmap: a picture of RGB pixels, loaded from a module's bitmap resource. It reads the one
// format the packages ship: uncompressed, bottom-up, 24 bits per pixel (BMP with a
// BITMAPINFOHEADER or a later version of it). Anything else is refused with EInvalidGraphic
// naming where the picture came from and what is wrong with it.
#pragma once

#include "rtl/Exception.h"
#include "rtl/Object.h"
#include "rtl/Resources.h"
#include "vcl/Graphics.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

HOST_EXCEPTION_CLASS(EInvalidGraphic, Exception);

class TBitmap : public TPersistent {
public:
  TBitmap() = default;
  HOST_CLASS_INFO;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  // Resizes to AWidth x AHeight; every pixel becomes white.
  void SetSize(int AWidth, int AHeight);

  // Loads the bitmap resource ResName (ASCII case ignored) of the module Instance. A missing
  // resource raises EResNotFound, a picture in another format EInvalidGraphic. On failure the
  // bitmap keeps what it held.
  void LoadFromResourceName(HINSTANCE Instance, std::u16string_view ResName);
  // Decodes BMP file bytes; Source names them in messages ("bitmap resource X", a file name).
  void LoadFromBytes(std::span<const uint8_t> Bytes, std::u16string_view Source);
  // The picture as BMP file bytes in the format LoadFromBytes reads.
  std::vector<uint8_t> SaveToBytes() const;

  // The colour of one pixel (0x00BBGGRR), x from the left, y from the top, as a canvas's
  // Pixels reads it. A point outside the picture raises EInvalidGraphic.
  TColor Pixels(int X, int Y) const;
  void SetPixels(int X, int Y, TColor Color);

private:
  size_t Offset(int X, int Y) const;

  int FWidth = 0;
  int FHeight = 0;
  std::vector<TColor> FPixels; // row by row from the top
};
