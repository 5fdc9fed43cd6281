// Views of model objects: each hears the operations of its own interface, several views hear
// the same change, setters tell only about real changes, and views come and go safely.
#include "vcl/Grids.h"
#include "vcl/Menus.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace {

// Logs what it hears as "name:operation".
class TMenuLog : public TMenuItemView {
public:
  TMenuLog(std::string AName, std::vector<std::string>& ALog) : Name(std::move(AName)), Log(ALog) {}
  void CaptionChanged(TMenuItem*) override { Log.push_back(Name + ":caption"); }
  void ItemsChanged(TMenuItem*) override { Log.push_back(Name + ":items"); }
  void ComponentDestroying(TComponent*) override { Log.push_back(Name + ":destroying"); }
  std::string Name;
  std::vector<std::string>& Log;
};

// A view of another kind: attached to a menu item, it hears only what every component tells.
class TControlLog : public TControlView {
public:
  explicit TControlLog(std::vector<std::string>& ALog) : Log(ALog) {}
  void VisibleChanged(TControl*) override { Log.push_back("control:visible"); }
  void ComponentDestroying(TComponent*) override { Log.push_back("control:destroying"); }
  std::vector<std::string>& Log;
};

} // namespace

TEST(Views, EveryViewOfTheRightKindHearsEachRealChangeOnce) {
  std::vector<std::string> Log;
  TOwned<TMenuItem> Item(new TMenuItem(nullptr));
  TMenuLog A("a", Log), B("b", Log);
  TControlLog Other(Log);
  Item->AddView(&A);
  Item->AddView(&B);
  Item->AddView(&A); // once is enough
  Item->AddView(&Other);
  EXPECT_EQ(Item->ViewCount(), 3);

  Item->SetCaption(u"&File");
  Item->SetCaption(u"&File"); // no change, nothing to tell
  auto* Child = new TMenuItem(Item.get());
  Item->Add(Child);
  EXPECT_EQ(Log, (std::vector<std::string>{"a:caption", "b:caption", "a:items", "b:items"}));

  Item->RemoveView(&A);
  Item->RemoveView(&Other);
  Log.clear();
  Item->SetCaption(u"&Edit");
  EXPECT_EQ(Log, (std::vector<std::string>{"b:caption"}));
  Item->RemoveView(&B);
}

TEST(Views, AViewMayDetachItselfOrAnotherWhileItIsTold) {
  std::vector<std::string> Log;
  TOwned<TMenuItem> Item(new TMenuItem(nullptr));
  TMenuLog Second("second", Log);
  // The first view detaches itself and the second one when it hears of a caption.
  class TDetacher : public TMenuItemView {
  public:
    TDetacher(TMenuItem* AItem, TMenuItemView* AOther, std::vector<std::string>& ALog)
        : Item(AItem), Other(AOther), Log(ALog) {}
    void CaptionChanged(TMenuItem*) override {
      Log.push_back("first:caption");
      Item->RemoveView(this);
      Item->RemoveView(Other);
    }
    TMenuItem* Item;
    TMenuItemView* Other;
    std::vector<std::string>& Log;
  } First(Item.get(), &Second, Log);
  Item->AddView(&First);
  Item->AddView(&Second);

  Item->SetCaption(u"x");
  EXPECT_EQ(Log, (std::vector<std::string>{"first:caption"}));
  EXPECT_EQ(Item->ViewCount(), 0);
}

TEST(Views, ReleaseTellsEveryViewOnceAndNothingAfterIt) {
  std::vector<std::string> Log;
  TMenuLog Parent("parent", Log), Child("child", Log);
  TControlLog Other(Log);
  {
    TOwned<TMenuItem> Item(new TMenuItem(nullptr));
    auto* Sub = new TMenuItem(Item.get());
    Item->Add(Sub);
    Item->AddView(&Parent);
    Item->AddView(&Other);
    Sub->AddView(&Child);
  }
  // The parent is being released when its child goes: it tells no change of its items then.
  ASSERT_EQ(Log.size(), 3u);
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "parent:destroying"), 1);
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "control:destroying"), 1);
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "child:destroying"), 1);
}

TEST(Views, AGridTellsItsOwnChangesByNameAndThoseOfEveryControl) {
  struct TGridLog : TGridView {
    std::vector<std::string> Log;
    void TopLeftChanged(TCustomGrid*) override { Log.push_back("topleft"); }
    void CellsChanged(TCustomGrid*) override { Log.push_back("cells"); }
    void LayoutChanged(TCustomGrid*) override { Log.push_back("layout"); }
    void VisibleChanged(TControl*) override { Log.push_back("visible"); }
  } View;
  TOwned<TStringGrid> Grid(new TStringGrid(nullptr));
  Grid->SetRowCount(40);
  Grid->AddView(&View);
  Grid->SetTopRow(5);
  Grid->SetTopRow(5);
  Grid->SetCells(1, 1, u"x");
  Grid->SetRowCount(41);
  Grid->SetVisible(false);
  Grid->RemoveView(&View);
  EXPECT_EQ(View.Log, (std::vector<std::string>{"topleft", "cells", "layout", "visible"}));
}
