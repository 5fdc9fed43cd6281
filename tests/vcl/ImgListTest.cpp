#include "vcl/ImgList.h"

#include "vcl/Bitmap.h"

#include <gtest/gtest.h>

namespace {

constexpr TColor Back = RGB(236, 233, 216);
constexpr TColor Ink = RGB(10, 20, 30);

// A Width x Height bitmap on Back with an Ink diagonal.
TOwned<TBitmap> Picture(int Width, int Height) {
  TOwned<TBitmap> B(new TBitmap);
  B->SetSize(Width, Height);
  for (int Y = 0; Y < Height; ++Y)
    for (int X = 0; X < Width; ++X)
      B->SetPixels(X, Y, X % Height == Y ? Ink : Back);
  return B;
}

TEST(ImageList, AddMaskedKeepsEachImageWithItsMask) {
  TImageList List(nullptr);
  auto Glyph = Picture(16, 16);
  EXPECT_EQ(List.AddMasked(Glyph.get(), Back), 0);
  EXPECT_EQ(List.AddMasked(Glyph.get(), Ink), 1);
  ASSERT_EQ(List.Count(), 2);
  EXPECT_TRUE(List.IsTransparent(0, 0, 15));
  EXPECT_FALSE(List.IsTransparent(0, 3, 3));
  EXPECT_EQ(List.Pixel(0, 3, 3), Ink);
  // The second image has the opposite mask over the same picture.
  EXPECT_FALSE(List.IsTransparent(1, 0, 15));
  EXPECT_TRUE(List.IsTransparent(1, 3, 3));
  EXPECT_EQ(List.Pixel(1, 0, 15), Back);
}

TEST(ImageList, DefaultMaskColourIsTheBottomLeftPixelAndNoneMasksNothing) {
  TImageList List(nullptr);
  auto Glyph = Picture(16, 16);
  Glyph->SetPixels(0, 15, RGB(1, 1, 1));
  List.AddMasked(Glyph.get(), clDefault);
  List.AddMasked(Glyph.get(), clNone);
  EXPECT_TRUE(List.IsTransparent(0, 0, 15));
  EXPECT_FALSE(List.IsTransparent(0, 5, 0)); // background, but not the bottom-left colour
  for (int Y = 0; Y < 16; ++Y)
    for (int X = 0; X < 16; ++X)
      ASSERT_FALSE(List.IsTransparent(1, X, Y));
}

TEST(ImageList, AWideBitmapAddsOneImagePerSliceAndAMisfitAddsNothing) {
  TImageList List(nullptr);
  auto Strip = Picture(48, 16);
  EXPECT_EQ(List.AddMasked(Strip.get(), Back), 0);
  EXPECT_EQ(List.Count(), 3);
  // Slice 1 starts at column 16 of the strip.
  EXPECT_EQ(List.Pixel(1, 0, 0), Strip->Pixels(16, 0));

  auto Tall = Picture(16, 20);
  auto Odd = Picture(20, 16);
  EXPECT_THROW(List.AddMasked(Tall.get(), Back), EInvalidOperation);
  EXPECT_THROW(List.AddMasked(Odd.get(), Back), EInvalidOperation);
  EXPECT_THROW(List.AddMasked(nullptr, Back), EInvalidOperation);
  EXPECT_EQ(List.Count(), 3);
  EXPECT_THROW(List.SetWidth(32), EInvalidOperation);
  EXPECT_THROW(List.Pixel(3, 0, 0), EListError);
}

TEST(ImageList, AMaskBitmapMakesItsWhitePixelsTransparent) {
  TImageList List(nullptr);
  auto Glyph = Picture(16, 16);
  TBitmap Mask;
  Mask.SetSize(16, 16); // all white
  Mask.SetPixels(2, 2, clBlack);
  List.Add(Glyph.get(), &Mask);
  List.Add(Glyph.get(), nullptr);
  EXPECT_TRUE(List.IsTransparent(0, 0, 0));
  EXPECT_FALSE(List.IsTransparent(0, 2, 2));
  EXPECT_FALSE(List.IsTransparent(1, 0, 0));
  TBitmap Small;
  Small.SetSize(8, 8);
  EXPECT_THROW(List.Add(Glyph.get(), &Small), EInvalidOperation);
}

} // namespace
