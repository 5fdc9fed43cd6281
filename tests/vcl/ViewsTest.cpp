// Views of model objects: each hears the operations of its own interface, several views hear
// the same change, setters tell only about real changes, and views come and go safely.
#include "vcl/Grids.h"
#include "vcl/Menus.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <utility>
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
  // A text taken over tells as a copied one does, and an unchanged one tells nothing.
  UnicodeString Taken = u"Category 001;Category 002";
  Grid->SetCells(0, 2, std::move(Taken));
  Grid->SetCells(0, 2, UnicodeString(u"Category 001;Category 002"));
  EXPECT_EQ(Grid->Cells(0, 2), u"Category 001;Category 002");
  Grid->SetRowCount(41);
  Grid->SetVisible(false);
  Grid->RemoveView(&View);
  EXPECT_EQ(View.Log, (std::vector<std::string>{"topleft", "cells", "cells", "layout", "visible"}));
}

TEST(Views, ViewsOfSeveralKindsHearTheirOwnInAnyOrderOfChangesAndAttachments) {
  // A grid tells through four interfaces (its own, a windowed control's, a control's and every
  // component's); each view hears exactly what its kind has, however the changes alternate and
  // whichever views took the places of detached ones.
  struct TGridLog : TGridView {
    std::vector<std::string> Log;
    void LayoutChanged(TCustomGrid*) override { Log.push_back("layout"); }
    void ControlsChanged(TWinControl*) override { Log.push_back("controls"); }
    void VisibleChanged(TControl*) override { Log.push_back("visible"); }
    void NameChanged(TComponent*) override { Log.push_back("name"); }
  } Grid1, Grid2;
  struct TControlOnly : TControlView {
    std::vector<std::string> Log;
    void VisibleChanged(TControl*) override { Log.push_back("visible"); }
    void NameChanged(TComponent*) override { Log.push_back("name"); }
  } Control;
  std::vector<std::string> MenuLog;
  TMenuLog Menu("menu", MenuLog);

  TOwned<TStringGrid> Grid(new TStringGrid(nullptr));
  TOwned<TStringGrid> Child(new TStringGrid(nullptr));
  Grid->AddView(&Grid1);
  Grid->AddView(&Menu);
  Grid->AddView(&Control);
  for (int Round = 0; Round < 2; ++Round) {
    Grid->SetRowCount(10 + Round);
    Grid->SetVisible(Round == 1);
    Child->SetParent(Grid.get());
    Grid->SetName(Round == 0 ? u"A" : u"B");
    Child->SetParent(nullptr);
  }
  const std::vector<std::string> Round = {"layout", "visible", "controls", "name", "controls"};
  std::vector<std::string> Twice = Round;
  Twice.insert(Twice.end(), Round.begin(), Round.end());
  EXPECT_EQ(Grid1.Log, Twice);
  EXPECT_EQ(Control.Log, (std::vector<std::string>{"visible", "name", "visible", "name"}));

  // The first place goes to a view of another kind, then to another grid view.
  Grid->RemoveView(&Grid1);
  Grid->RemoveView(&Menu);
  Grid->RemoveView(&Control);
  Grid->AddView(&Menu);
  Grid->SetRowCount(20);
  Grid->SetVisible(false);
  Grid->RemoveView(&Menu);
  Grid->AddView(&Grid2);
  Grid->SetRowCount(21);
  Grid->SetVisible(true);
  Grid->RemoveView(&Grid2);
  EXPECT_EQ(Grid1.Log, Twice);
  EXPECT_EQ(Grid2.Log, (std::vector<std::string>{"layout", "visible"}));
  EXPECT_TRUE(MenuLog.empty());
}
