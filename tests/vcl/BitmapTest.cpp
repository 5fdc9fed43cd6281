#include "vcl/Bitmap.h"

#include "rtl/Resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// A BMP written by hand: 24-bit, BITMAPINFOHEADER, rows given top first.
std::vector<uint8_t> Bmp(int Width, int Height, const std::vector<std::vector<TColor>>& TopDown,
                         uint16_t Bits = 24, uint32_t Compression = 0) {
  const size_t Stride = (static_cast<size_t>(Width) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> B;
  auto P16 = [&](uint16_t V) {
    B.push_back(static_cast<uint8_t>(V));
    B.push_back(static_cast<uint8_t>(V >> 8));
  };
  auto P32 = [&](uint32_t V) {
    for (int I = 0; I < 4; ++I)
      B.push_back(static_cast<uint8_t>(V >> (8 * I)));
  };
  B.push_back('B');
  B.push_back('M');
  P32(static_cast<uint32_t>(54 + Stride * static_cast<size_t>(std::abs(Height))));
  P32(0);
  P32(54);
  P32(40);
  P32(static_cast<uint32_t>(Width));
  P32(static_cast<uint32_t>(Height));
  P16(1);
  P16(Bits);
  P32(Compression);
  P32(0);
  P32(0);
  P32(0);
  P32(0);
  P32(0);
  for (int Row = static_cast<int>(TopDown.size()) - 1; Row >= 0; --Row) {
    for (TColor C : TopDown[static_cast<size_t>(Row)]) {
      B.push_back(GetBValue(C));
      B.push_back(GetGValue(C));
      B.push_back(GetRValue(C));
    }
    for (size_t Pad = static_cast<size_t>(Width) * 3; Pad < Stride; ++Pad)
      B.push_back(0xEE); // padding is never read as a pixel
  }
  return B;
}

std::string LoadError(const std::vector<uint8_t>& Bytes) {
  TBitmap B;
  try {
    B.LoadFromBytes(Bytes, u"test.bmp");
  } catch (const EInvalidGraphic& E) {
    return UTF8Encode(E.Message());
  }
  return "";
}

TEST(Bitmap, RowsStoredBottomUpAreReadTopDownAndRowPaddingIsSkipped) {
  const TColor R = RGB(255, 0, 0), G = RGB(0, 255, 0), K = RGB(1, 2, 3);
  // Width 5: 15 bytes of pixels and one byte of padding per row.
  const std::vector<std::vector<TColor>> Rows{{R, G, K, R, G}, {K, K, K, K, R}, {G, G, G, G, G}};
  TBitmap B;
  B.LoadFromBytes(Bmp(5, 3, Rows), u"test.bmp");
  ASSERT_EQ(B.Width(), 5);
  ASSERT_EQ(B.Height(), 3);
  for (int Y = 0; Y < 3; ++Y)
    for (int X = 0; X < 5; ++X)
      EXPECT_EQ(B.Pixels(X, Y), Rows[static_cast<size_t>(Y)][static_cast<size_t>(X)])
          << X << "," << Y;
  // What it writes, it reads back alike.
  TBitmap Copy;
  Copy.LoadFromBytes(B.SaveToBytes(), u"copy");
  for (int Y = 0; Y < 3; ++Y)
    for (int X = 0; X < 5; ++X)
      EXPECT_EQ(Copy.Pixels(X, Y), B.Pixels(X, Y));
}

TEST(Bitmap, AnythingButUncompressedBottomUp24BitIsRefusedByName) {
  const std::vector<std::vector<TColor>> One{{clBlack}};
  EXPECT_EQ(LoadError(Bmp(1, 1, One, 32)),
            "test.bmp: 32 bits per pixel are not supported (only 24)");
  EXPECT_EQ(LoadError(Bmp(1, 1, One, 8)), "test.bmp: 8 bits per pixel are not supported (only 24)");
  EXPECT_EQ(LoadError(Bmp(1, 1, One, 24, 1)),
            "test.bmp: compressed bitmaps are not supported (compression 1)");
  EXPECT_EQ(LoadError(Bmp(1, -1, One)), "test.bmp: top-down bitmaps are not supported (only "
                                        "bottom-up)");
  EXPECT_EQ(LoadError(Bmp(0, 1, {{}})), "test.bmp: invalid size 0 x 1");

  std::vector<uint8_t> NotBmp = Bmp(1, 1, One);
  NotBmp[0] = 'P';
  EXPECT_EQ(LoadError(NotBmp), "test.bmp: not a bitmap (no BM signature)");
  std::vector<uint8_t> Os2 = Bmp(1, 1, One);
  Os2[14] = 12;
  EXPECT_EQ(LoadError(Os2), "test.bmp: header of 12 bytes is not supported (OS/2 bitmap)");
  std::vector<uint8_t> Short = Bmp(4, 4, {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
  Short.resize(Short.size() - 1);
  EXPECT_EQ(LoadError(Short), "test.bmp: pixel data is cut short (102 bytes needed, 101 present)");
  EXPECT_EQ(LoadError(std::vector<uint8_t>(20, 0)), "test.bmp: too short to be a bitmap (20 "
                                                    "bytes)");
  // A size whose pixel data would overflow the arithmetic is refused, not allocated.
  std::vector<uint8_t> Huge = Bmp(1, 1, One);
  Huge[18] = Huge[19] = Huge[20] = 0xFF;
  Huge[21] = 0x7F;
  EXPECT_EQ(LoadError(Huge), "test.bmp: invalid size 2147483647 x 1");
}

TEST(Bitmap, AFailedLoadKeepsThePictureAndPixelsOutsideAreErrors) {
  TBitmap B;
  B.LoadFromBytes(Bmp(2, 1, {{clWhite, clBlack}}), u"first");
  EXPECT_THROW(B.LoadFromBytes(Bmp(1, 1, {{clBlack}}, 16), u"second"), EInvalidGraphic);
  EXPECT_EQ(B.Width(), 2);
  EXPECT_EQ(B.Pixels(1, 0), clBlack);
  EXPECT_THROW(B.Pixels(2, 0), EInvalidGraphic);
  EXPECT_THROW(B.Pixels(0, -1), EInvalidGraphic);
  EXPECT_THROW(B.SetPixels(0, 0, clBtnFace), EInvalidGraphic);
}

TEST(Bitmap, TheAddInGlyphResourceIsA16By16PictureOnItsBackground) {
  TBitmap B;
  B.LoadFromResourceName(HInstance(), u"orvik_palette_menu");
  EXPECT_EQ(B.Width(), 16);
  EXPECT_EQ(B.Height(), 16);
  EXPECT_EQ(B.Pixels(0, 15), RGB(236, 233, 216));
  // It is a picture, not a plain background.
  int Drawn = 0;
  for (int Y = 0; Y < 16; ++Y)
    for (int X = 0; X < 16; ++X)
      Drawn += B.Pixels(X, Y) != RGB(236, 233, 216);
  EXPECT_GT(Drawn, 64);
  EXPECT_THROW(B.LoadFromResourceName(HInstance(), u"NO_SUCH_GLYPH"), EResNotFound);
  EXPECT_EQ(B.Width(), 16);
}

} // namespace
