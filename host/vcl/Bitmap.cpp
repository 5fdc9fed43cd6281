#include "vcl/Bitmap.h"

#include "rtl/SysUtils.h"
#include "rtl/TypInfo.h"

namespace {

constexpr size_t FileHeaderSize = 14;
constexpr size_t InfoHeaderSize = 40; // BITMAPINFOHEADER; later versions only add fields
constexpr uint32_t BI_RGB = 0;
constexpr int32_t MaxDimension = 16384;

uint16_t U16(std::span<const uint8_t> B, size_t At) {
  return static_cast<uint16_t>(B[At] | (B[At + 1] << 8));
}
uint32_t U32(std::span<const uint8_t> B, size_t At) {
  return static_cast<uint32_t>(B[At]) | (static_cast<uint32_t>(B[At + 1]) << 8) |
         (static_cast<uint32_t>(B[At + 2]) << 16) | (static_cast<uint32_t>(B[At + 3]) << 24);
}
void Put16(std::vector<uint8_t>& B, uint16_t V) {
  B.push_back(static_cast<uint8_t>(V));
  B.push_back(static_cast<uint8_t>(V >> 8));
}
void Put32(std::vector<uint8_t>& B, uint32_t V) {
  for (int I = 0; I < 4; ++I)
    B.push_back(static_cast<uint8_t>(V >> (8 * I)));
}

size_t RowStride(int Width) {
  return (static_cast<size_t>(Width) * 3 + 3) / 4 * 4;
}

} // namespace

const TClassInfo& TBitmap::StaticClass() {
  static const TClassInfo Info(u"TBitmap", &TPersistent::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TBitmap)

void TBitmap::SetSize(int AWidth, int AHeight) {
  if (AWidth < 0 || AHeight < 0 || AWidth > MaxDimension || AHeight > MaxDimension)
    throw EInvalidGraphic(u"Invalid bitmap size " + IntToStr(AWidth) + u" x " + IntToStr(AHeight));
  FWidth = AWidth;
  FHeight = AHeight;
  FPixels.assign(static_cast<size_t>(AWidth) * static_cast<size_t>(AHeight), clWhite);
}

void TBitmap::LoadFromResourceName(HINSTANCE Instance, std::u16string_view ResName) {
  std::span<const uint8_t> Bytes = FindResourceData(Instance, ResName);
  LoadFromBytes(Bytes, u"Bitmap resource " + UnicodeString(ResName));
}

void TBitmap::LoadFromBytes(std::span<const uint8_t> Bytes, std::u16string_view Source) {
  auto Fail = [&](const UnicodeString& What) {
    throw EInvalidGraphic(UnicodeString(Source) + u": " + What);
  };
  if (Bytes.size() < FileHeaderSize + InfoHeaderSize)
    Fail(u"too short to be a bitmap (" + IntToStr(static_cast<long long>(Bytes.size())) +
         u" bytes)");
  if (Bytes[0] != 'B' || Bytes[1] != 'M')
    Fail(u"not a bitmap (no BM signature)");
  const uint32_t PixelOffset = U32(Bytes, 10);
  const uint32_t HeaderSize = U32(Bytes, 14);
  if (HeaderSize < InfoHeaderSize)
    Fail(u"header of " + IntToStr(HeaderSize) + u" bytes is not supported (OS/2 bitmap)");
  if (FileHeaderSize + static_cast<uint64_t>(HeaderSize) > Bytes.size())
    Fail(u"header runs past the end of the data");
  const auto Width = static_cast<int32_t>(U32(Bytes, 18));
  const auto Height = static_cast<int32_t>(U32(Bytes, 22));
  const uint16_t Planes = U16(Bytes, 26);
  const uint16_t BitCount = U16(Bytes, 28);
  const uint32_t Compression = U32(Bytes, 30);
  if (Planes != 1)
    Fail(IntToStr(Planes) + u" colour planes are not supported");
  if (BitCount != 24)
    Fail(IntToStr(BitCount) + u" bits per pixel are not supported (only 24)");
  if (Compression != BI_RGB)
    Fail(u"compressed bitmaps are not supported (compression " + IntToStr(Compression) + u")");
  if (Height < 0)
    Fail(u"top-down bitmaps are not supported (only bottom-up)");
  if (Width <= 0 || Height == 0 || Width > MaxDimension || Height > MaxDimension)
    Fail(u"invalid size " + IntToStr(Width) + u" x " + IntToStr(Height));
  if (PixelOffset < FileHeaderSize + HeaderSize)
    Fail(u"pixel data overlaps the header");
  const size_t Stride = RowStride(Width);
  const uint64_t End = static_cast<uint64_t>(PixelOffset) + Stride * static_cast<uint64_t>(Height);
  if (End > Bytes.size())
    Fail(u"pixel data is cut short (" + IntToStr(static_cast<long long>(End)) + u" bytes needed, " +
         IntToStr(static_cast<long long>(Bytes.size())) + u" present)");

  std::vector<TColor> Pixels(static_cast<size_t>(Width) * static_cast<size_t>(Height));
  for (int Y = 0; Y < Height; ++Y) {
    // Rows are stored from the bottom up.
    const size_t Row = PixelOffset + Stride * static_cast<size_t>(Height - 1 - Y);
    for (int X = 0; X < Width; ++X) {
      const size_t P = Row + static_cast<size_t>(X) * 3;
      Pixels[static_cast<size_t>(Y) * static_cast<size_t>(Width) + static_cast<size_t>(X)] =
          RGB(Bytes[P + 2], Bytes[P + 1], Bytes[P]);
    }
  }
  FWidth = Width;
  FHeight = Height;
  FPixels = std::move(Pixels);
}

std::vector<uint8_t> TBitmap::SaveToBytes() const {
  const size_t Stride = RowStride(FWidth);
  const size_t PixelBytes = Stride * static_cast<size_t>(FHeight);
  std::vector<uint8_t> B;
  B.reserve(FileHeaderSize + InfoHeaderSize + PixelBytes);
  B.push_back('B');
  B.push_back('M');
  Put32(B, static_cast<uint32_t>(FileHeaderSize + InfoHeaderSize + PixelBytes));
  Put32(B, 0);
  Put32(B, FileHeaderSize + InfoHeaderSize);
  Put32(B, InfoHeaderSize);
  Put32(B, static_cast<uint32_t>(FWidth));
  Put32(B, static_cast<uint32_t>(FHeight));
  Put16(B, 1);
  Put16(B, 24);
  Put32(B, BI_RGB);
  Put32(B, static_cast<uint32_t>(PixelBytes));
  Put32(B, 2835); // 72 dots per inch
  Put32(B, 2835);
  Put32(B, 0);
  Put32(B, 0);
  for (int Y = FHeight - 1; Y >= 0; --Y) {
    for (int X = 0; X < FWidth; ++X) {
      const TColor C = FPixels[Offset(X, Y)];
      B.push_back(GetBValue(C));
      B.push_back(GetGValue(C));
      B.push_back(GetRValue(C));
    }
    for (size_t Pad = static_cast<size_t>(FWidth) * 3; Pad < Stride; ++Pad)
      B.push_back(0);
  }
  return B;
}

size_t TBitmap::Offset(int X, int Y) const {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
    throw EInvalidGraphic(u"Pixel (" + IntToStr(X) + u", " + IntToStr(Y) + u") is outside the " +
                          IntToStr(FWidth) + u" x " + IntToStr(FHeight) + u" bitmap");
  return static_cast<size_t>(Y) * static_cast<size_t>(FWidth) + static_cast<size_t>(X);
}

TColor TBitmap::Pixels(int X, int Y) const {
  return FPixels[Offset(X, Y)];
}

void TBitmap::SetPixels(int X, int Y, TColor Color) {
  if (Color < 0 || (Color & 0xFF000000) != 0)
    throw EInvalidGraphic(u"Only RGB colours can be stored in a bitmap pixel");
  FPixels[Offset(X, Y)] = Color;
}
