// TCategoryButtons: buttons grouped in collapsible categories, as the Tool Palette shows
// components. The control has a simple geometry so that what is in view is a fact: a category
// is a header row followed, when expanded, by its button rows; the control shows ClientHeight
// pixels of the whole from ScrollPosition down.
#pragma once

#include "vcl/Controls.h"

#include <memory>
#include <vector>

class TCategoryButtons;
class TButtonCategories;

class TButtonItem : public TPersistent {
public:
  explicit TButtonItem(UnicodeString Caption) : FCaption(std::move(Caption)) {}
  HOST_CLASS_INFO;
  const UnicodeString& Caption() const { return FCaption; }
  void SetCaption(const UnicodeString& Value) { FCaption = Value; }

private:
  UnicodeString FCaption;
};

class TButtonCategory : public TPersistent {
public:
  explicit TButtonCategory(TButtonCategories* Collection) : FCollection(Collection) {}
  HOST_CLASS_INFO;

  const UnicodeString& Caption() const { return FCaption; }
  void SetCaption(const UnicodeString& Value);
  bool Collapsed() const { return FCollapsed; }
  void SetCollapsed(bool Value);

  // The component buttons of the category.
  int ButtonCount() const { return static_cast<int>(FItems.size()); }
  TButtonItem* Buttons(int Index) const;
  TButtonItem* AddButton(const UnicodeString& Caption);

  int Index() const;
  // Scrolls the palette the least that brings the whole category into view, or its top part,
  // header first, when it is taller than the view.
  void ScrollIntoView();

private:
  TButtonCategories* FCollection;
  UnicodeString FCaption;
  bool FCollapsed = false;
  std::vector<std::unique_ptr<TButtonItem>> FItems;
};

class TButtonCategories : public TPersistent {
public:
  explicit TButtonCategories(TCategoryButtons* Control) : FControl(Control) {}
  HOST_CLASS_INFO;

  int Count() const { return static_cast<int>(FItems.size()); }
  TButtonCategory* Items(int Index) const;
  TButtonCategory* operator[](int Index) const { return Items(Index); }
  TButtonCategory* Add();
  TButtonCategory* Insert(int Index);
  void Delete(int Index);
  void Clear();
  int IndexOf(const TButtonCategory* Category) const;
  TCategoryButtons* Control() const { return FControl; }

private:
  TCategoryButtons* FControl;
  std::vector<std::unique_ptr<TButtonCategory>> FItems;
};

// What a view of the palette hears, beyond what every windowed control tells.
class TCategoryButtonsView : public virtual TWinControlView {
public:
  // Categories or buttons were added, removed, renamed, folded or resized.
  virtual void CategoriesChanged(TCategoryButtons*) {}
  virtual void ScrollPositionChanged(TCategoryButtons*) {}
};

class TCategoryButtons : public TWinControl {
public:
  explicit TCategoryButtons(TComponent* AOwner);
  ~TCategoryButtons() override;
  HOST_CLASS_INFO;

  TButtonCategories* Categories() const { return FCategories.get(); }

  // Geometry, in pixels.
  int ClientHeight() const { return Height(); }
  int HeaderHeight() const { return FHeaderHeight; }
  void SetHeaderHeight(int Value);
  int ButtonHeight() const { return FButtonHeight; }
  void SetButtonHeight(int Value);
  // Buttons side by side in one row (at least 1).
  int ButtonsPerRow() const { return FButtonsPerRow; }
  void SetButtonsPerRow(int Value);

  int CategoryTop(int Index) const;
  int CategoryHeight(int Index) const;
  int TotalHeight() const;
  // The category whose header or button rows cover the point Y pixels below the top of the
  // whole (not of the view), or -1 past either end.
  int CategoryAt(int Y) const;
  int MaxScrollPosition() const;
  int ScrollPosition() const { return FScrollPosition; }
  // Clamped to 0 .. MaxScrollPosition().
  void SetScrollPosition(int Value);
  // True when the category's header row lies wholly inside the visible area.
  bool IsHeaderVisible(int Index) const;
  // True when the whole category lies inside the visible area.
  bool IsCategoryVisible(int Index) const;
  void ScrollIntoView(int Index);

  // Called by the collection when categories or their state change.
  void CategoriesChanged();

private:
  std::unique_ptr<TButtonCategories> FCategories;
  int FHeaderHeight = 20;
  int FButtonHeight = 22;
  int FButtonsPerRow = 1;
  int FScrollPosition = 0;
  // The top of every category and, last, the total height: counted again after a change, at
  // the first question, so that finding what is in view takes a lookup or a binary search.
  mutable std::vector<int> FTops;
  mutable bool FTopsValid = false;
  const std::vector<int>& Tops() const;
};
