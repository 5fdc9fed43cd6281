#include "vcl/Forms.h"

#include "vcl/Graphics.h"
#include "vcl/Grids.h"
#include "vcl/StdCtrls.h"

#include <gtest/gtest.h>

#include <memory>

#include <string>
#include <vector>

namespace {

TEST(Forms, AButtonClickEndsTheModalRunWithItsResult) {
  TOwned<TForm> Form(new TForm(Application));
  Form->SetName(u"Dialog");
  auto* Ok = new TButton(Form.get());
  Ok->SetParent(Form.get());
  Ok->SetModalResult(mrOk);
  auto* Cancel = new TButton(Form.get());
  Cancel->SetParent(Form.get());
  Cancel->SetModalResult(mrCancel);
  std::vector<std::string> Seen;
  Ok->OnClick = [&](TObject*) {
    Seen.push_back("ok clicked, result " + std::to_string(Form->ModalResult()));
  };

  TButton* Press = Ok;
  TModalRunnerScope Guard([&](TCustomForm& F) {
    EXPECT_TRUE(F.IsModal());
    EXPECT_TRUE(F.Visible());
    EXPECT_EQ(F.ModalResult(), mrNone);
    Press->Click();
    return F.ModalResult();
  });
  EXPECT_EQ(Form->ShowModal(), mrOk);
  EXPECT_EQ(Seen, (std::vector<std::string>{"ok clicked, result 1"}));
  EXPECT_FALSE(Form->IsModal());
  EXPECT_FALSE(Form->Visible());

  Press = Cancel;
  EXPECT_EQ(Form->ShowModal(), mrCancel);
  // A disabled button does nothing; closing the window cancels.
  Ok->SetEnabled(false);
  Press = Ok;
  TModalRunnerScope Closing([&](TCustomForm& F) {
    Press->Click();
    EXPECT_EQ(F.ModalResult(), mrNone);
    F.Close();
    return F.ModalResult();
  });
  EXPECT_EQ(Form->ShowModal(), mrCancel);
}

TEST(Forms, ShowModalWithoutARunnerFailsNamingTheForm) {
  TModalRunnerScope Guard(nullptr);
  TOwned<TForm> Form(new TForm(nullptr));
  Form->SetName(u"Lonely");
  try {
    Form->ShowModal();
    FAIL() << "a form was shown without a front end";
  } catch (const EInvalidOperation& E) {
    EXPECT_EQ(E.Message(), u"Cannot show form Lonely modally: no front end runs modal forms");
  }
  EXPECT_FALSE(Form->Visible());
}

TEST(Forms, ShowingPlacesTheFormAndFocusesTheFirstControlInTabOrder) {
  Screen->SetSize(1000, 800);
  TOwned<TForm> Form(new TForm(nullptr));
  Form->SetBounds(450, 117, 300, 200);
  auto* Second = new TButton(Form.get());
  Second->SetParent(Form.get());
  Second->SetTabOrder(1);
  auto* First = new TStringGrid(Form.get());
  First->SetParent(Form.get());
  First->SetTabOrder(0);
  TModalRunnerScope Guard([](TCustomForm& F) { return F.ModalResult(); });

  Form->ShowModal(); // poDefaultPosOnly keeps the stored place
  EXPECT_EQ(Form->Left(), 450);
  EXPECT_EQ(Form->ActiveControl(), First);
  Form->SetPosition(poScreenCenter);
  Form->ShowModal();
  EXPECT_EQ(Form->Left(), 350);
  EXPECT_EQ(Form->Top(), 300);
  Screen->SetSize(1920, 1080);

  // A released active control leaves no dangling focus behind.
  Free(First);
  EXPECT_EQ(Form->ActiveControl(), nullptr);
}

TEST(Graphics, FontSizeFollowsHeightAtNinetySixPixelsPerInch) {
  TFont Font;
  int Changes = 0;
  Font.OnChange = [&](TObject*) { ++Changes; };
  Font.SetHeight(-11);
  EXPECT_EQ(Font.Size(), 8);
  Font.SetSize(10);
  EXPECT_EQ(Font.Height(), -13);
  TFont Copy;
  Copy.SetColor(clRed);
  Copy.Assign(Font);
  EXPECT_TRUE(Copy == Font);
  EXPECT_EQ(Changes, 1); // -11 was already the height
}

TEST(Graphics, CanvasRecordsFillsTextAndFocusFrames) {
  TCanvas Canvas;
  TFont Font;
  Font.SetName(u"Verdana");
  Font.SetHeight(-11);
  Font.SetColor(clHighlightText);
  Canvas.SetFont(Font);
  Canvas.Brush()->SetColor(clHighlight);
  Canvas.TextRect(Rect(10, 20, 60, 40), 12, 22, u"text");
  Canvas.Brush()->SetStyle(bsClear);
  Canvas.TextRect(Rect(0, 0, 5, 5), 1, 1, u"clear");
  Canvas.DrawFocusRect(Rect(10, 20, 60, 40));
  const auto& Ops = Canvas.Operations();
  ASSERT_EQ(Ops.size(), 4u);
  EXPECT_EQ(Ops[0].Kind, TCanvasOperation::coFillRect);
  EXPECT_EQ(Ops[0].Color, clHighlight);
  EXPECT_EQ(Ops[1].Kind, TCanvasOperation::coText);
  EXPECT_EQ(Ops[1].Rect, Rect(10, 20, 60, 40));
  EXPECT_EQ(Ops[1].Color, clHighlightText);
  EXPECT_EQ(Ops[1].FontName, u"Verdana");
  EXPECT_EQ(Ops[1].FontHeight, -11);
  EXPECT_EQ(Ops[2].Text, u"clear"); // a clear brush fills nothing
  EXPECT_EQ(Ops[3].Kind, TCanvasOperation::coFocusRect);
  Canvas.ClearOperations();
  EXPECT_TRUE(Canvas.Operations().empty());
}

} // namespace

namespace {

// Shows a new form modally; the runners below answer who ran it by their result.
int RunForm() {
  TOwned<TForm> Form(new TForm(Application));
  return Form->ShowModal();
}

TEST(ModalRunnerScope, TheInnermostScopeRunsFormsAndEachEndPutsTheOneItCoveredBack) {
  TModalRunnerScope Base([](TCustomForm&) { return 10; });
  EXPECT_EQ(RunForm(), 10);
  {
    TModalRunnerScope Outer([](TCustomForm&) { return 20; });
    EXPECT_EQ(RunForm(), 20);
    {
      TModalRunnerScope Inner([](TCustomForm&) { return 30; });
      EXPECT_EQ(RunForm(), 30);
    }
    EXPECT_EQ(RunForm(), 20);
  }
  EXPECT_EQ(RunForm(), 10);
}

// Ending a scope before one that started after it is a mistake: debug builds stop there, other
// builds take only its own runner away.
TEST(ModalRunnerScope, AScopeThatEndsOutOfOrderTakesOnlyItsOwnRunnerAway) {
  TModalRunnerScope Base(nullptr);
  auto First = std::make_unique<TModalRunnerScope>([](TCustomForm&) { return 1; });
  auto Second = std::make_unique<TModalRunnerScope>([](TCustomForm&) { return 2; });
#ifndef NDEBUG
  EXPECT_DEATH(First.reset(), "hook scopes end in the reverse order of their start");
  Second.reset();
  First.reset();
#else
  First.reset();
  // The later scope is still in force; the earlier one's runner is gone for good.
  EXPECT_EQ(RunForm(), 2);
  Second.reset();
#endif
  TOwned<TForm> Form(new TForm(Application));
  EXPECT_THROW(Form->ShowModal(), EInvalidOperation);
}

TEST(ModalRunnerScope, ARunnerMayInstallAnotherForTheFormsItOpens) {
  TModalRunnerScope Base(nullptr);
  // The outer runner opens a nested form under a scope of its own, which ends inside the run.
  std::vector<int> Results;
  TModalRunnerScope Outer([&](TCustomForm&) {
    TModalRunnerScope Nested([](TCustomForm&) { return mrYes; });
    TOwned<TForm> Inner(new TForm(Application));
    Results.push_back(Inner->ShowModal());
    return mrOk;
  });
  TOwned<TForm> Form(new TForm(Application));
  EXPECT_EQ(Form->ShowModal(), mrOk);
  EXPECT_EQ(Form->ShowModal(), mrOk);
  EXPECT_EQ(Results, (std::vector<int>{mrYes, mrYes}));
}

} // namespace
