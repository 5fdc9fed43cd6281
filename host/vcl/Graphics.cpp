#include "vcl/Graphics.h"

#include <cmath>

const TEnumInfo& ColorIdents() {
  static const TEnumInfo Info{{},
                              {
                                  {u"clBlack", clBlack},
                                  {u"clMaroon", clMaroon},
                                  {u"clGreen", clGreen},
                                  {u"clOlive", clOlive},
                                  {u"clNavy", clNavy},
                                  {u"clPurple", clPurple},
                                  {u"clTeal", clTeal},
                                  {u"clGray", clGray},
                                  {u"clSilver", clSilver},
                                  {u"clRed", clRed},
                                  {u"clLime", clLime},
                                  {u"clYellow", clYellow},
                                  {u"clBlue", clBlue},
                                  {u"clFuchsia", clFuchsia},
                                  {u"clAqua", clAqua},
                                  {u"clWhite", clWhite},
                                  {u"clMoneyGreen", RGB(192, 220, 192)},
                                  {u"clSkyBlue", RGB(166, 202, 240)},
                                  {u"clCream", RGB(255, 251, 240)},
                                  {u"clMedGray", RGB(160, 160, 164)},
                                  {u"clNone", clNone},
                                  {u"clDefault", clDefault},
                                  {u"clScrollBar", SystemColor(0)},
                                  {u"clBackground", SystemColor(1)},
                                  {u"clActiveCaption", SystemColor(2)},
                                  {u"clInactiveCaption", SystemColor(3)},
                                  {u"clMenu", SystemColor(4)},
                                  {u"clWindow", clWindow},
                                  {u"clWindowFrame", SystemColor(6)},
                                  {u"clMenuText", SystemColor(7)},
                                  {u"clWindowText", clWindowText},
                                  {u"clCaptionText", SystemColor(9)},
                                  {u"clActiveBorder", SystemColor(10)},
                                  {u"clInactiveBorder", SystemColor(11)},
                                  {u"clAppWorkSpace", SystemColor(12)},
                                  {u"clHighlight", clHighlight},
                                  {u"clHighlightText", clHighlightText},
                                  {u"clBtnFace", clBtnFace},
                                  {u"clBtnShadow", SystemColor(16)},
                                  {u"clGrayText", SystemColor(17)},
                                  {u"clBtnText", clBtnText},
                                  {u"clInactiveCaptionText", SystemColor(19)},
                                  {u"clBtnHighlight", SystemColor(20)},
                                  {u"cl3DDkShadow", SystemColor(21)},
                                  {u"cl3DLight", SystemColor(22)},
                                  {u"clInfoText", SystemColor(23)},
                                  {u"clInfoBk", SystemColor(24)},
                                  {u"clHotLight", SystemColor(26)},
                                  {u"clGradientActiveCaption", SystemColor(27)},
                                  {u"clGradientInactiveCaption", SystemColor(28)},
                                  {u"clMenuHighlight", SystemColor(29)},
                                  {u"clMenuBar", SystemColor(30)},
                              }};
  return Info;
}

const TEnumInfo& CharsetIdents() {
  static const TEnumInfo Info{{},
                              {
                                  {u"ANSI_CHARSET", ANSI_CHARSET},
                                  {u"DEFAULT_CHARSET", DEFAULT_CHARSET},
                                  {u"SYMBOL_CHARSET", SYMBOL_CHARSET},
                                  {u"MAC_CHARSET", MAC_CHARSET},
                                  {u"SHIFTJIS_CHARSET", SHIFTJIS_CHARSET},
                                  {u"HANGEUL_CHARSET", HANGEUL_CHARSET},
                                  {u"JOHAB_CHARSET", JOHAB_CHARSET},
                                  {u"GB2312_CHARSET", GB2312_CHARSET},
                                  {u"CHINESEBIG5_CHARSET", CHINESEBIG5_CHARSET},
                                  {u"GREEK_CHARSET", GREEK_CHARSET},
                                  {u"TURKISH_CHARSET", TURKISH_CHARSET},
                                  {u"VIETNAMESE_CHARSET", VIETNAMESE_CHARSET},
                                  {u"HEBREW_CHARSET", HEBREW_CHARSET},
                                  {u"ARABIC_CHARSET", ARABIC_CHARSET},
                                  {u"BALTIC_CHARSET", BALTIC_CHARSET},
                                  {u"RUSSIAN_CHARSET", RUSSIAN_CHARSET},
                                  {u"THAI_CHARSET", THAI_CHARSET},
                                  {u"EASTEUROPE_CHARSET", EASTEUROPE_CHARSET},
                                  {u"OEM_CHARSET", OEM_CHARSET},
                              }};
  return Info;
}

const TEnumInfo& FontStyleInfo() {
  static const TEnumInfo Info{{u"fsBold", u"fsItalic", u"fsUnderline", u"fsStrikeOut"}, {}};
  return Info;
}

namespace {
const TEnumInfo& PitchInfo() {
  static const TEnumInfo Info{{u"fpDefault", u"fpVariable", u"fpFixed"}, {}};
  return Info;
}
// Rounds A * B / C to the nearest integer, halves away from zero.
int MulDiv(int A, int B, int C) {
  return static_cast<int>(std::lround(static_cast<double>(A) * B / C));
}
} // namespace

// --- TFont ------------------------------------------------------------------------------------

const TClassInfo& TFont::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TFont>(u"TFont", &TPersistent::StaticClass())
          .Ord(u"Charset", &TFont::Charset, &TFont::SetCharset, &CharsetIdents())
          .Ord(u"Color", &TFont::Color, &TFont::SetColor, &ColorIdents())
          .Ord(u"Height", &TFont::Height, &TFont::SetHeight)
          .Str(u"Name", &TFont::Name, &TFont::SetName)
          .Ord(u"Pitch", &TFont::Pitch, &TFont::SetPitch, &PitchInfo())
          .Ord(u"Size", &TFont::Size, &TFont::SetSize)
          .Set(u"Style", &TFont::Style, &TFont::SetStyle, &FontStyleInfo());
  return Info;
}
HOST_CLASS_TYPE(TFont)

void TFont::Assign(const TFont& Source) {
  if (&Source == this || *this == Source)
    return;
  FName = Source.FName;
  FHeight = Source.FHeight;
  FColor = Source.FColor;
  FCharset = Source.FCharset;
  FPitch = Source.FPitch;
  FStyle = Source.FStyle;
  Changed();
}

bool TFont::operator==(const TFont& Other) const {
  return FName == Other.FName && FHeight == Other.FHeight && FColor == Other.FColor &&
         FCharset == Other.FCharset && FPitch == Other.FPitch && FStyle == Other.FStyle;
}

void TFont::Changed() {
  if (OnChange)
    OnChange(this);
}

void TFont::SetName(const UnicodeString& Value) {
  if (!ChangeField(FName, Value))
    return;
  Changed();
}

void TFont::SetHeight(int Value) {
  if (!ChangeField(FHeight, Value))
    return;
  Changed();
}

int TFont::Size() const {
  return -MulDiv(FHeight, 72, FPixelsPerInch);
}

void TFont::SetSize(int Value) {
  SetHeight(-MulDiv(Value, FPixelsPerInch, 72));
}

void TFont::SetColor(TColor Value) {
  if (!ChangeField(FColor, Value))
    return;
  Changed();
}

void TFont::SetCharset(TFontCharset Value) {
  if (!ChangeField(FCharset, Value))
    return;
  Changed();
}

void TFont::SetPitch(TFontPitch Value) {
  if (!ChangeField(FPitch, Value))
    return;
  Changed();
}

void TFont::SetStyle(TFontStyles Value) {
  Value &= fsBold | fsItalic | fsUnderline | fsStrikeOut;
  if (!ChangeField(FStyle, Value))
    return;
  Changed();
}

// --- TBrush / TCanvas -------------------------------------------------------------------------

namespace {
const TEnumInfo& BrushStyleInfo() {
  static const TEnumInfo Info{{u"bsSolid", u"bsClear", u"bsHorizontal", u"bsVertical",
                               u"bsFDiagonal", u"bsBDiagonal", u"bsCross", u"bsDiagCross"},
                              {}};
  return Info;
}
} // namespace

const TClassInfo& TBrush::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TBrush>(u"TBrush", &TPersistent::StaticClass())
          .Ord(u"Color", &TBrush::Color, &TBrush::SetColor, &ColorIdents())
          .Ord(u"Style", &TBrush::Style, &TBrush::SetStyle, &BrushStyleInfo());
  return Info;
}
HOST_CLASS_TYPE(TBrush)

const TClassInfo& TCanvas::StaticClass() {
  static const TClassInfo Info(u"TCanvas", &TPersistent::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TCanvas)

void TCanvas::FillRect(const TRect& R) {
  if (FBrush.Style() == bsClear)
    return;
  TCanvasOperation Op;
  Op.Kind = TCanvasOperation::coFillRect;
  Op.Rect = R;
  Op.Color = FBrush.Color();
  FOperations.push_back(std::move(Op));
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const UnicodeString& Text) {
  FillRect(R);
  TCanvasOperation Op;
  Op.Kind = TCanvasOperation::coText;
  Op.Rect = R;
  Op.X = X;
  Op.Y = Y;
  Op.Text = Text;
  Op.Color = FFont.Color();
  Op.FontName = FFont.Name();
  Op.FontHeight = FFont.Height();
  Op.FontStyle = FFont.Style();
  FOperations.push_back(std::move(Op));
}

void TCanvas::DrawFocusRect(const TRect& R) {
  TCanvasOperation Op;
  Op.Kind = TCanvasOperation::coFocusRect;
  Op.Rect = R;
  FOperations.push_back(std::move(Op));
}
