// Colours, fonts, brushes and the canvas. A TColor is 0x00BBGGRR for an RGB colour, or
// 0xFF000000 plus a Windows system colour index for a system colour, which a front end resolves
// to its own palette. The canvas draws nothing itself: it records what is drawn, so that tests
// and front ends can replay it.
#pragma once

#include "rtl/Object.h"
#include "rtl/TypInfo.h"

#include <cstdint>
#include <vector>

using TColor = int32_t;

constexpr TColor RGB(uint8_t R, uint8_t G, uint8_t B) {
  return static_cast<TColor>(R | (G << 8) | (B << 16));
}
constexpr uint8_t GetRValue(TColor C) {
  return static_cast<uint8_t>(C & 0xFF);
}
constexpr uint8_t GetGValue(TColor C) {
  return static_cast<uint8_t>((C >> 8) & 0xFF);
}
constexpr uint8_t GetBValue(TColor C) {
  return static_cast<uint8_t>((C >> 16) & 0xFF);
}

constexpr TColor SystemColor(int Index) {
  return static_cast<TColor>(0xFF000000u | Index);
}
constexpr bool IsSystemColor(TColor C) {
  return (static_cast<uint32_t>(C) & 0xFF000000u) == 0xFF000000u;
}

constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clMaroon = RGB(128, 0, 0);
constexpr TColor clGreen = RGB(0, 128, 0);
constexpr TColor clOlive = RGB(128, 128, 0);
constexpr TColor clNavy = RGB(0, 0, 128);
constexpr TColor clPurple = RGB(128, 0, 128);
constexpr TColor clTeal = RGB(0, 128, 128);
constexpr TColor clGray = RGB(128, 128, 128);
constexpr TColor clSilver = RGB(192, 192, 192);
constexpr TColor clRed = RGB(255, 0, 0);
constexpr TColor clLime = RGB(0, 255, 0);
constexpr TColor clYellow = RGB(255, 255, 0);
constexpr TColor clBlue = RGB(0, 0, 255);
constexpr TColor clFuchsia = RGB(255, 0, 255);
constexpr TColor clAqua = RGB(0, 255, 255);
constexpr TColor clWhite = RGB(255, 255, 255);
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor clWindow = SystemColor(5);         // COLOR_WINDOW
constexpr TColor clWindowText = SystemColor(8);     // COLOR_WINDOWTEXT
constexpr TColor clHighlight = SystemColor(13);     // COLOR_HIGHLIGHT
constexpr TColor clHighlightText = SystemColor(14); // COLOR_HIGHLIGHTTEXT
constexpr TColor clBtnFace = SystemColor(15);       // COLOR_BTNFACE
constexpr TColor clBtnText = SystemColor(18);       // COLOR_BTNTEXT

// The colour identifiers a stored layout may use (clBtnFace, clRed, ...), for TColor properties.
const TEnumInfo& ColorIdents();

// --- geometry ---------------------------------------------------------------------------------

struct TPoint {
  int X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

// Right and Bottom are exclusive.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TRect&) const = default;
};

constexpr TRect Rect(int Left, int Top, int Right, int Bottom) {
  return TRect{Left, Top, Right, Bottom};
}

// --- fonts ------------------------------------------------------------------------------------

// Character sets, as Windows numbers them.
using TFontCharset = uint8_t;
enum : TFontCharset {
  ANSI_CHARSET = 0,
  DEFAULT_CHARSET = 1,
  SYMBOL_CHARSET = 2,
  MAC_CHARSET = 77,
  SHIFTJIS_CHARSET = 128,
  HANGEUL_CHARSET = 129,
  JOHAB_CHARSET = 130,
  GB2312_CHARSET = 134,
  CHINESEBIG5_CHARSET = 136,
  GREEK_CHARSET = 161,
  TURKISH_CHARSET = 162,
  VIETNAMESE_CHARSET = 163,
  HEBREW_CHARSET = 177,
  ARABIC_CHARSET = 178,
  BALTIC_CHARSET = 186,
  RUSSIAN_CHARSET = 204,
  THAI_CHARSET = 222,
  EASTEUROPE_CHARSET = 238,
  OEM_CHARSET = 255,
};
const TEnumInfo& CharsetIdents();

// Font styles, a set: bit i for the i-th style.
using TFontStyles = unsigned;
enum TFontStyle : TFontStyles {
  fsBold = 1u << 0,
  fsItalic = 1u << 1,
  fsUnderline = 1u << 2,
  fsStrikeOut = 1u << 3
};
const TEnumInfo& FontStyleInfo();

enum TFontPitch { fpDefault, fpVariable, fpFixed };

class TFont : public TPersistent {
public:
  TFont() = default;
  HOST_CLASS_INFO;

  // Copies name, height, colour, character set, pitch and style.
  void Assign(const TFont& Source);

  const UnicodeString& Name() const { return FName; }
  void SetName(const UnicodeString& Value);
  // Character height in pixels; negative as Windows stores it (the em height, without leading).
  int Height() const { return FHeight; }
  void SetHeight(int Value);
  // Size in points at PixelsPerInch, derived from Height (rounded to the nearest point).
  int Size() const;
  void SetSize(int Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFontCharset Charset() const { return FCharset; }
  void SetCharset(TFontCharset Value);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }

  bool operator==(const TFont& Other) const;

  // Fires after every change.
  TNotifyEvent OnChange;

private:
  void Changed();

  UnicodeString FName = u"Tahoma";
  int FHeight = -11;
  TColor FColor = clWindowText;
  TFontCharset FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
  TFontStyles FStyle = 0;
  int FPixelsPerInch = 96;
};

// --- brushes and the canvas -------------------------------------------------------------------

enum TBrushStyle {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};

class TBrush : public TPersistent {
public:
  HOST_CLASS_INFO;
  TColor Color() const { return FColor; }
  void SetColor(TColor Value) { FColor = Value; }
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value) { FStyle = Value; }

private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
};

// One recorded drawing operation.
struct TCanvasOperation {
  enum TKind {
    coFillRect, // Rect filled with Color (the brush colour)
    coText,     // Text with its left-top corner at X, Y, clipped to Rect, in Color (the font's)
    coFocusRect // a focus rectangle drawn on Rect
  };
  TKind Kind = coFillRect;
  TRect Rect;
  TColor Color = clBlack;
  int X = 0, Y = 0;
  UnicodeString Text;
  UnicodeString FontName;
  int FontHeight = 0;
  TFontStyles FontStyle = 0;
};

class TCanvas : public TPersistent {
public:
  TCanvas() = default;
  HOST_CLASS_INFO;

  TFont* Font() { return &FFont; }
  const TFont* Font() const { return &FFont; }
  // The canvas takes a copy of the given font ("Canvas.Font := Form.Font").
  void SetFont(const TFont& Value) { FFont.Assign(Value); }
  TBrush* Brush() { return &FBrush; }
  const TBrush* Brush() const { return &FBrush; }

  // Fills Rect with the brush colour (nothing with a clear brush).
  void FillRect(const TRect& R);
  // Fills Rect with the brush (unless it is clear), then draws Text at X, Y clipped to Rect.
  void TextRect(const TRect& R, int X, int Y, const UnicodeString& Text);
  void DrawFocusRect(const TRect& R);

  const std::vector<TCanvasOperation>& Operations() const { return FOperations; }
  // Forgets the recorded operations (a new paint starts).
  void ClearOperations() { FOperations.clear(); }

private:
  TFont FFont;
  TBrush FBrush;
  std::vector<TCanvasOperation> FOperations;
};
