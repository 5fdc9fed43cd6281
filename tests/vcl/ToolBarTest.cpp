#include "vcl/ComCtrls.h"

#include "vcl/ActnPopup.h"
#include "vcl/ImgList.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ToolBarTest : public ::testing::Test {
protected:
  TToolButton* Button(const UnicodeString& Name, int Left) {
    auto* B = new TToolButton(&Owner);
    B->SetName(Name);
    B->SetLeft(Left);
    B->SetParent(Bar);
    return B;
  }
  // Names in control order, each with its Left.
  std::string Order() {
    std::string S;
    for (int I = 0; I < Bar->ControlCount(); ++I)
      S += (S.empty() ? "" : " ") + UTF8Encode(Bar->Controls(I)->Name()) + "@" +
           std::to_string(Bar->Controls(I)->Left());
    return S;
  }

  TComponent Owner{nullptr};
  TToolBar* Bar = new TToolBar(&Owner);
};

TEST_F(ToolBarTest, ANewButtonIsPlacedByItsLeftAndButtonsAreLaidOutSideBySide) {
  Button(u"A", 0);
  Button(u"B", 1000); // past the end: goes last
  auto* Sep = Button(u"S", 1000);
  Sep->SetStyle(TToolButtonStyle::tbsSeparator);
  EXPECT_EQ(Order(), "A@0 B@23 S@46");
  Button(u"C", 23); // where B stands: in front of it
  EXPECT_EQ(Order(), "A@0 C@23 B@46 S@69");
  Button(u"First", 0);
  EXPECT_EQ(Order(), "First@0 A@23 C@46 B@69 S@92");
}

TEST_F(ToolBarTest, AHiddenFirstButtonTakesNoRoomAndANewButtonAtZeroStandsBeforeIt) {
  auto* Orig = Button(u"Orig", 0);
  Button(u"Next", 1000);
  Orig->SetVisible(false);
  EXPECT_EQ(Order(), "Orig@0 Next@0");
  // What the add-in does: Left 0 first, then the tool bar.
  Button(u"tbPalette", 0);
  EXPECT_EQ(Order(), "tbPalette@0 Orig@23 Next@23");
  Orig->SetVisible(true);
  EXPECT_EQ(Order(), "tbPalette@0 Orig@23 Next@46");
  Free(Bar->Controls(0));
  EXPECT_EQ(Order(), "Orig@0 Next@23");
}

TEST_F(ToolBarTest, ChangingLeftMovesAButtonToItsNewPlaceButAWidthChangeDoesNot) {
  auto* A = Button(u"A", 0);
  Button(u"B", 1000);
  auto* C = Button(u"C", 1000);
  A->SetLeft(30);
  EXPECT_EQ(Order(), "B@0 A@23 C@46");
  C->SetLeft(0);
  EXPECT_EQ(Order(), "C@0 B@23 A@46");
  // Equal Lefts (a hidden button beside a shown one) keep their order on a resize.
  C->SetVisible(false);
  EXPECT_EQ(Order(), "C@0 B@0 A@23");
  Bar->Controls(1)->SetWidth(30);
  EXPECT_EQ(Order(), "C@0 B@0 A@30");
}

TEST_F(ToolBarTest, TheImageListIsForgottenWhenReleased) {
  auto* Images = new TImageList(&Owner);
  Bar->SetImages(Images);
  EXPECT_EQ(Bar->Images(), Images);
  Free(Images);
  EXPECT_EQ(Bar->Images(), nullptr);
}

TEST_F(ToolBarTest, TheArrowDropsTheMenuDownFiringItsBeforeShowEventAndTheFaceFiresOnClick) {
  auto* B = Button(u"Drop", 0);
  EXPECT_FALSE(B->CheckMenuDropdown());
  auto* Menu = new TPopupActionBar(&Owner);
  int Shown = 0, Clicked = 0;
  Menu->OnPopup = [&](TObject* Sender) {
    EXPECT_EQ(Sender, Menu);
    ++Shown;
  };
  B->SetStyle(TToolButtonStyle::tbsDropDown);
  B->SetDropdownMenu(Menu);
  B->OnClick = [&](TObject* Sender) {
    EXPECT_EQ(Sender, B);
    ++Clicked;
  };
  EXPECT_TRUE(B->CheckMenuDropdown());
  EXPECT_TRUE(Menu->IsPoppedUp());
  EXPECT_EQ(Shown, 1);
  B->Click();
  EXPECT_EQ(Clicked, 1);
  EXPECT_EQ(Shown, 1); // the face only clicks

  auto* Check = Button(u"Check", 1000);
  Check->SetStyle(TToolButtonStyle::tbsCheck);
  Check->Click();
  EXPECT_TRUE(Check->Down());
  Check->Click();
  EXPECT_FALSE(Check->Down());
}

TEST_F(ToolBarTest, StyleIsPublishedWithDropDownAsOrdinalTwo) {
  auto* B = Button(u"B", 0);
  SetOrdProp(B, u"Style", 2);
  EXPECT_EQ(B->Style(), TToolButtonStyle::tbsDropDown);
  EXPECT_EQ(GetOrdProp(B, u"Style"), 2);
  EXPECT_EQ(GetPropInfo(*B, u"Style").Enum->Names[2], u"tbsDropDown");
}

} // namespace
