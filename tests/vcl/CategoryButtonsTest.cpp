#include "vcl/CategoryButtons.h"

#include <gtest/gtest.h>

namespace {

// Header 20, buttons 22, one per row, view 200 high.
class CategoryButtonsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Palette.SetHeight(200);
    Add(u"A", 3, false); // 0..86
    Add(u"B", 2, true);  // 86..106
    Add(u"C", 4, false); // 106..214
    Add(u"D", 12, true); // 214..234
  }
  TButtonCategory* Add(const UnicodeString& Caption, int Buttons, bool Collapsed) {
    TButtonCategory* C = Palette.Categories()->Add();
    C->SetCaption(Caption);
    for (int I = 0; I < Buttons; ++I)
      C->AddButton(u"TButton" + IntToStr(I));
    C->SetCollapsed(Collapsed);
    return C;
  }
  TCategoryButtons Palette{nullptr};
};

TEST_F(CategoryButtonsTest, GeometryFollowsCollapsedStateAndButtonRows) {
  EXPECT_EQ(Palette.CategoryTop(2), 106);
  EXPECT_EQ(Palette.CategoryHeight(0), 86);
  EXPECT_EQ(Palette.CategoryHeight(1), 20);
  EXPECT_EQ(Palette.TotalHeight(), 234);
  EXPECT_EQ(Palette.MaxScrollPosition(), 34);
  Palette.SetButtonsPerRow(3);
  EXPECT_EQ(Palette.CategoryHeight(2), 20 + 2 * 22);
  EXPECT_EQ(GetStrProp(Palette.Categories()->Items(3), u"Caption"), u"D");
}

// The tops are counted once and kept; every change that moves a category must show in them
// and in what a point finds.
TEST_F(CategoryButtonsTest, CategoryAtAndTopsFollowEveryChange) {
  EXPECT_EQ(Palette.CategoryAt(-1), -1);
  EXPECT_EQ(Palette.CategoryAt(0), 0);
  EXPECT_EQ(Palette.CategoryAt(85), 0);
  EXPECT_EQ(Palette.CategoryAt(86), 1);
  EXPECT_EQ(Palette.CategoryAt(233), 3);
  EXPECT_EQ(Palette.CategoryAt(234), -1);
  Palette.Categories()->Items(0)->SetCollapsed(true); // A: 0..20
  EXPECT_EQ(Palette.CategoryTop(2), 40);
  EXPECT_EQ(Palette.CategoryAt(30), 1);
  Palette.Categories()->Items(1)->AddButton(u"TEdit"); // B is collapsed: no move
  EXPECT_EQ(Palette.CategoryTop(2), 40);
  Palette.Categories()->Items(1)->SetCollapsed(false); // B, 3 buttons: 20..106
  EXPECT_EQ(Palette.CategoryTop(2), 106);
  Palette.Categories()->Insert(0)->SetCaption(u"New"); // 0..20, the rest 20 lower
  EXPECT_EQ(Palette.CategoryTop(3), 126);
  EXPECT_EQ(Palette.CategoryAt(10), 0);
  Palette.Categories()->Delete(1);
  EXPECT_EQ(Palette.CategoryTop(1), 20);
  Palette.SetHeaderHeight(10);
  EXPECT_EQ(Palette.CategoryTop(1), 10);
  EXPECT_EQ(Palette.TotalHeight(), 10 + 76 + 98 + 10);
  Palette.Categories()->Clear();
  EXPECT_EQ(Palette.TotalHeight(), 0);
  EXPECT_EQ(Palette.CategoryAt(0), -1);
}

TEST_F(CategoryButtonsTest, ScrollIntoViewMovesTheLeastAmount) {
  // D's header is below the view: scroll just enough to show it.
  Palette.Categories()->Items(3)->ScrollIntoView();
  EXPECT_EQ(Palette.ScrollPosition(), 34);
  EXPECT_TRUE(Palette.IsHeaderVisible(3));
  // A is above the view: scroll up to its top.
  Palette.Categories()->Items(0)->ScrollIntoView();
  EXPECT_EQ(Palette.ScrollPosition(), 0);
  // Already in view: nothing moves.
  Palette.Categories()->Items(1)->ScrollIntoView();
  EXPECT_EQ(Palette.ScrollPosition(), 0);
}

TEST_F(CategoryButtonsTest, ExpandedCategoryTallerThanTheViewShowsHeaderFirst) {
  TButtonCategory* D = Palette.Categories()->Items(3);
  D->SetCollapsed(false); // 20 + 12 * 22 = 284, taller than the view
  D->ScrollIntoView();
  EXPECT_EQ(Palette.ScrollPosition(), 214);
  EXPECT_TRUE(Palette.IsHeaderVisible(3));
  EXPECT_FALSE(Palette.IsCategoryVisible(3));
}

TEST_F(CategoryButtonsTest, ScrollPositionStaysInRangeWhenContentShrinks) {
  Palette.SetScrollPosition(1000);
  EXPECT_EQ(Palette.ScrollPosition(), 34);
  Palette.Categories()->Items(2)->SetCollapsed(true);
  EXPECT_EQ(Palette.ScrollPosition(), 0);
  Palette.Categories()->Delete(0);
  EXPECT_EQ(Palette.Categories()->Count(), 3);
  EXPECT_EQ(Palette.ScrollPosition(), 0);
}

} // namespace
