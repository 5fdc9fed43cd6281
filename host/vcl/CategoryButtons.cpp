#include "vcl/CategoryButtons.h"

#include <algorithm>

// --- TButtonItem / TButtonCategory ------------------------------------------------------------

const TClassInfo& TButtonItem::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TButtonItem>(u"TButtonItem", &TPersistent::StaticClass())
          .Str(u"Caption", &TButtonItem::Caption, &TButtonItem::SetCaption);
  return Info;
}
HOST_CLASS_TYPE(TButtonItem)

const TClassInfo& TButtonCategory::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TButtonCategory>(u"TButtonCategory", &TPersistent::StaticClass())
          .Str(u"Caption", &TButtonCategory::Caption, &TButtonCategory::SetCaption)
          .Ord(u"Collapsed", &TButtonCategory::Collapsed, &TButtonCategory::SetCollapsed);
  return Info;
}
HOST_CLASS_TYPE(TButtonCategory)

void TButtonCategory::SetCaption(const UnicodeString& Value) {
  if (!ChangeField(FCaption, Value))
    return;
  FCollection->Control()->CategoriesChanged();
}

void TButtonCategory::SetCollapsed(bool Value) {
  if (!ChangeField(FCollapsed, Value))
    return;
  FCollection->Control()->CategoriesChanged();
}

TButtonItem* TButtonCategory::Buttons(int Index) const {
  if (Index < 0 || Index >= ButtonCount())
    throw EListError(u"Button index out of bounds (" + IntToStr(Index) + u")");
  return FItems[static_cast<size_t>(Index)].get();
}

TButtonItem* TButtonCategory::AddButton(const UnicodeString& Caption) {
  FItems.push_back(std::make_unique<TButtonItem>(Caption));
  FCollection->Control()->CategoriesChanged();
  return FItems.back().get();
}

int TButtonCategory::Index() const {
  return FCollection->IndexOf(this);
}

void TButtonCategory::ScrollIntoView() {
  FCollection->Control()->ScrollIntoView(Index());
}

// --- TButtonCategories ------------------------------------------------------------------------

const TClassInfo& TButtonCategories::StaticClass() {
  static const TClassInfo Info(u"TButtonCategories", &TPersistent::StaticClass());
  return Info;
}
HOST_CLASS_TYPE(TButtonCategories)

TButtonCategory* TButtonCategories::Items(int Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError(u"List index out of bounds (" + IntToStr(Index) + u")");
  return FItems[static_cast<size_t>(Index)].get();
}

TButtonCategory* TButtonCategories::Add() {
  return Insert(Count());
}

TButtonCategory* TButtonCategories::Insert(int Index) {
  if (Index < 0 || Index > Count())
    throw EListError(u"List index out of bounds (" + IntToStr(Index) + u")");
  auto It = FItems.insert(FItems.begin() + Index, std::make_unique<TButtonCategory>(this));
  FControl->CategoriesChanged();
  return It->get();
}

void TButtonCategories::Delete(int Index) {
  Items(Index);
  FItems.erase(FItems.begin() + Index);
  FControl->CategoriesChanged();
}

void TButtonCategories::Clear() {
  FItems.clear();
  FControl->CategoriesChanged();
}

int TButtonCategories::IndexOf(const TButtonCategory* Category) const {
  for (size_t I = 0; I < FItems.size(); ++I)
    if (FItems[I].get() == Category)
      return static_cast<int>(I);
  return -1;
}

// --- TCategoryButtons -------------------------------------------------------------------------

const TClassInfo& TCategoryButtons::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TCategoryButtons>(u"TCategoryButtons", &TWinControl::StaticClass())
          .Creatable()
          .Object(u"Categories", &TCategoryButtons::Categories)
          .Ord(u"HeaderHeight", &TCategoryButtons::HeaderHeight, &TCategoryButtons::SetHeaderHeight)
          .Ord(u"ButtonHeight", &TCategoryButtons::ButtonHeight,
               &TCategoryButtons::SetButtonHeight);
  return Info;
}
HOST_CLASS_TYPE(TCategoryButtons)

TCategoryButtons::TCategoryButtons(TComponent* AOwner)
    : TWinControl(AOwner), FCategories(std::make_unique<TButtonCategories>(this)) {
  SetBounds(0, 0, 200, 400);
}

TCategoryButtons::~TCategoryButtons() = default;

void TCategoryButtons::SetHeaderHeight(int Value) {
  FHeaderHeight = std::max(1, Value);
  CategoriesChanged();
}

void TCategoryButtons::SetButtonHeight(int Value) {
  FButtonHeight = std::max(1, Value);
  CategoriesChanged();
}

void TCategoryButtons::SetButtonsPerRow(int Value) {
  FButtonsPerRow = std::max(1, Value);
  CategoriesChanged();
}

int TCategoryButtons::CategoryHeight(int Index) const {
  const TButtonCategory* C = FCategories->Items(Index);
  if (C->Collapsed())
    return FHeaderHeight;
  int Rows = (C->ButtonCount() + FButtonsPerRow - 1) / FButtonsPerRow;
  return FHeaderHeight + Rows * FButtonHeight;
}

const std::vector<int>& TCategoryButtons::Tops() const {
  if (!FTopsValid) {
    FTops.assign(1, 0);
    FTops.reserve(static_cast<size_t>(FCategories->Count()) + 1);
    for (int I = 0; I < FCategories->Count(); ++I)
      FTops.push_back(FTops.back() + CategoryHeight(I));
    FTopsValid = true;
  }
  return FTops;
}

int TCategoryButtons::CategoryTop(int Index) const {
  FCategories->Items(Index);
  return Tops()[static_cast<size_t>(Index)];
}

int TCategoryButtons::TotalHeight() const {
  return Tops().back();
}

int TCategoryButtons::CategoryAt(int Y) const {
  const std::vector<int>& T = Tops();
  if (Y < 0 || Y >= T.back())
    return -1;
  // Every category is at least a header high, so the tops rise strictly.
  return static_cast<int>(std::upper_bound(T.begin(), T.end(), Y) - T.begin()) - 1;
}

int TCategoryButtons::MaxScrollPosition() const {
  return std::max(0, TotalHeight() - ClientHeight());
}

void TCategoryButtons::SetScrollPosition(int Value) {
  Value = std::clamp(Value, 0, MaxScrollPosition());
  ChangeProperty(FScrollPosition, Value, &TCategoryButtonsView::ScrollPositionChanged, this);
}

bool TCategoryButtons::IsHeaderVisible(int Index) const {
  int Top = CategoryTop(Index);
  return Top >= FScrollPosition && Top + FHeaderHeight <= FScrollPosition + ClientHeight();
}

bool TCategoryButtons::IsCategoryVisible(int Index) const {
  int Top = CategoryTop(Index);
  return Top >= FScrollPosition && Top + CategoryHeight(Index) <= FScrollPosition + ClientHeight();
}

void TCategoryButtons::ScrollIntoView(int Index) {
  const int Top = CategoryTop(Index);
  const int Bottom = Top + CategoryHeight(Index);
  int Pos = FScrollPosition;
  if (Bottom - Top >= ClientHeight())
    Pos = Top; // taller than the view: as much as fits, header first
  else if (Top < Pos)
    Pos = Top;
  else if (Bottom > Pos + ClientHeight())
    Pos = Bottom - ClientHeight();
  SetScrollPosition(Pos);
}

void TCategoryButtons::CategoriesChanged() {
  FTopsValid = false;
  // A category that shrank or went away may leave the view past the end. At the top it cannot
  // be; not measuring then keeps filling a palette linear in its size.
  if (FScrollPosition > 0)
    FScrollPosition = std::clamp(FScrollPosition, 0, MaxScrollPosition());
  NotifyViews(&TCategoryButtonsView::CategoriesChanged, this);
}
