#include "OvPaletteMenuCategoriesForm.h"
#include "PaletteMenuFixture.h"

#include "HiveFaults.h"
#include "rtl/RegistryHive.h"
#include "rtl/SqliteHive.h"
#include "vcl/Creation.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

const UnicodeString StoreKey = u"Software\\Orvik\\Palette Menu";
const UnicodeString CategoriesKey = StoreKey + u"\\Categories";

// What the dialog's store handles changed, and how many are open.
struct TStoreLog {
  std::vector<std::string> Changes; // "write Name=Value", "delete Name"
  int Batches = 0;                  // changes made as one transaction
  bool RefuseBatches = false;       // refuse them, as a hive without transactions does
  int OpenHandles = 0;
};

// Passes everything to a handle on the real hive and logs the changes that went through.
class TStoreSpy : public TForwardingHive {
public:
  TStoreSpy(std::unique_ptr<TRegistryHive> Inner, TStoreLog& Log)
      : TForwardingHive(std::move(Inner)), FLog(Log) {
    ++FLog.OpenHandles;
  }
  ~TStoreSpy() override { --FLog.OpenHandles; }
  void WriteValue(std::u16string_view P, const TRegValue& V) override {
    TForwardingHive::WriteValue(P, V);
    FLog.Changes.push_back("write " + UTF8Encode(V.Name) + "=" + UTF8Encode(V.AsString()));
  }
  void DeleteValue(std::u16string_view P, std::u16string_view N) override {
    TForwardingHive::DeleteValue(P, N);
    FLog.Changes.push_back("delete " + UTF8Encode(N));
  }
  void Apply(const std::vector<TRegChange>& Changes) override {
    if (FLog.RefuseBatches)
      TRegistryHive::Apply(Changes);
    TForwardingHive::Apply(Changes);
    ++FLog.Batches;
    for (const TRegChange& C : Changes)
      FLog.Changes.push_back(C.Kind == TRegChange::WriteValue
                                 ? "write " + UTF8Encode(C.Value.Name) + "=" +
                                       UTF8Encode(C.Value.AsString())
                                 : "delete " + UTF8Encode(C.Value.Name));
  }

private:
  TStoreLog& FLog;
};

// The dialog plays against the current user's hive (the test program's own hive file), seen
// through a spy.
class CategoriesDialogTest : public PaletteMenuTest {
protected:
  void SetUp() override {
    PaletteMenuTest::SetUp();
    Spied.emplace(
        [this] { return std::make_unique<TStoreSpy>(OpenSqliteHive(CurrentUserHiveFile()), Log); });
    Store = std::make_unique<TRegIniFile>(StoreKey, OpenSqliteHive(CurrentUserHiveFile()));
    Store->EraseSection(u"Categories");
    FormsBefore = Screen->FormCount();
    OwnedBefore = Application->ComponentCount();
  }
  void TearDown() override {
    Store->EraseSection(u"Categories");
    Runner.reset();
    Spied.reset(); // back to the default: the hive file
    PaletteMenuTest::TearDown();
  }

  // Opens the editor through the drop-down menu's "Edit Categories..."; User plays the user
  // while the dialog is shown and returns the modal result.
  void EditCategories(std::function<int(TOvFrmPaletteMenuCategories&)> User) {
    Runner.reset();
    Runner.emplace([User](TCustomForm& F) {
      auto* Dialog = dynamic_cast<TOvFrmPaletteMenuCategories*>(&F);
      EXPECT_NE(Dialog, nullptr);
      return Dialog ? User(*Dialog) : mrNone;
    });
    OpenButton();
    TMenuItem* Items = ButtonMenu()->Items();
    Items->Items(Items->Count() - 1)->Click();
  }
  static int PressOk(TOvFrmPaletteMenuCategories& D) {
    D.BtnOk->Click();
    return D.ModalResult();
  }
  static std::vector<std::string> Column(TStringGrid* Grid, int Col) {
    std::vector<std::string> R;
    for (int Row = 0; Row < Grid->RowCount(); ++Row)
      R.push_back(UTF8Encode(Grid->Cells(Col, Row)));
    return R;
  }
  void Put(const UnicodeString& Key, const UnicodeString& Value) {
    Store->WriteString(u"Categories", Key, Value);
  }
  std::optional<std::string> Stored(const UnicodeString& Key) {
    auto V = Store->Hive().ReadValue(CategoriesKey, Key);
    return V ? std::optional<std::string>(UTF8Encode(V->AsString())) : std::nullopt;
  }
  void ExpectDialogReleased() {
    EXPECT_EQ(Screen->FormCount(), FormsBefore);
    EXPECT_EQ(Application->ComponentCount(), OwnedBefore);
    EXPECT_EQ(Log.OpenHandles, 0); // FormDestroy closed the dialog's store handle
  }

  TStoreLog Log;
  std::optional<TCurrentUserHiveScope> Spied;
  std::optional<TModalRunnerScope> Runner; // the user EditCategories plays
  std::unique_ptr<TRegIniFile> Store;      // a handle of our own, past the spy
  int FormsBefore = 0, OwnedBefore = 0;
};

TEST_F(CategoriesDialogTest, StoredLayoutGivesEveryValue) {
  TOwned<TOvFrmPaletteMenuCategories> D(CreateComponent<TOvFrmPaletteMenuCategories>(Application));
  EXPECT_EQ(D->Name(), u"OvFrmPaletteMenuCategories");
  EXPECT_FALSE(D->OldCreateOrder());
  EXPECT_EQ(D->Caption(), u"Component Palette Categories");
  EXPECT_EQ(D->BorderStyle(), bsDialog);
  EXPECT_EQ(D->ClientWidth(), 297);
  EXPECT_EQ(D->ClientHeight(), 373);
  EXPECT_EQ(D->Position(), poScreenCenter);
  EXPECT_EQ(D->Left(), 450);
  EXPECT_EQ(D->Top(), 117);
  EXPECT_EQ(D->Color(), clBtnFace);
  EXPECT_EQ(D->Font()->Name(), u"Verdana");
  EXPECT_EQ(D->Font()->Height(), -11);
  EXPECT_EQ(D->Font()->Size(), 8);
  EXPECT_EQ(D->Font()->Charset(), ANSI_CHARSET);
  EXPECT_EQ(D->Font()->Color(), clWindowText);
  EXPECT_EQ(D->Font()->Style(), 0u);
  EXPECT_EQ(D->PixelsPerInch(), 96);
  EXPECT_EQ(D->TextHeight(), 13);
  EXPECT_TRUE(D->OnCreate && D->OnDestroy);

  // Children in tab order, on the form and in its published fields.
  ASSERT_EQ(D->ControlCount(), 3);
  TStringGrid* G = D->GrdCategories;
  ASSERT_EQ(D->Controls(0), G);
  ASSERT_EQ(D->Controls(1), D->BtnOk);
  ASSERT_EQ(D->Controls(2), D->BtnCancel);
  EXPECT_EQ(G->TabOrder(), 0);
  EXPECT_EQ((std::vector<int>{G->Left(), G->Top(), G->Width(), G->Height()}),
            (std::vector<int>{8, 8, 281, 326}));
  EXPECT_EQ(G->ColCount(), 2);
  EXPECT_EQ(G->RowCount(), 2);
  EXPECT_EQ(G->FixedCols(), 0);
  EXPECT_EQ(G->FixedRows(), 1);
  EXPECT_EQ(G->DefaultColWidth(), 128);
  EXPECT_EQ(G->DefaultRowHeight(), 18);
  EXPECT_FALSE(G->DefaultDrawing());
  EXPECT_EQ(G->Options(), TGridOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine |
                                       goEditing | goThumbTracking));
  EXPECT_TRUE(G->Ctl3D());
  EXPECT_FALSE(G->ParentCtl3D());
  EXPECT_TRUE(G->OnDrawCell && G->OnSelectCell);
  for (auto [Button, Left, Caption, Result, Order] :
       {std::tuple{D->BtnOk, 131, u"OK", mrOk, 1}, {D->BtnCancel, 214, u"Cancel", mrCancel, 2}}) {
    EXPECT_EQ((std::vector<int>{Button->Left(), Button->Top(), Button->Width(), Button->Height()}),
              (std::vector<int>{Left, 342, 75, 25}));
    EXPECT_EQ(Button->Caption(), Caption);
    EXPECT_EQ(Button->ModalResult(), Result);
    EXPECT_EQ(Button->TabOrder(), Order);
  }
  // FormCreate ran: an empty tab list and an open store handle.
  EXPECT_EQ(D->Tabs->Count(), 0);
  EXPECT_EQ(Log.OpenHandles, 1);

  // Shown, the dialog stands in the middle of the screen with the focus in the grid.
  Runner.reset();
  Runner.emplace([](TCustomForm& F) { return F.ModalResult(); });
  D->ShowModal();
  EXPECT_EQ(D->Left(), (Screen->Width() - 297) / 2);
  EXPECT_EQ(D->Top(), (Screen->Height() - 373) / 2);
  EXPECT_EQ(D->ActiveControl(), G);
}

TEST_F(CategoriesDialogTest, OkWithoutEditsRewritesEachNonEmptyValueUnchanged) {
  for (auto C : {u"Standard", u"Win32", u"Additional", u"System"})
    Tab(C);
  Put(u"Standard", u"Common;VCL");
  Put(u"Win32", u"  ");
  EditCategories([](TOvFrmPaletteMenuCategories& D) {
    EXPECT_EQ(Column(D.GrdCategories, 0),
              (std::vector<std::string>{"Tab", "Additional", "Standard", "System", "Win32"}));
    EXPECT_EQ(Column(D.GrdCategories, 1),
              (std::vector<std::string>{"Category", "", "Common;VCL", "", "  "}));
    EXPECT_EQ(D.GrdCategories->Selection(), (TGridRect{1, 1, 1, 1}));
    return PressOk(D);
  });
  EXPECT_EQ(Log.Changes, (std::vector<std::string>{"delete Additional", "write Standard=Common;VCL",
                                                   "delete System", "write Win32=  "}));
  EXPECT_EQ(Stored(u"Standard"), "Common;VCL");
  EXPECT_EQ(Stored(u"Additional"), std::nullopt);
  ExpectDialogReleased();
}

TEST_F(CategoriesDialogTest, OnlyTheCategoryColumnCanBeEditedAndIsStoredAsTyped) {
  for (auto C : {u"Additional", u"Standard", u"System"})
    Tab(C);
  Put(u"Standard", u"Common");
  Put(u"System", u"Old");
  EditCategories([](TOvFrmPaletteMenuCategories& D) {
    TStringGrid* G = D.GrdCategories;
    EXPECT_FALSE(G->UserSelectCell(0, 2)); // the tab keys stay put
    EXPECT_EQ(G->Selection(), (TGridRect{1, 1, 1, 1}));
    EXPECT_TRUE(G->UserEditCell(u"A; B"));
    EXPECT_EQ(G->Cells(0, 1), u"Additional");
    EXPECT_TRUE(G->UserSelectCell(1, 2));
    EXPECT_TRUE(G->UserEditCell(u""));
    EXPECT_TRUE(G->UserSelectCell(1, 3));
    EXPECT_TRUE(G->UserEditCell(u"   "));
    return PressOk(D);
  });
  EXPECT_EQ(Stored(u"Additional"), "A; B");
  EXPECT_EQ(Stored(u"Standard"), std::nullopt); // cleared: the value is gone
  EXPECT_EQ(Stored(u"System"), "   ");
  ExpectDialogReleased();
}

// Each row is its own change; confirming puts them all on the disk at once, though the hive
// stays open (our own handle keeps it so) and nothing folds the journal into the file.
TEST_F(CategoriesDialogTest, OkPutsEveryRowOnTheDiskWithOneFlush) {
  for (int I = 1; I <= 30; ++I)
    Tab(u"Tab " + IntToStr(I));
  const std::string Folder =
      std::filesystem::path(UTF8Encode(CurrentUserHiveFile())).parent_path().string();
  int SyncsBefore = 0;
  EditCategories([&](TOvFrmPaletteMenuCategories& D) {
    for (int Row = 1; Row <= 30; ++Row) {
      D.GrdCategories->UserSelectCell(1, Row);
      D.GrdCategories->UserEditCell(u"Edited");
    }
    SyncsBefore = HiveFiles::Syncs();
    return PressOk(D);
  });
  EXPECT_EQ(Log.Changes.size(), 30u);
  EXPECT_EQ(Log.Batches, 1); // every row in one commit
  // The flush, and one more when the first row starts a new journal (its header is synced).
  EXPECT_GE(HiveFiles::Syncs() - SyncsBefore, 1);
  EXPECT_LE(HiveFiles::Syncs() - SyncsBefore, 2);
  EXPECT_EQ(HiveFiles::UnsyncedFiles(Folder), 0);
  for (int I = 1; I <= 30; ++I)
    EXPECT_EQ(Stored(u"Tab " + IntToStr(I)), "Edited");
  ExpectDialogReleased();
}

TEST_F(CategoriesDialogTest, CancelOrClosingWritesNothing) {
  Tab(u"Standard");
  Put(u"Standard", u"Common");
  for (bool Close : {false, true}) {
    EditCategories([Close](TOvFrmPaletteMenuCategories& D) {
      D.GrdCategories->UserEditCell(u"Changed");
      if (Close)
        D.Close();
      else
        D.BtnCancel->Click();
      return D.ModalResult();
    });
    EXPECT_TRUE(Log.Changes.empty());
    EXPECT_EQ(Stored(u"Standard"), "Common");
    ExpectDialogReleased();
  }
}

TEST_F(CategoriesDialogTest, CaptionsEqualButForCaseOrAmpersandShareOneRow) {
  for (auto C : {u"Standard", u"standard", u"Stand&ard", u"&Dialogs", u"Dialogs", u"dial&ogs"})
    Tab(C);
  Put(u"Standard", u"Common");
  EditCategories([](TOvFrmPaletteMenuCategories& D) {
    EXPECT_EQ(D.Tabs->Count(), 5); // the launcher's sorted list drops 'standard'
    EXPECT_EQ(Column(D.GrdCategories, 0), (std::vector<std::string>{"Tab", "Dialogs", "Standard"}));
    EXPECT_EQ(Column(D.GrdCategories, 1), (std::vector<std::string>{"Category", "", "Common"}));
    D.GrdCategories->UserSelectCell(1, 2);
    D.GrdCategories->UserEditCell(u"Mine");
    return PressOk(D);
  });
  // The edit is saved, not overwritten by a second row of the same key.
  EXPECT_EQ(Log.Changes, (std::vector<std::string>{"delete Dialogs", "write Standard=Mine"}));
  EXPECT_EQ(Stored(u"Standard"), "Mine");
}

TEST_F(CategoriesDialogTest, LookalikeCaptionsAreNamesOfTheirOwnWithRowsOfTheirOwn) {
  for (auto C : {u"Standard", u"\uFF21bc", u"\uFB01le", u"STANDARD", u"Abc", u"file"})
    Tab(C);
  Put(u"Abc", u"Latin");
  Put(u"\uFF21bc", u"Wide");
  Put(u"Standard", u"Common");
  EditCategories([](TOvFrmPaletteMenuCategories& D) {
    EXPECT_EQ(D.Tabs->Count(), 5); // only 'STANDARD' is dropped
    EXPECT_EQ(Column(D.GrdCategories, 0),
              (std::vector<std::string>{"Tab", "Abc", UTF8Encode(u"\uFF21bc"), "file",
                                        UTF8Encode(u"\uFB01le"), "Standard"}));
    EXPECT_EQ(Column(D.GrdCategories, 1),
              (std::vector<std::string>{"Category", "Latin", "Wide", "", "", "Common"}));
    D.GrdCategories->UserSelectCell(1, 2);
    D.GrdCategories->UserEditCell(u"Full");
    D.GrdCategories->UserSelectCell(1, 4);
    D.GrdCategories->UserEditCell(u"Ligature");
    return PressOk(D);
  });
  EXPECT_EQ(Log.Changes, (std::vector<std::string>{
                             "write Abc=Latin", UTF8Encode(u"write \uFF21bc=Full"), "delete file",
                             UTF8Encode(u"write \uFB01le=Ligature"), "write Standard=Common"}));
  EXPECT_EQ(Stored(u"Abc"), "Latin");
  EXPECT_EQ(Stored(u"\uFF21bc"), "Full");
  EXPECT_EQ(Stored(u"file"), std::nullopt);
  EXPECT_EQ(Stored(u"\uFB01le"), "Ligature");
  ExpectDialogReleased();
}

TEST_F(CategoriesDialogTest, NoPaletteTabsGiveTheHeaderOnlyAndOkWritesNothing) {
  EditCategories([](TOvFrmPaletteMenuCategories& D) {
    TStringGrid* G = D.GrdCategories;
    EXPECT_EQ(Column(G, 0), (std::vector<std::string>{"Tab"}));
    EXPECT_EQ(Column(G, 1), (std::vector<std::string>{"Category"}));
    EXPECT_FALSE(G->HasCurrentCell());
    EXPECT_FALSE(G->UserSelectCell(1, 0));
    EXPECT_FALSE(G->UserEditCell(u"x"));
    return PressOk(D);
  });
  EXPECT_TRUE(Log.Changes.empty());
  ExpectDialogReleased();
}

TEST_F(CategoriesDialogTest, GridPaintsHeadersKeysSelectionAndFocus) {
  Tab(u"Standard");
  Tab(u"Additional");
  Put(u"Standard", u"Common");
  std::vector<TCanvasOperation> First, Second;
  EditCategories([&](TOvFrmPaletteMenuCategories& D) {
    TStringGrid* G = D.GrdCategories;
    G->Paint();
    First = G->Canvas()->Operations();
    G->UserSelectCell(1, 2);
    G->Paint();
    Second = G->Canvas()->Operations();
    return mrCancel;
  });
  // Six cells, each a fill and a text; the focused cell a focus rectangle.
  ASSERT_EQ(First.size(), 13u);
  struct TWant {
    int Col, Row;
    TColor Fill, Text;
    const char16_t* Caption;
  };
  const TWant Want[] = {
      {0, 0, clBtnFace, clWindowText, u"Tab"},        {1, 0, clBtnFace, clWindowText, u"Category"},
      {0, 1, clBtnFace, clWindowText, u"Additional"}, {1, 1, clHighlight, clHighlightText, u""},
      {0, 2, clBtnFace, clWindowText, u"Standard"},   {1, 2, clWindow, clWindowText, u"Common"}};
  size_t Op = 0;
  for (const TWant& W : Want) {
    const TRect Cell = Rect(W.Col * 129, W.Row * 19, W.Col * 129 + 128, W.Row * 19 + 18);
    const TCanvasOperation& Fill = First[Op++];
    const TCanvasOperation& Text = First[Op++];
    EXPECT_EQ(Fill.Kind, TCanvasOperation::coFillRect);
    EXPECT_EQ(Fill.Rect, Cell);
    EXPECT_EQ(Fill.Color, W.Fill) << W.Col << "," << W.Row;
    EXPECT_EQ(Text.Kind, TCanvasOperation::coText);
    EXPECT_EQ(Text.Rect, Cell); // clipped to the cell
    EXPECT_EQ((TPoint{Text.X, Text.Y}), (TPoint{Cell.Left + 2, Cell.Top + 2}));
    EXPECT_EQ(Text.Color, W.Text) << W.Col << "," << W.Row;
    EXPECT_EQ(Text.Text, W.Caption);
    EXPECT_EQ(Text.FontName, u"Verdana");
    EXPECT_EQ(Text.FontHeight, -11);
    if (W.Col == 1 && W.Row == 1) {
      EXPECT_EQ(First[Op].Kind, TCanvasOperation::coFocusRect);
      EXPECT_EQ(First[Op++].Rect, Cell);
    }
  }
  // After a click on (1, 2), that cell is highlighted and focused instead.
  ASSERT_EQ(Second.size(), 13u);
  EXPECT_EQ(Second[6].Color, clWindow);
  EXPECT_EQ(Second[10].Color, clHighlight);
  EXPECT_EQ(Second[11].Color, clHighlightText);
  EXPECT_EQ(Second[12].Kind, TCanvasOperation::coFocusRect);
}

// A row the store refuses stops the save at that row: the rows before it are written, the
// failure goes on with its message, and the dialog is released all the same. The rows are
// written one by one when they cannot be written together: here because the hive refuses a
// batch, as one that cannot make transactions does, and then the hive file refuses the second.
TEST_F(CategoriesDialogTest, StoreFailingInSaveKeepsEarlierRowsAndReleasesTheDialog) {
  for (auto C : {u"A", u"B", u"C"})
    Tab(C);
  Log.RefuseBatches = true;
  std::optional<THiveFaultInjection> Fault;
  std::string Message;
  try {
    EditCategories([&](TOvFrmPaletteMenuCategories& D) {
      for (int Row = 1; Row <= 3; ++Row) {
        D.GrdCategories->UserSelectCell(1, Row);
        D.GrdCategories->UserEditCell(u"Cat" + IntToStr(Row));
      }
      Fault.emplace(hoWrite, 1);
      return PressOk(D);
    });
  } catch (const ERegistryException& E) {
    Message = UTF8Encode(E.Message());
  }
  EXPECT_EQ(Fault->OperationsFailed(), 1);
  Fault.reset();
  EXPECT_NE(Message.find("Cannot write value 'B' of key"), std::string::npos) << Message;
  EXPECT_EQ(Log.Changes, (std::vector<std::string>{"write A=Cat1"}));
  EXPECT_EQ(Stored(u"A"), "Cat1");
  EXPECT_EQ(Stored(u"B"), std::nullopt);
  EXPECT_EQ(Stored(u"C"), std::nullopt);
  ExpectDialogReleased();
}

// The hive file refusing every write: nothing is written, and the failure is shown.
TEST_F(CategoriesDialogTest, StoreRefusingEveryWriteInSaveWritesNothingAndSaysSo) {
  for (auto C : {u"A", u"B"})
    Tab(C);
  Put(u"A", u"Before");
  std::optional<THiveFaultInjection> Fault;
  EXPECT_THROW(EditCategories([&](TOvFrmPaletteMenuCategories& D) {
                 for (int Row = 1; Row <= 2; ++Row) {
                   D.GrdCategories->UserSelectCell(1, Row);
                   D.GrdCategories->UserEditCell(u"Cat" + IntToStr(Row));
                 }
                 Fault.emplace(hoWrite, 0, -1);
                 return PressOk(D);
               }),
               ERegistryException);
  EXPECT_EQ(Fault->OperationsFailed(), 2); // the rows together, then the first row alone
  Fault.reset();
  EXPECT_TRUE(Log.Changes.empty());
  EXPECT_EQ(Stored(u"A"), "Before");
  EXPECT_EQ(Stored(u"B"), std::nullopt);
  ExpectDialogReleased();
}

// A failure of the rows written together that the rows written one by one do not meet (a
// passing one) costs the save nothing.
TEST_F(CategoriesDialogTest, StoreFailingOnceInSaveStillWritesEveryRow) {
  for (auto C : {u"A", u"B", u"C"})
    Tab(C);
  std::optional<THiveFaultInjection> Fault;
  EditCategories([&](TOvFrmPaletteMenuCategories& D) {
    for (int Row = 1; Row <= 3; ++Row) {
      D.GrdCategories->UserSelectCell(1, Row);
      D.GrdCategories->UserEditCell(u"Cat" + IntToStr(Row));
    }
    Fault.emplace(hoWrite, 0, 1);
    return PressOk(D);
  });
  EXPECT_EQ(Fault->OperationsFailed(), 1);
  Fault.reset();
  EXPECT_EQ(Log.Batches, 0);
  EXPECT_EQ(Log.Changes,
            (std::vector<std::string>{"write A=Cat1", "write B=Cat2", "write C=Cat3"}));
  for (auto [Tab, Cat] : {std::pair{u"A", "Cat1"}, {u"B", "Cat2"}, {u"C", "Cat3"}})
    EXPECT_EQ(Stored(Tab), Cat);
  ExpectDialogReleased();
}

TEST_F(CategoriesDialogTest, StoreFailingToOpenReleasesTheHalfBuiltDialog) {
  Tab(u"Standard");
  bool Shown = false;
  {
    THiveFaultInjection Fault(hoOpen, 0);
    EXPECT_THROW(EditCategories([&](TOvFrmPaletteMenuCategories& D) {
                   Shown = true;
                   return PressOk(D);
                 }),
                 ERegistryException);
  }
  EXPECT_FALSE(Shown);
  ExpectDialogReleased();
}

} // namespace

namespace {

// Tabs given straight to the dialog, in no order and with repeats (as another caller may give
// them): one row per key as the store folds names, in the order of first appearance, with
// rows enough to fill the dialog's table of keys many times over.
TEST_F(CategoriesDialogTest, RowsAreTheDistinctKeysInTheOrderOfTheirFirstAppearance) {
  std::vector<UnicodeString> Given;
  for (int I = 0; I < 300; ++I) {
    const UnicodeString N = IntToStr((I * 37) % 101);
    Given.push_back(u"Tab " + N);
    if (I % 3 == 0)
      Given.push_back(u"TAB " + N);
    if (I % 5 == 0)
      Given.push_back(u"&tab " + N);
    if (I % 7 == 0)
      Given.push_back(u"\u00c4rger " + N);
    if (I % 11 == 0)
      Given.push_back(u"\u00e4RGER &" + N); // the same key as the one above, but for case
    if (I % 13 == 0)
      Given.push_back(u"Arger " + N); // another key: accents are not letter case
    // The Kelvin sign folds to an ASCII 'k': the same key as an all-ASCII spelling.
    if (I % 17 == 0)
      Given.push_back(u"\u212Aelvin " + N);
    if (I % 4 == 0)
      Given.push_back(u"kELVIN " + N);
  }
  std::vector<std::string> Expected{"Tab"};
  std::vector<UnicodeString> Folded;
  for (const UnicodeString& G : Given) {
    UnicodeString Key = G;
    std::erase(Key, u'&');
    const UnicodeString F = RegistryNames::Fold(Key);
    if (std::find(Folded.begin(), Folded.end(), F) == Folded.end()) {
      Folded.push_back(F);
      Expected.push_back(UTF8Encode(Key));
    }
  }
  Put(u"tab 5", u"Five");
  Put(u"\u00e4RGER 0", u"Zero");
  TOwned<TOvFrmPaletteMenuCategories> Dialog(
      CreateComponent<TOvFrmPaletteMenuCategories>(Application));
  TStringList List;
  for (const UnicodeString& G : Given)
    List.Add(G);
  Dialog->Tabs = List; // copied: the list keeps its strings
  EXPECT_EQ(List.Count(), static_cast<int>(Given.size()));
  Dialog->UpdateControls();
  TStringGrid* G = Dialog->GrdCategories;
  EXPECT_EQ(Column(G, 0), Expected);
  for (int Row = 1; Row < G->RowCount(); ++Row) {
    const std::string Key = UTF8Encode(G->Cells(0, Row));
    const std::string Want = Key == "Tab 5"                       ? "Five"
                             : Key == UTF8Encode(u"\u00c4rger 0") ? "Zero"
                                                                  : "";
    EXPECT_EQ(UTF8Encode(G->Cells(1, Row)), Want) << Key;
  }
  EXPECT_EQ(G->Selection(), (TGridRect{1, 1, 1, 1}));
  // Filled again from a copy of the list: the same rows.
  TStringList Again;
  for (const UnicodeString& S : Given)
    Again.Add(S);
  Dialog->Tabs = Again;
  EXPECT_EQ(Dialog->Tabs->Count(), static_cast<int>(Given.size()));
  Dialog->UpdateControls();
  EXPECT_EQ(Column(G, 0), Expected);
}

} // namespace
