// Drives the real widgets of the desktop window against a small model, on a real X server,
// through mouse and key events.
#include "DesktopUserInput.h"
#include "Failures.h"
#include "FormDialog.h"
#include "GridMirror.h"
#include "MenuMirrors.h"
#include "MirrorRegistry.h"
#include "PaletteMirror.h"
#include "ToolBarMirror.h"

#include "OvPaletteMenuCategoriesForm.h"

#include "rtl/Exception.h"
#include "rtl/RegIniFile.h"
#include "vcl/ActnList.h"
#include "vcl/ActnPopup.h"
#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Creation.h"
#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"

#include <memory>

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

TMenuItem* NewItem(TComponent* Owner, TMenuItem* Parent, const UnicodeString& Caption) {
  auto* Item = new TMenuItem(Owner);
  Item->SetCaption(Caption);
  Parent->Add(Item);
  return Item;
}

using user::ActionNamed;
using user::Choose;
using user::ClickEntry;
using user::Texts;
using user::WhenShown;

// A shown, active main window holding a menu bar over Menu.
struct TBarWindow {
  explicit TBarWindow(TMainMenu* Menu)
      : Bar(new QMenuBar(&Window)), Mirror(new MenuBarMirror(Menu, Bar, &Window)) {
    Window.setMenuBar(Bar);
    Window.resize(400, 200);
    Window.show();
  }
  bool Ready() { return QTest::qWaitForWindowExposed(&Window) && user::Activate(&Window); }
  QMainWindow Window;
  QMenuBar* Bar;
  MenuBarMirror* Mirror;
};

} // namespace

class QtWidgetsTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    Failures.clear();
    Sink =
        std::make_unique<FailureSinkScope>([this](QWidget*, const QString& M) { Failures << M; });
  }
  void cleanup() { Sink.reset(); }

  void menuBarFiresTheEntrysClickThenShowsItsItemsAsTheyNowAre() {
    TComponent Ide(nullptr);
    auto* Menu = new TMainMenu(&Ide);
    TMenuItem* File = NewItem(&Ide, Menu->Items(), u"&File");
    TMenuItem* Exit = NewItem(&Ide, File, u"E&xit");
    int Exits = 0;
    Exit->OnClick = [&](TObject*) { ++Exits; };
    TMenuItem* Palette = NewItem(&Ide, Menu->Items(), u"P&alette");
    NewItem(&Ide, Palette, u"Hidden")->SetVisible(false);
    int Builds = 0;
    TMenuItem* Picked = nullptr;
    // Rebuilt at every opening, as the add-in does.
    Palette->OnClick = [&](TObject*) {
      ++Builds;
      while (Palette->Count() > 1)
        Free(Palette->Items(1));
      TMenuItem* Cat = NewItem(&Ide, Palette, u"Build " + IntToStr(Builds));
      TMenuItem* Tab = NewItem(&Ide, Cat, u"Save && Close");
      Tab->OnClick = [&, Tab](TObject* S) {
        Picked = static_cast<TMenuItem*>(S);
        (void)Tab;
      };
      NewItem(&Ide, Palette, u"-");
      NewItem(&Ide, Palette, u"Edit Categories...");
    };

    TBarWindow W(Menu);
    QVERIFY(W.Ready());
    QCOMPARE(W.Bar->actions().size(), 2);
    QCOMPARE(W.Bar->actions()[1]->text(), QStringLiteral("P&alette"));
    QVERIFY(W.Mirror->MenuFor(QStringLiteral("palette")));

    QMenu* M = ClickEntry(W.Bar, QStringLiteral("P&alette"));
    QVERIFY(M);
    QCOMPARE(Builds, 1);
    QCOMPARE(Texts(M), (QStringList{"Build 1", "-", "Edit Categories..."}));
    user::CloseMenus();
    M = ClickEntry(W.Bar, QStringLiteral("P&alette"));
    QVERIFY(M);
    QCOMPARE(Builds, 2);
    QCOMPARE(Texts(M), (QStringList{"Build 2", "-", "Edit Categories..."}));
    QMenu* Sub = Choose(M, QStringLiteral("Build 2"));
    QVERIFY(Sub);
    QCOMPARE(Texts(Sub), (QStringList{"Save && Close"}));
    Choose(Sub, QStringLiteral("Save && Close"));
    QVERIFY(Picked != nullptr);
    QCOMPARE(Picked->Caption(), UnicodeString(u"Save && Close"));

    Choose(ClickEntry(W.Bar, QStringLiteral("&File")), QStringLiteral("E&xit"));
    QCOMPARE(Exits, 1);
  }

  // The model may release an item while its menu is open (the bar rebuilds only once the menu
  // closes): choosing the entry that outlived it reaches nothing, and the menu goes on.
  void anEntryWhoseItemWasReleasedWhileItsMenuWasOpenReachesNothing() {
    TComponent Ide(nullptr);
    auto* Menu = new TMainMenu(&Ide);
    TMenuItem* File = NewItem(&Ide, Menu->Items(), u"&File");
    TMenuItem* Keep = NewItem(&Ide, File, u"&Keep");
    TMenuItem* Gone = NewItem(&Ide, File, u"&Gone");
    int Keeps = 0, Gones = 0;
    Keep->OnClick = [&](TObject*) { ++Keeps; };
    Gone->OnClick = [&](TObject*) { ++Gones; };

    TBarWindow W(Menu);
    QVERIFY(W.Ready());
    QMenu* M = ClickEntry(W.Bar, QStringLiteral("&File"));
    QVERIFY(M);
    QCOMPARE(Texts(M), (QStringList{"&Keep", "&Gone"}));
    Free(Gone);
    QVERIFY(ActionNamed(M, QStringLiteral("&Gone")));
    Choose(M, QStringLiteral("&Gone"));
    QCOMPARE(Gones, 0);
    QVERIFY(Failures.isEmpty());

    M = ClickEntry(W.Bar, QStringLiteral("&File"));
    QVERIFY(M);
    QCOMPARE(Texts(M), (QStringList{"&Keep"}));
    Choose(M, QStringLiteral("&Keep"));
    QCOMPARE(Keeps, 1);
  }

  // An entry follows its model item: one that gets its first child after the bar was built (a
  // package adds its entry, then the entry's items) becomes a sub-menu that opens; captions,
  // visibility and entries that go are shown.
  void menuBarFollowsEntriesAsTheyComeChangeAndGo() {
    TComponent Ide(nullptr);
    auto* Menu = new TMainMenu(&Ide);
    NewItem(&Ide, Menu->Items(), u"&File");
    TBarWindow W(Menu);
    QVERIFY(W.Ready());
    QCOMPARE(W.Bar->actions().size(), 1);
    {
      TComponent Package(nullptr);
      TMenuItem* Entry = NewItem(&Package, Menu->Items(), u"P&alette");
      int Opened = 0;
      Entry->OnClick = [&](TObject*) {
        ++Opened;
        if (Entry->Count() == 1)
          NewItem(&Package, Entry, u"Edit Categories...");
      };
      QCOMPARE(W.Bar->actions().size(), 2);
      NewItem(&Package, Entry, u"Hidden")->SetVisible(false);
      QMenu* M = ClickEntry(W.Bar, QStringLiteral("P&alette"));
      QVERIFY(M);
      QCOMPARE(Opened, 1);
      QCOMPARE(Texts(M), (QStringList{"Edit Categories..."}));
      user::CloseMenus();

      Entry->SetCaption(u"&Palettes");
      QVERIFY(ActionNamed(W.Bar, QStringLiteral("&Palettes")));
      Entry->SetVisible(false);
      QVERIFY(!ActionNamed(W.Bar, QStringLiteral("&Palettes")));
      Entry->SetVisible(true);
      QVERIFY(ClickEntry(W.Bar, QStringLiteral("&Palettes")));
      user::CloseMenus();
    }
    QCOMPARE(W.Bar->actions().size(), 1);
    QVERIFY(!W.Mirror->MenuFor(QStringLiteral("P&alette")));
  }

  // An entry whose opening adds another entry: the bar is not rebuilt under the menu that is
  // opening (it shows and works), and shows the new entry once that menu has closed.
  void entriesAddedWhileAMenuOpensShowOnceItCloses() {
    TComponent Ide(nullptr);
    auto* Menu = new TMainMenu(&Ide);
    TMenuItem* Tools = NewItem(&Ide, Menu->Items(), u"&Tools");
    TMenuItem* Run = NewItem(&Ide, Tools, u"Run");
    int Runs = 0;
    Run->OnClick = [&](TObject*) { ++Runs; };
    Tools->OnClick = [&](TObject*) {
      if (Menu->Items()->Count() == 1)
        NewItem(&Ide, NewItem(&Ide, Menu->Items(), u"&Help"), u"About");
    };
    TBarWindow W(Menu);
    QVERIFY(W.Ready());
    QMenu* M = ClickEntry(W.Bar, QStringLiteral("&Tools"));
    QVERIFY(M);
    QCOMPARE(W.Bar->actions().size(), 1);
    Choose(M, QStringLiteral("Run"));
    QCOMPARE(Runs, 1);
    QTRY_COMPARE(W.Bar->actions().size(), 2);
    QMenu* Help = ClickEntry(W.Bar, QStringLiteral("&Help"));
    QVERIFY(Help);
    QCOMPARE(Texts(Help), (QStringList{"About"}));
    user::CloseMenus();
  }

  void popupFiresBeforeShowAndClicksArriveThroughAnAction() {
    TComponent Owner(nullptr);
    auto* Popup = new TPopupActionBar(&Owner);
    int Shown = 0;
    bool GotAction = false;
    Popup->OnPopup = [&](TObject*) {
      ++Shown;
      Popup->Items()->Clear();
      TMenuItem* Cat = NewItem(&Owner, Popup->Items(), u"Other");
      TMenuItem* Tab = NewItem(&Owner, Cat, u"Standard");
      Tab->OnClick = [&](TObject* S) { GotAction = dynamic_cast<TCustomAction*>(S) != nullptr; };
    };
    QToolButton Anchor;
    Anchor.setPopupMode(QToolButton::MenuButtonPopup);
    auto* Menu = new PopupMenuMirror(Popup, &Anchor);
    Anchor.setMenu(Menu);
    Anchor.resize(40, 24);
    Anchor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Anchor));
    // Opened by Qt (the arrow): the before-show event fires once; the tool button runs the menu
    // modally, so the user works it from inside that run.
    QStringList Seen;
    WhenShown(this, Menu, [&](QMenu* M) {
      Seen = Texts(M);
      if (QMenu* Sub = Choose(M, QStringLiteral("Other")))
        Choose(Sub, QStringLiteral("Standard"));
    });
    QTest::mouseClick(&Anchor, Qt::LeftButton, {}, QPoint(Anchor.width() - 3, 12));
    QTRY_VERIFY(GotAction);
    QCOMPARE(Shown, 1);
    QCOMPARE(Seen, (QStringList{"Other"}));
    QTRY_VERIFY(!Menu->isVisible());
    QVERIFY(!Popup->IsPoppedUp());
  }

  void paletteViewFollowsAndDrivesTheModel() {
    TCategoryButtons Palette(nullptr);
    for (int I = 0; I < 20; ++I) {
      TButtonCategory* C = Palette.Categories()->Add();
      C->SetCaption(u"Tab " + IntToStr(I));
      for (int B = 0; B < 4; ++B)
        C->AddButton(u"TComponent" + IntToStr(B));
      C->SetCollapsed(true);
    }
    PaletteMirror View(&Palette, nullptr);
    View.resize(200, 150);
    View.show();
    QVERIFY(QTest::qWaitForWindowExposed(&View));
    // The view's height is the model's.
    QCOMPARE(Palette.ClientHeight(), View.viewport()->height());
    // Expanding and scrolling in the model shows at once.
    Palette.Categories()->Items(15)->SetCollapsed(false);
    Palette.ScrollIntoView(15);
    QCOMPARE(View.verticalScrollBar()->value(), Palette.ScrollPosition());
    QVERIFY(Palette.ScrollPosition() > 0);
    // Clicking a header toggles its category.
    const int Y = Palette.CategoryTop(15) - Palette.ScrollPosition() + 5;
    QCOMPARE(View.HeaderAt(QPoint(10, Y)), 15);
    QTest::mouseClick(View.viewport(), Qt::LeftButton, {}, QPoint(10, Y));
    QVERIFY(Palette.Categories()->Items(15)->Collapsed());
    // The wheel and the scroll bar drive the model.
    const int Before = Palette.ScrollPosition();
    user::Wheel(View.viewport(), QPoint(10, 10), 1);
    QVERIFY(Palette.ScrollPosition() < Before);
    QScrollBar* Scroll = View.verticalScrollBar();
    for (int I = 0; I < 50 && Palette.ScrollPosition() > 0; ++I)
      QTest::mouseClick(Scroll, Qt::LeftButton, {}, QPoint(Scroll->width() / 2, 20));
    QCOMPARE(Palette.ScrollPosition(), 0);
    QCOMPARE(Scroll->value(), 0);
    // Categories removed or renamed in the model are gone from the view's hit testing.
    Palette.Categories()->Delete(0);
    QCOMPARE(View.HeaderAt(QPoint(10, 5)), 0);
    QCOMPARE(Palette.Categories()->Items(0)->Caption(), UnicodeString(u"Tab 1"));
  }

  // A palette filled while it is shown (thousands of changes in a row) is measured once the
  // burst is over: the scroll bar then reaches its end, and the last header answers a click.
  void paletteViewFilledInABurstScrollsToItsEnd() {
    TCategoryButtons Palette(nullptr);
    PaletteMirror View(&Palette, nullptr);
    View.resize(200, 150);
    View.show();
    QVERIFY(QTest::qWaitForWindowExposed(&View));
    for (int I = 0; I < 3000; ++I) {
      TButtonCategory* C = Palette.Categories()->Add();
      C->SetCaption(u"Tab " + IntToStr(I));
      C->AddButton(u"TButton");
      C->SetCollapsed(true);
    }
    QScrollBar* Scroll = View.verticalScrollBar();
    QTRY_COMPARE(Scroll->maximum(), Palette.MaxScrollPosition());
    QCOMPARE(Palette.MaxScrollPosition(), 3000 * Palette.HeaderHeight() - Palette.ClientHeight());
    // The wheel scrolls at most a page at a time.
    for (int I = 0; I < 1000 && Palette.ScrollPosition() < Palette.MaxScrollPosition(); ++I)
      user::Wheel(View.viewport(), QPoint(10, 10), -10);
    QCOMPARE(Palette.ScrollPosition(), Palette.MaxScrollPosition());
    QCOMPARE(Scroll->value(), Palette.ScrollPosition());
    const QPoint LastHeader(10, View.viewport()->height() - Palette.HeaderHeight() / 2);
    QCOMPARE(View.HeaderAt(LastHeader), 2999);
    QTest::mouseClick(View.viewport(), Qt::LeftButton, {}, LastHeader);
    QVERIFY(!Palette.Categories()->Items(2999)->Collapsed());
    QVERIFY(Palette.Categories()->Items(2998)->Collapsed());
  }

  void toolBarMirrorsButtonsInOrderWithTheirMenusAndClicks() {
    TComponent Ide(nullptr);
    auto* Bar = new TToolBar(&Ide);
    auto NewButton = [&](const UnicodeString& Name, int Left) {
      auto* B = new TToolButton(&Ide);
      B->SetName(Name);
      B->SetLeft(Left);
      B->SetParent(Bar);
      return B;
    };
    TToolButton* Categories = NewButton(u"tbCategories", 0);
    NewButton(u"tbSearch", 30);
    QToolBar View;
    ToolBarMirror Mirror(Bar, &View, nullptr,
                         [](int I) { return I < 0 ? QIcon() : QIcon(QPixmap(16, 16)); });
    QVERIFY(Mirror.ButtonNamed(QStringLiteral("tbCategories")));
    QVERIFY(!Mirror.ButtonNamed(QStringLiteral("tbPalette")));

    // What the add-in does: hide the first button, put a drop-down button with a hint first.
    Categories->SetVisible(false);
    auto* Popup = new TPopupActionBar(&Ide);
    int Builds = 0;
    Popup->OnPopup = [&](TObject*) {
      ++Builds;
      Popup->Items()->Clear();
      NewItem(&Ide, Popup->Items(), u"Edit Categories...");
    };
    auto* Mine = new TToolButton(&Ide);
    Mine->SetLeft(0);
    Mine->SetParent(Bar);
    Mine->SetName(u"tbPalette");
    Mine->SetStyle(TToolButtonStyle::tbsDropDown);
    Mine->SetHint(u"Orvik Palette Menu");
    Mine->SetImageIndex(0);
    Mine->SetDropdownMenu(Popup);
    Mine->OnClick = [&](TObject*) { Popup->Popup(0, 0); };
    View.resize(300, 30);
    View.show();
    QVERIFY(QTest::qWaitForWindowExposed(&View));
    QCoreApplication::processEvents();

    QToolButton* Q = Mirror.ButtonNamed(QStringLiteral("tbPalette"));
    QVERIFY(Q);
    QCOMPARE(Q->toolTip(), QStringLiteral("Orvik Palette Menu"));
    QCOMPARE(Q->popupMode(), QToolButton::MenuButtonPopup);
    QVERIFY(!Q->icon().isNull());
    QVERIFY(!Mirror.ButtonNamed(QStringLiteral("tbCategories"))->isVisibleTo(&View));
    QVERIFY(Mirror.ButtonNamed(QStringLiteral("tbSearch"))->isVisibleTo(&View));
    // The face's click goes to the model, which drops the same menu down, under the button.
    QTest::mouseClick(Q, Qt::LeftButton, {}, QPoint(5, Q->height() / 2));
    QTRY_VERIFY(Q->menu()->isVisible());
    QCOMPARE(Builds, 1);
    QCOMPARE(Texts(Q->menu()), (QStringList{"Edit Categories..."}));
    QVERIFY(Q->menu()->geometry().top() >= Q->mapToGlobal(QPoint(0, Q->height() / 2)).y());
    user::CloseMenus();
  }

  void failuresOfHandlersReachTheFailureSinkAndTheMenuGoesOn() {
    TComponent Ide(nullptr);
    auto* Menu = new TMainMenu(&Ide);
    TMenuItem* Tools = NewItem(&Ide, Menu->Items(), u"&Tools");
    TMenuItem* Broken = NewItem(&Ide, Tools, u"Broken");
    Broken->OnClick = [](TObject*) { throw ERegistryException(u"Hive HKCU.db is locked"); };
    TBarWindow W(Menu);
    QVERIFY(W.Ready());
    Choose(ClickEntry(W.Bar, QStringLiteral("&Tools")), QStringLiteral("Broken"));
    QCOMPARE(Failures, (QStringList{"Hive HKCU.db is locked"}));
    QVERIFY(ClickEntry(W.Bar, QStringLiteral("&Tools")));
    user::CloseMenus();
  }

  // A form's controls are shown by the mirror of their class or of the nearest ancestor that has
  // one; a control that has none is reported, and the dialog shows the others.
  void aControlWithoutAMirrorIsReportedAndTheOthersShow() {
    const MirrorRegistry& Mirrors = MirrorRegistry::Standard();
    QCOMPARE(Mirrors.FactoryFor(TStringGrid::StaticClass()),
             Mirrors.FactoryFor(TCustomGrid::StaticClass()));
    QVERIFY(Mirrors.FactoryFor(TButton::StaticClass()));
    QVERIFY(!Mirrors.FactoryFor(TWinControl::StaticClass()));

    TOwned<TForm> Form(new TForm(nullptr));
    Form->SetName(u"Probe");
    auto* Grid = new TStringGrid(Form.get());
    Grid->SetName(u"Cells");
    Grid->SetParent(Form.get());
    auto* Button = new TButton(Form.get());
    Button->SetName(u"Go");
    Button->SetParent(Form.get());
    auto* Palette = new TCategoryButtons(Form.get());
    Palette->SetName(u"Tabs");
    Palette->SetParent(Form.get());
    auto* Panel = new TWinControl(Form.get());
    Panel->SetName(u"Panel");
    Panel->SetParent(Form.get());

    FormDialog Dialog(Form.get(), nullptr);
    QCOMPARE(Failures.size(), 1);
    QVERIFY2(Failures[0].contains(QStringLiteral("Panel (TWinControl)")) &&
                 !Failures[0].contains(QStringLiteral("Tabs")) &&
                 Failures[0].contains(QStringLiteral("Probe")),
             qPrintable(Failures[0]));
    QVERIFY(Dialog.findChild<GridMirror*>(QStringLiteral("Cells")));
    QVERIFY(Dialog.findChild<QPushButton*>(QStringLiteral("Go")));
    QVERIFY(Dialog.findChild<PaletteMirror*>());
  }

  // The categories dialog as a real modal dialog: typing into a cell and OK stores the text,
  // Escape cancels, the tab column stays read-only.
  void categoriesDialogEditsTheCategoryColumnOnly() {
    QTemporaryDir Dir;
    TCurrentUserHiveFileScope Hive(FromQ(Dir.filePath(QStringLiteral("HKCU.db"))));
    const UnicodeString Key = u"Software\\Orvik\\Palette Menu";
    TRegIniFile(Key).WriteString(u"Categories", u"Standard", u"Old");
    TModalRunnerScope Dialogs(FormDialog::Runner(nullptr));

    auto Run = [&](const std::function<void(FormDialog*, GridMirror*, TStringGrid*)>& User) {
      TStringList Tabs;
      Tabs.Add(u"Additional");
      Tabs.Add(u"&Standard");
      TOwned<TOvFrmPaletteMenuCategories> Dlg(
          CreateComponent<TOvFrmPaletteMenuCategories>(Application));
      Dlg->Tabs = Tabs;
      Dlg->UpdateControls();
      QTimer::singleShot(0, [&] {
        auto* D = qobject_cast<FormDialog*>(QApplication::activeModalWidget());
        QVERIFY(D);
        QCOMPARE(D->windowTitle(), QStringLiteral("Component Palette Categories"));
        QCOMPARE(D->size(), QSize(297, 373));
        User(D, D->findChild<GridMirror*>(QStringLiteral("GrdCategories")), Dlg->GrdCategories);
      });
      const int Result = Dlg->ShowModal();
      if (Result == mrOk)
        Dlg->SaveCategories();
      return Result;
    };
    auto Center = [](TStringGrid* G, int C, int R) {
      const TRect Rc = G->CellRect(C, R);
      return QPoint((Rc.Left + Rc.Right) / 2, (Rc.Top + Rc.Bottom) / 2);
    };

    const int Ok = Run([&](FormDialog* D, GridMirror* W, TStringGrid* G) {
      QVERIFY(W);
      // The tab column refuses the click; the selection stays on (1, 1).
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 0, 2));
      QCOMPARE(G->Col(), 1);
      QCOMPARE(G->Row(), 1);
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, 2));
      QCOMPARE(G->Row(), 2);
      QTest::keyClick(W, 'V');
      QVERIFY(W->Editor());
      QTest::keyClicks(W->Editor(), QStringLiteral("CL; Common"));
      QTest::keyClick(W->Editor(), Qt::Key_Return);
      QCOMPARE(G->Cells(1, 2), UnicodeString(u"VCL; Common"));
      QCOMPARE(G->Cells(0, 2), UnicodeString(u"Standard"));
      QTest::mouseClick(D->findChild<QPushButton*>(QStringLiteral("BtnOk")), Qt::LeftButton);
    });
    QCOMPARE(Ok, int(mrOk));
    QCOMPARE(TRegIniFile(Key).ReadString(u"Categories", u"Standard", u""),
             UnicodeString(u"VCL; Common"));

    const int Cancel = Run([&](FormDialog* D, GridMirror* W, TStringGrid* G) {
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, 1));
      QTest::keyClick(W, 'X');
      QTest::keyClick(W->Editor(), Qt::Key_Return);
      QCOMPARE(G->Cells(1, 1), UnicodeString(u"X"));
      QTest::keyClick(D, Qt::Key_Escape);
    });
    QCOMPARE(Cancel, int(mrCancel));
    QCOMPARE(TRegIniFile(Key).ReadString(u"Categories", u"Additional", u"none"),
             UnicodeString(u"none"));
  }

private:
  static UnicodeString FromQ(const QString& S) {
    return UnicodeString(reinterpret_cast<const char16_t*>(S.utf16()),
                         static_cast<size_t>(S.size()));
  }
  QStringList Failures;
  std::unique_ptr<FailureSinkScope> Sink;
};

QTEST_MAIN(QtWidgetsTest)
#include "DesktopWidgetsTest.moc"
