// Drives the real widgets of the desktop window against a small model, under the offscreen
// platform.
#include "DesktopFailures.h"
#include "DesktopFormDialog.h"
#include "DesktopGridWidget.h"
#include "DesktopMenus.h"
#include "DesktopPaletteView.h"
#include "DesktopToolBarView.h"

#include "OvPaletteMenuCategoriesForm.h"

#include "rtl/Exception.h"
#include "rtl/RegIniFile.h"
#include "vcl/ActnList.h"
#include "vcl/ActnPopup.h"
#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Creation.h"
#include "vcl/Menus.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

TMenuItem* NewItem(TComponent* Owner, TMenuItem* Parent, const UnicodeString& Caption) {
  auto* Item = new TMenuItem(Owner);
  Item->SetCaption(Caption);
  Parent->Add(Item);
  return Item;
}

QStringList Texts(QMenu* Menu) {
  QStringList R;
  for (QAction* A : Menu->actions())
    R << (A->isSeparator() ? QStringLiteral("-") : A->text());
  return R;
}

QAction* ActionNamed(QMenu* Menu, const QString& Text) {
  for (QAction* A : Menu->actions())
    if (A->text() == Text)
      return A;
  return nullptr;
}

} // namespace

class QtWidgetsTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    Failures.clear();
    SetFailureSink([this](QWidget*, const QString& M) { Failures << M; });
  }

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

    DesktopMenuBar Bar(Menu, nullptr);
    QCOMPARE(Bar.actions().size(), 2);
    QCOMPARE(Bar.actions()[1]->text(), QStringLiteral("P&alette"));

    QMenu* M = Bar.MenuFor(QStringLiteral("palette"));
    QVERIFY(M);
    M->popup(QPoint(0, 0));
    QCOMPARE(Builds, 1);
    QCOMPARE(Texts(M), (QStringList{"Build 1", "-", "Edit Categories..."}));
    M->hide();
    M->popup(QPoint(0, 0));
    QCOMPARE(Builds, 2);
    QCOMPARE(Texts(M), (QStringList{"Build 2", "-", "Edit Categories..."}));
    QMenu* Sub = ActionNamed(M, QStringLiteral("Build 2"))->menu();
    QVERIFY(Sub);
    Sub->popup(QPoint(0, 0));
    QCOMPARE(Texts(Sub), (QStringList{"Save && Close"}));
    Sub->actions()[0]->trigger();
    QVERIFY(Picked != nullptr);
    QCOMPARE(Picked->Caption(), UnicodeString(u"Save && Close"));
    M->hide();

    QMenu* FileMenu = Bar.MenuFor(QStringLiteral("&File"));
    FileMenu->popup(QPoint(0, 0));
    ActionNamed(FileMenu, QStringLiteral("E&xit"))->trigger();
    QCOMPARE(Exits, 1);
    FileMenu->hide();
  }

  void menuBarFollowsEntriesThatComeAndGo() {
    TComponent Ide(nullptr);
    auto* Menu = new TMainMenu(&Ide);
    NewItem(&Ide, Menu->Items(), u"&File");
    DesktopMenuBar Bar(Menu, nullptr);
    QCOMPARE(Bar.actions().size(), 1);
    {
      TComponent Package(nullptr);
      TMenuItem* Entry = NewItem(&Package, Menu->Items(), u"P&alette");
      NewItem(&Package, Entry, u"Hidden")->SetVisible(false);
      QCOMPARE(Bar.actions().size(), 2);
    }
    QCOMPARE(Bar.actions().size(), 1);
    QVERIFY(!Bar.MenuFor(QStringLiteral("P&alette")));
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
    QWidget Anchor;
    DesktopPopupMenu Menu(Popup, &Anchor);
    // Opened by Qt (the arrow): the before-show event fires once.
    Menu.popup(QPoint(0, 0));
    QCOMPARE(Shown, 1);
    QCOMPARE(Texts(&Menu), (QStringList{"Other"}));
    QMenu* Sub = Menu.actions()[0]->menu();
    Sub->popup(QPoint(0, 0));
    Sub->actions()[0]->trigger();
    QVERIFY(GotAction);
    Menu.hide();
    QVERIFY(!Popup->IsPoppedUp());
    // Opened by the model (the button's face): shown, and still built only once.
    Popup->Popup(0, 0);
    QCOMPARE(Shown, 2);
    QVERIFY(Menu.isVisible());
    QCOMPARE(Texts(&Menu), (QStringList{"Other"}));
    Menu.hide();
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
    DesktopPaletteView View(&Palette, nullptr);
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
    // The scroll bar drives the model.
    View.verticalScrollBar()->setValue(0);
    QCOMPARE(Palette.ScrollPosition(), 0);
    // Categories removed or renamed in the model are gone from the view's hit testing.
    Palette.Categories()->Delete(0);
    QCOMPARE(View.HeaderAt(QPoint(10, 5)), 0);
    QCOMPARE(Palette.Categories()->Items(0)->Caption(), UnicodeString(u"Tab 1"));
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
    DesktopToolBarView View(
        Bar, [](int I) { return I < 0 ? QIcon() : QIcon(QPixmap(16, 16)); }, nullptr);
    QVERIFY(View.ButtonNamed(QStringLiteral("tbCategories")));
    QVERIFY(!View.ButtonNamed(QStringLiteral("tbPalette")));

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

    QToolButton* Q = View.ButtonNamed(QStringLiteral("tbPalette"));
    QVERIFY(Q);
    QCOMPARE(Q->toolTip(), QStringLiteral("Orvik Palette Menu"));
    QCOMPARE(Q->popupMode(), QToolButton::MenuButtonPopup);
    QVERIFY(!Q->icon().isNull());
    QVERIFY(!View.ButtonNamed(QStringLiteral("tbCategories"))->isVisibleTo(&View));
    QVERIFY(View.ButtonNamed(QStringLiteral("tbSearch"))->isVisibleTo(&View));
    // The face's click goes to the model, which drops the same menu down.
    Q->click();
    QCOMPARE(Builds, 1);
    QVERIFY(Q->menu()->isVisible());
    QCOMPARE(Texts(Q->menu()), (QStringList{"Edit Categories..."}));
    Q->menu()->hide();
  }

  void failuresOfHandlersReachTheFailureSinkAndTheMenuGoesOn() {
    TComponent Ide(nullptr);
    auto* Menu = new TMainMenu(&Ide);
    TMenuItem* Tools = NewItem(&Ide, Menu->Items(), u"&Tools");
    TMenuItem* Broken = NewItem(&Ide, Tools, u"Broken");
    Broken->OnClick = [](TObject*) { throw ERegistryException(u"Hive HKCU.db is locked"); };
    DesktopMenuBar Bar(Menu, nullptr);
    QMenu* M = Bar.MenuFor(QStringLiteral("Tools"));
    M->popup(QPoint(0, 0));
    M->actions()[0]->trigger();
    QCOMPARE(Failures, (QStringList{"Hive HKCU.db is locked"}));
    M->hide();
  }

  // The categories dialog as a real modal dialog: typing into a cell and OK stores the text,
  // Escape cancels, the tab column stays read-only.
  void categoriesDialogEditsTheCategoryColumnOnly() {
    QTemporaryDir Dir;
    SetCurrentUserHiveFile(FromQ(Dir.filePath(QStringLiteral("HKCU.db"))));
    const UnicodeString Key = u"Software\\Orvik\\Palette Menu";
    TRegIniFile(Key).WriteString(u"Categories", u"Standard", u"Old");
    DesktopFormDialog::InstallModalRunner(nullptr);

    auto Run =
        [&](const std::function<void(DesktopFormDialog*, DesktopGridWidget*, TStringGrid*)>& User) {
          TStringList Tabs;
          Tabs.Add(u"Additional");
          Tabs.Add(u"&Standard");
          TOwned<TOvFrmPaletteMenuCategories> Dlg(
              CreateComponent<TOvFrmPaletteMenuCategories>(Application));
          Dlg->Tabs = Tabs;
          Dlg->UpdateControls();
          QTimer::singleShot(0, [&] {
            auto* D = qobject_cast<DesktopFormDialog*>(QApplication::activeModalWidget());
            QVERIFY(D);
            QCOMPARE(D->windowTitle(), QStringLiteral("Component Palette Categories"));
            QCOMPARE(D->size(), QSize(297, 373));
            User(D, D->findChild<DesktopGridWidget*>(QStringLiteral("GrdCategories")),
                 Dlg->GrdCategories);
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

    const int Ok = Run([&](DesktopFormDialog* D, DesktopGridWidget* W, TStringGrid* G) {
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
      D->findChild<QPushButton*>(QStringLiteral("BtnOk"))->click();
    });
    QCOMPARE(Ok, int(mrOk));
    QCOMPARE(TRegIniFile(Key).ReadString(u"Categories", u"Standard", u""),
             UnicodeString(u"VCL; Common"));

    const int Cancel = Run([&](DesktopFormDialog* D, DesktopGridWidget* W, TStringGrid* G) {
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, 1));
      QTest::keyClick(W, 'X');
      QTest::keyClick(W->Editor(), Qt::Key_Return);
      QCOMPARE(G->Cells(1, 1), UnicodeString(u"X"));
      QTest::keyClick(D, Qt::Key_Escape);
    });
    QCOMPARE(Cancel, int(mrCancel));
    QCOMPARE(TRegIniFile(Key).ReadString(u"Categories", u"Additional", u"none"),
             UnicodeString(u"none"));
    SetModalRunner({});
  }

private:
  static UnicodeString FromQ(const QString& S) {
    return UnicodeString(reinterpret_cast<const char16_t*>(S.utf16()),
                         static_cast<size_t>(S.size()));
  }
  QStringList Failures;
};

QTEST_MAIN(QtWidgetsTest)
#include "DesktopWidgetsTest.moc"
