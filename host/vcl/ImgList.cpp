#include "vcl/ImgList.h"

#include "rtl/SysUtils.h"
#include "vcl/Bitmap.h"

const TClassInfo& TCustomImageList::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TCustomImageList>(u"TCustomImageList", &TComponent::StaticClass())
          .Ord(u"Width", &TCustomImageList::Width, &TCustomImageList::SetWidth)
          .Ord(u"Height", &TCustomImageList::Height, &TCustomImageList::SetHeight)
          .Event(u"OnChange", &TCustomImageList::OnChange);
  return Info;
}
HOST_CLASS_TYPE(TCustomImageList)

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

void TCustomImageList::SetWidth(int Value) {
  if (Value == FWidth)
    return;
  if (!FImages.empty())
    throw EInvalidOperation(u"Cannot change the image size of image list " + Name() +
                            u" while it holds images");
  if (Value < 1)
    throw EInvalidOperation(u"Invalid image width " + IntToStr(Value));
  FWidth = Value;
}

void TCustomImageList::SetHeight(int Value) {
  if (Value == FHeight)
    return;
  if (!FImages.empty())
    throw EInvalidOperation(u"Cannot change the image size of image list " + Name() +
                            u" while it holds images");
  if (Value < 1)
    throw EInvalidOperation(u"Invalid image height " + IntToStr(Value));
  FHeight = Value;
}

template <class F> int TCustomImageList::AddSlices(const TBitmap* Image, F IsTransparentAt) {
  if (!Image || Image->Empty())
    throw EInvalidOperation(u"Cannot add an empty bitmap to image list " + Name());
  if (Image->Height() != FHeight || Image->Width() % FWidth != 0)
    throw EInvalidOperation(u"A bitmap of " + IntToStr(Image->Width()) + u" x " +
                            IntToStr(Image->Height()) + u" does not fit image list " + Name() +
                            u" of " + IntToStr(FWidth) + u" x " + IntToStr(FHeight) + u" images");
  const int First = Count();
  std::vector<TImage> Added;
  for (int Slice = 0; Slice < Image->Width() / FWidth; ++Slice) {
    TImage I;
    I.Pixels.reserve(static_cast<size_t>(FWidth) * static_cast<size_t>(FHeight));
    I.Mask.reserve(I.Pixels.capacity());
    for (int Y = 0; Y < FHeight; ++Y)
      for (int X = 0; X < FWidth; ++X) {
        const int SX = Slice * FWidth + X;
        I.Pixels.push_back(Image->Pixels(SX, Y));
        I.Mask.push_back(IsTransparentAt(SX, Y));
      }
    Added.push_back(std::move(I));
  }
  for (TImage& I : Added)
    FImages.push_back(std::move(I));
  DoChange();
  return First;
}

int TCustomImageList::Add(const TBitmap* Image, const TBitmap* Mask) {
  if (Mask && Image && (Mask->Width() != Image->Width() || Mask->Height() != Image->Height()))
    throw EInvalidOperation(u"The mask does not have the size of the image");
  return AddSlices(Image, [Mask](int X, int Y) { return Mask && Mask->Pixels(X, Y) == clWhite; });
}

int TCustomImageList::AddMasked(const TBitmap* Image, TColor MaskColor) {
  if (MaskColor == clDefault && Image && !Image->Empty())
    MaskColor = Image->Pixels(0, Image->Height() - 1);
  return AddSlices(Image, [Image, MaskColor](int X, int Y) {
    return MaskColor != clNone && Image->Pixels(X, Y) == MaskColor;
  });
}

void TCustomImageList::Delete(int Index) {
  Image(Index);
  FImages.erase(FImages.begin() + Index);
  DoChange();
}

void TCustomImageList::Clear() {
  FImages.clear();
  DoChange();
}

const TCustomImageList::TImage& TCustomImageList::Image(int Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError(u"Image index out of bounds (" + IntToStr(Index) + u")");
  return FImages[static_cast<size_t>(Index)];
}

size_t TCustomImageList::Offset(int X, int Y) const {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
    throw EListError(u"Pixel (" + IntToStr(X) + u", " + IntToStr(Y) + u") is outside the " +
                     IntToStr(FWidth) + u" x " + IntToStr(FHeight) + u" image");
  return static_cast<size_t>(Y) * static_cast<size_t>(FWidth) + static_cast<size_t>(X);
}

TColor TCustomImageList::Pixel(int Index, int X, int Y) const {
  const TImage& I = Image(Index);
  return I.Pixels[Offset(X, Y)];
}

bool TCustomImageList::IsTransparent(int Index, int X, int Y) const {
  const TImage& I = Image(Index);
  return I.Mask[Offset(X, Y)];
}

void TCustomImageList::DoChange() {
  NotifyViews(&TImageListView::ImageListChanged, this);
  if (OnChange)
    OnChange(this);
}

const TClassInfo& TImageList::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TImageList>(u"TImageList", &TCustomImageList::StaticClass()).Creatable();
  return Info;
}
HOST_CLASS_TYPE(TImageList)
