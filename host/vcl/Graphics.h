// Colours. A TColor is 0x00BBGGRR for an RGB colour, or 0xFF000000 plus a Windows system colour
// index for a system colour, which a front end resolves to its own palette.
#pragma once

#include <cstdint>

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
constexpr TColor clWhite = RGB(255, 255, 255);
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor clWindow = SystemColor(5);         // COLOR_WINDOW
constexpr TColor clWindowText = SystemColor(8);     // COLOR_WINDOWTEXT
constexpr TColor clHighlight = SystemColor(13);     // COLOR_HIGHLIGHT
constexpr TColor clHighlightText = SystemColor(14); // COLOR_HIGHLIGHTTEXT
constexpr TColor clBtnFace = SystemColor(15);       // COLOR_BTNFACE
constexpr TColor clBtnText = SystemColor(18);       // COLOR_BTNTEXT
