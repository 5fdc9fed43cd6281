// Image lists: a row of equally sized images, each kept with its mask (the pixels that are
// transparent when the image is drawn).
#pragma once

#include "rtl/Component.h"
#include "vcl/Graphics.h"

#include <vector>

class TCustomImageList;
class TBitmap;

// What a view of an image list hears.
class TImageListView : public virtual TComponentView {
public:
  // Images were added, replaced or removed.
  virtual void ImageListChanged(TCustomImageList*) {}
};

class TCustomImageList : public TComponent {
public:
  explicit TCustomImageList(TComponent* AOwner);
  HOST_CLASS_INFO;

  // Size of every image; changed only while the list is empty.
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  int Height() const { return FHeight; }
  void SetHeight(int Value);

  int Count() const { return static_cast<int>(FImages.size()); }
  // Adds the images of Image (one per Width columns; its height must be Height) with Mask as
  // their mask (a white mask pixel is transparent; no mask: nothing is). Returns the index of
  // the first image added.
  int Add(const TBitmap* Image, const TBitmap* Mask);
  // The same, with every pixel of colour MaskColor transparent. clDefault takes the colour of
  // Image's bottom-left pixel; clNone makes nothing transparent.
  int AddMasked(const TBitmap* Image, TColor MaskColor);
  void Delete(int Index);
  void Clear();

  // The colour of pixel (X, Y) of image Index, and whether the mask makes it transparent.
  TColor Pixel(int Index, int X, int Y) const;
  bool IsTransparent(int Index, int X, int Y) const;

  // Fires when images are added or removed.
  TNotifyEvent OnChange;

private:
  struct TImage {
    std::vector<TColor> Pixels; // row by row from the top
    std::vector<bool> Mask;     // true: transparent
  };
  template <class F> int AddSlices(const TBitmap* Image, F IsTransparentAt);
  const TImage& Image(int Index) const;
  size_t Offset(int X, int Y) const;
  void DoChange();

  int FWidth = 16;
  int FHeight = 16;
  std::vector<TImage> FImages;
};

class TImageList : public TCustomImageList {
public:
  explicit TImageList(TComponent* AOwner) : TCustomImageList(AOwner) {}
  HOST_CLASS_INFO;
};
