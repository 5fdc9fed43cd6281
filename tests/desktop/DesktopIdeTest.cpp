// The desktop window over the whole IDE with the add-in loaded, on a real X server, worked only
// through mouse and key events. The window is built before the package loads, as hostide does.
#include "DesktopMainWindow.h"
#include "DesktopUserInput.h"
#include "Failures.h"
#include "FormDialog.h"
#include "GridMirror.h"
#include "MenuMirrors.h"
#include "PaletteMirror.h"
#include "QtStrings.h"
#include "ReleaseWatch.h"
#include "ToolBarMirror.h"

#include "Ide.h"

#include "HiveFaults.h"
#include "rtl/RegIniFile.h"
#include "rtl/StringList.h"
#include "vcl/CategoryButtons.h"
#include "vcl/Forms.h"
#include "vcl/Grids.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

using namespace user;

namespace {

const UnicodeString Key = u"Software\\Orvik\\Palette Menu";
const QString PaletteEntry = QStringLiteral("P&alette");

int IndexOf(TCategoryButtons* P, const UnicodeString& Caption) {
  for (int I = 0; I < P->Categories()->Count(); ++I)
    if (P->Categories()->Items(I)->Caption() == Caption)
      return I;
  return -1;
}

QPoint Center(TCustomGrid* G, int C, int R) {
  const TRect Rc = G->CellRect(C, R);
  return QPoint((Rc.Left + Rc.Right) / 2, (Rc.Top + Rc.Bottom) / 2);
}

QRect CellRect(TCustomGrid* G, int C, int R) {
  const TRect Rc = G->CellRect(C, R);
  return QRect(Rc.Left, Rc.Top, Rc.Width(), Rc.Height());
}

int RowOf(TStringGrid* G, const UnicodeString& Key0) {
  for (int R = 1; R < G->RowCount(); ++R)
    if (G->Cells(0, R) == Key0)
      return R;
  return -1;
}

UnicodeString Stored(const UnicodeString& Tab) {
  return TRegIniFile(Key).ReadString(u"Categories", Tab, u"");
}

int StoredCount() {
  TStringList Names;
  TRegIniFile(Key).ReadSection(u"Categories", &Names);
  return Names.Count();
}

} // namespace

class QtIdeTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    QVERIFY(Dir.isValid());
    Hive.emplace(FromQString(Dir.filePath(QStringLiteral("HKCU-%1.db").arg(++Round))));
    Ide = std::make_unique<THostIde>();
    Window = std::make_unique<DesktopMainWindow>(*Ide);
    Window->show();
    QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    QVERIFY(Activate(Window.get()));
    Ide->LoadPalette(THostIde::DefaultPalette());
    Ide->Packages().Load(THostIde::DefaultPackage());
    // The add-in's button replaces the original one; the tool bar shows it once it has settled.
    QTRY_VERIFY(Window->PaletteToolBarMirror()->ButtonNamed(QStringLiteral("tbPalette")));
  }
  void cleanup() {
    CloseMenus();
    Window.reset();
    Ide.reset();
    Hive.reset();
  }

  void thePaletteEntryOpensByClickByHoverFromFileAndByAltA() {
    QMenuBar* Bar = Window->MenuBar();
    QCOMPARE(Bar->actions().last()->text(), PaletteEntry);

    QMenu* ByClick = ClickEntry(Bar, PaletteEntry);
    QVERIFY(ByClick);
    QVERIFY(Texts(ByClick).contains(QStringLiteral("Edit Categories...")));
    CloseMenus();

    QVERIFY(ClickEntry(Bar, QStringLiteral("&File")));
    QMenu* ByHover = HoverEntry(Bar, PaletteEntry);
    QVERIFY(ByHover);
    QVERIFY(Texts(ByHover).contains(QStringLiteral("Edit Categories...")));
    CloseMenus();

    QVERIFY(!QApplication::activePopupWidget());
    QTest::keyClick(Window.get(), Qt::Key_A, Qt::AltModifier);
    QMenu* ByKey = Shown(ActionNamed(Bar, PaletteEntry));
    QVERIFY(ByKey);
    QVERIFY(Texts(ByKey).contains(QStringLiteral("Edit Categories...")));
  }

  void pickingATabInThePaletteMenuExpandsAndShowsIt() {
    QMenu* Palette = ClickEntry(Window->MenuBar(), PaletteEntry);
    QVERIFY(Palette);
    const QStringList Top = Texts(Palette);
    QCOMPARE(Top.mid(Top.size() - 3), (QStringList{"Other", "-", "Edit Categories..."}));
    QMenu* Other = Choose(Palette, QStringLiteral("Other"));
    QVERIFY(Other);
    QVERIFY(ActionNamed(Other, QStringLiteral("Dialogs")));
    Choose(Other, QStringLiteral("Dialogs"));
    QTRY_VERIFY(!QApplication::activePopupWidget());

    TCategoryButtons* P = Ide->Palette();
    const int I = IndexOf(P, u"Dialogs");
    QVERIFY(!P->Categories()->Items(I)->Collapsed());
    QVERIFY(P->IsHeaderVisible(I));
    // The view shows the model's scroll position: the header is where the view paints it.
    QCOMPARE(Window->PaletteView()->verticalScrollBar()->value(), P->ScrollPosition());
    const int Y = P->CategoryTop(I) - P->ScrollPosition() + 2;
    QCOMPARE(Window->PaletteView()->HeaderAt(QPoint(10, Y)), I);
  }

  void theButtonsArrowAndFaceDropDownTheSameRebuiltMenu() {
    QToolButton* Button = Window->PaletteToolBarMirror()->ButtonNamed(QStringLiteral("tbPalette"));
    QVERIFY(Button);
    QCOMPARE(Button->toolTip(), QStringLiteral("Orvik Palette Menu"));
    QVERIFY(!Button->icon().isNull());
    QCOMPARE(Button->popupMode(), QToolButton::MenuButtonPopup);
    // The arrow, at the button's right edge: the tool button runs its menu modally, so the
    // user reads it and closes it from inside that run.
    QStringList ByArrow;
    int MenusShown = 0;
    QPoint Under;
    user::WhenShown(this, Button->menu(), [&](QMenu* Menu) {
      ByArrow = Texts(Menu);
      for (QWidget* W : QApplication::topLevelWidgets())
        MenusShown += qobject_cast<QMenu*>(W) && W->isVisible();
      Under = Menu->geometry().topLeft() - Button->mapToGlobal(QPoint(0, Button->height()));
      QTest::keyClick(Menu, Qt::Key_Escape);
    });
    QTest::mouseClick(Button, Qt::LeftButton, {},
                      QPoint(Button->width() - 3, Button->height() / 2));
    QTRY_VERIFY(!ByArrow.isEmpty());
    QVERIFY(ByArrow.contains(QStringLiteral("Other")));
    // One menu, just under the button (the style shifts it a little); the buttons the bar showed
    // before the add-in loaded have no menus left that answer the model.
    QCOMPARE(MenusShown, 1);
    QVERIFY2(Under.manhattanLength() <= 10,
             qPrintable(QStringLiteral("%1,%2").arg(Under.x()).arg(Under.y())));
    QTRY_VERIFY(!Button->menu()->isVisible());
    // An assignment made meanwhile shows at the next opening, by the face this time.
    TRegIniFile(Key).WriteString(u"Categories", u"Standard", u"VCL");
    QTest::mouseClick(Button, Qt::LeftButton, {}, QPoint(6, Button->height() / 2));
    QTRY_VERIFY(Button->menu()->isVisible());
    QCOMPARE(Texts(Button->menu()), (QStringList{"Other", "VCL", "-", "Edit Categories..."}));
  }

  void typingACategoryAndEnterStoresItAndTheNextMenuShowsIt() {
    RunEditor([](FormDialog* D, GridMirror* W, TStringGrid* G) {
      const int Row = RowOf(G, u"Standard");
      QVERIFY(Row > 0);
      // Scrolled to it with the wheel, as a user would.
      for (int I = 0; I < 40 && G->CellRect(1, Row).IsEmpty(); ++I)
        Wheel(W, W->rect().center(), -1);
      QVERIFY(!G->CellRect(1, Row).IsEmpty());
      // The tab column cannot be selected, so not edited either.
      const int Col = G->Col(), R0 = G->Row();
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 0, Row));
      QCOMPARE(G->Col(), Col);
      QCOMPARE(G->Row(), R0);
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, Row));
      QCOMPARE(G->Row(), Row);
      Type(QStringLiteral("Common"));
      QVERIFY(W->Editor());
      Press(Qt::Key_Return); // confirms the cell
      QVERIFY(!W->Editor());
      QVERIFY(D->isVisible());
      Press(Qt::Key_Return); // and Enter in the grid is OK
      QVERIFY(!D->isVisible());
    });
    QCOMPARE(Stored(u"Standard"), UnicodeString(u"Common"));
    QMenu* Common = Choose(ClickEntry(Window->MenuBar(), PaletteEntry), QStringLiteral("Common"));
    QVERIFY(Common);
    QCOMPARE(Texts(Common), (QStringList{"Standard"}));
  }

  // A cell being edited is part of what OK accepts, however OK is reached.
  void okKeepsTheCellBeingEdited_data() {
    QTest::addColumn<bool>("ByKeys");
    QTest::newRow("a click on OK") << false;
    QTest::newRow("Tab to OK and Space") << true;
  }
  void okKeepsTheCellBeingEdited() {
    QFETCH(bool, ByKeys);
    UnicodeString Tab;
    RunEditor([&](FormDialog* D, GridMirror* W, TStringGrid* G) {
      Tab = G->Cells(0, 2);
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, 2));
      Type(QStringLiteral("Typed"));
      QVERIFY(W->Editor());
      QCOMPARE(W->Editor()->text(), QStringLiteral("Typed"));
      auto* Ok = D->findChild<QPushButton*>(QStringLiteral("BtnOk"));
      if (ByKeys) {
        Press(Qt::Key_Tab);
        QVERIFY(Ok->hasFocus());
        Press(Qt::Key_Space);
      } else {
        QTest::mouseClick(Ok, Qt::LeftButton);
      }
      QVERIFY(!D->isVisible());
      QCOMPARE(D->result(), 1);
    });
    QVERIFY(!Tab.empty());
    QCOMPARE(Stored(Tab), UnicodeString(u"Typed"));
    QCOMPARE(StoredCount(), 1);
  }

  void cancelAndEscapeWriteNothing_data() {
    QTest::addColumn<bool>("ByEscape");
    QTest::newRow("Cancel with the cell still open") << false;
    QTest::newRow("Escape, Escape") << true;
  }
  void cancelAndEscapeWriteNothing() {
    QFETCH(bool, ByEscape);
    RunEditor([&](FormDialog* D, GridMirror* W, TStringGrid* G) {
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, 1));
      Type(QStringLiteral("X"));
      QVERIFY(W->Editor());
      if (ByEscape) {
        Press(Qt::Key_Escape); // drops the cell
        QVERIFY(!W->Editor());
        QVERIFY(D->isVisible());
        Press(Qt::Key_Escape); // and cancels the dialog
      } else {
        QTest::mouseClick(D->findChild<QPushButton*>(QStringLiteral("BtnCancel")), Qt::LeftButton);
      }
      QVERIFY(!D->isVisible());
    });
    QCOMPARE(StoredCount(), 0);
  }

  void anArrowKeyKeepsTheCellAndMovesOn() {
    RunEditor([&](FormDialog* D, GridMirror* W, TStringGrid* G) {
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, 2));
      Type(QStringLiteral("Up"));
      Press(Qt::Key_Down);
      QVERIFY(!W->Editor());
      QCOMPARE(G->Cells(1, 2), UnicodeString(u"Up"));
      QCOMPARE(G->Row(), 3);
      Type(QStringLiteral("Next"));
      QVERIFY(W->Editor());
      QCOMPARE(W->Editor()->geometry(), CellRect(G, 1, 3));
      Press(Qt::Key_Escape);
      QCOMPARE(G->Cells(1, 3), UnicodeString());
      QTest::mouseClick(D->findChild<QPushButton*>(QStringLiteral("BtnCancel")), Qt::LeftButton);
    });
    QCOMPARE(StoredCount(), 0);
  }

  // The keys of a string grid: a page of rows at a time, the first and last selectable column
  // of the row (the tab column never), the first and last row; the cell shown where it went.
  void thePageHomeAndEndKeysMoveAsInAStringGrid() {
    RunEditor([&](FormDialog* D, GridMirror* W, TStringGrid* G) {
      const int Page = G->VisibleRowCount();
      const int Last = G->RowCount() - 1;
      QVERIFY(Last > Page + 2); // more rows than a page
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, 1));
      QCOMPARE(G->Row(), 1);
      Press(Qt::Key_PageDown);
      QCOMPARE(G->Row(), 1 + Page);
      QVERIFY(!G->CellRect(1, G->Row()).IsEmpty());
      Press(Qt::Key_PageDown);
      const int Second = std::min(Last, 1 + 2 * Page);
      QCOMPARE(G->Row(), Second);
      Press(Qt::Key_PageUp);
      QCOMPARE(G->Row(), Second - Page);
      QVERIFY(!G->CellRect(1, G->Row()).IsEmpty());
      Press(Qt::Key_PageUp);
      QCOMPARE(G->Row(), std::max(1, Second - 2 * Page));
      const int Row = G->Row();
      Press(Qt::Key_Home);
      QCOMPARE(G->Col(), 1); // the tab column stays out of reach
      Press(Qt::Key_End);
      QCOMPARE(G->Col(), G->ColCount() - 1);
      QCOMPARE(G->Row(), Row);
      Press(Qt::Key_End, Qt::ControlModifier);
      QCOMPARE(G->Row(), Last);
      QVERIFY(!G->CellRect(1, Last).IsEmpty());
      // A page beyond either end stops at the last (first) row.
      Press(Qt::Key_PageDown);
      QCOMPARE(G->Row(), Last);
      // Where the grid is scrolled to, a click finds the cell under the mouse.
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, Last - 1));
      QCOMPARE(G->Row(), Last - 1);
      Press(Qt::Key_Home, Qt::ControlModifier);
      QCOMPARE(G->Row(), 1);
      QCOMPARE(G->TopRow(), 1);
      Press(Qt::Key_PageUp);
      QCOMPARE(G->Row(), 1);
      QTest::mouseClick(D->findChild<QPushButton*>(QStringLiteral("BtnCancel")), Qt::LeftButton);
    });
    QCOMPARE(StoredCount(), 0);
  }

  // What was typed stays in its cell when a key moves on from the editor, as with the arrows;
  // Home and End without Ctrl move the caret in the editor.
  void theEditorKeepsItsTextWhenAPageOrCtrlKeyMovesOn() {
    UnicodeString Paged, Ended;
    RunEditor([&](FormDialog* D, GridMirror* W, TStringGrid* G) {
      const int Page = G->VisibleRowCount();
      const int Last = G->RowCount() - 1;
      Paged = G->Cells(0, 2);
      Ended = G->Cells(0, 2 + Page);
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, 2));
      Type(QStringLiteral("ab"));
      Press(Qt::Key_Home);
      QVERIFY(W->Editor());
      Type(QStringLiteral("X"));
      QCOMPARE(W->Editor()->text(), QStringLiteral("Xab"));
      Press(Qt::Key_PageDown);
      QVERIFY(!W->Editor());
      QCOMPARE(G->Cells(1, 2), UnicodeString(u"Xab"));
      QCOMPARE(G->Row(), 2 + Page);
      Type(QStringLiteral("Down"));
      QVERIFY(W->Editor());
      Press(Qt::Key_End, Qt::ControlModifier);
      QVERIFY(!W->Editor());
      QCOMPARE(G->Cells(1, 2 + Page), UnicodeString(u"Down"));
      QCOMPARE(G->Row(), Last);
      // The grid has the keys again: typing opens the editor on the new cell.
      Type(QStringLiteral("Z"));
      QVERIFY(W->Editor());
      QCOMPARE(W->Editor()->geometry(), CellRect(G, 1, Last));
      Press(Qt::Key_Home, Qt::ControlModifier);
      QCOMPARE(G->Row(), 1);
      QCOMPARE(G->Cells(1, Last), UnicodeString(u"Z"));
      QTest::mouseClick(D->findChild<QPushButton*>(QStringLiteral("BtnOk")), Qt::LeftButton);
    });
    QCOMPARE(Stored(Paged), UnicodeString(u"Xab"));
    QCOMPARE(Stored(Ended), UnicodeString(u"Down"));
    QCOMPARE(StoredCount(), 3);
  }

  void theCellEditorFollowsTheGridAsTheWheelScrollsIt() {
    UnicodeString Edited, Below;
    RunEditor([&](FormDialog* D, GridMirror* W, TStringGrid* G) {
      QVERIFY(G->RowCount() > G->VisibleRowCount() + 4); // enough rows to scroll
      Edited = G->Cells(0, 3);
      Below = G->Cells(0, 4);
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, 3));
      Type(QStringLiteral("Moved"));
      QVERIFY(W->Editor());
      const QRect Before = W->Editor()->geometry();
      Wheel(W, W->rect().center(), -1);
      QCOMPARE(G->TopRow(), 2);
      // Still over its own cell, which moved up a row; row 4 now lies where the editor was.
      QVERIFY(W->Editor());
      QCOMPARE(W->Editor()->geometry(), CellRect(G, 1, 3));
      QCOMPARE(CellRect(G, 1, 4), Before);
      Press(Qt::Key_Return);
      QCOMPARE(G->Cells(1, 3), UnicodeString(u"Moved"));
      QCOMPARE(G->Cells(1, 4), UnicodeString());
      QTest::mouseClick(D->findChild<QPushButton*>(QStringLiteral("BtnOk")), Qt::LeftButton);
    });
    QCOMPARE(Stored(Edited), UnicodeString(u"Moved"));
    QCOMPARE(Stored(Below), UnicodeString());
    QCOMPARE(StoredCount(), 1);
  }

  void aCellScrolledOutOfViewKeepsItsTextAndEnterWritesNoOtherRow() {
    UnicodeString Edited;
    RunEditor([&](FormDialog* D, GridMirror* W, TStringGrid* G) {
      Edited = G->Cells(0, 1);
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, 1));
      Type(QStringLiteral("Kept"));
      QVERIFY(W->Editor());
      // A click on the scroll bar's track below its handle: a page down.
      auto* Scroll = W->findChild<QScrollBar*>();
      QVERIFY(Scroll && Scroll->isVisible());
      QTest::mouseClick(Scroll, Qt::LeftButton, {},
                        QPoint(Scroll->width() / 2, Scroll->height() - 24));
      QTRY_VERIFY(G->TopRow() > 1);
      QVERIFY(G->CellRect(1, 1).IsEmpty());
      // Its cell left the view: the editor closed with the text in its own cell.
      QVERIFY(!W->Editor());
      QCOMPARE(G->Cells(1, 1), UnicodeString(u"Kept"));
      QVERIFY(W->hasFocus());
      Press(Qt::Key_Return); // OK
      QVERIFY(!D->isVisible());
    });
    QCOMPARE(Stored(Edited), UnicodeString(u"Kept"));
    QCOMPARE(StoredCount(), 1);
  }

  // The add-in goes while the window shows it, after its editor ran: the bar lets go of the
  // add-in's button as it is released, and shows the IDE's own first button again, which
  // works.
  void unloadingTheAddInAfterItsEditorRanGivesTheBarBackAsItWas() {
    RunEditor([](FormDialog* D, GridMirror*, TStringGrid*) {
      Press(Qt::Key_Escape);
      QVERIFY(!D->isVisible());
    });
    ToolBarMirror* Bar = Window->PaletteToolBarMirror();
    QVERIFY(Bar->ButtonNamed(QStringLiteral("tbCollapseAll")));
    QVERIFY(!Bar->ButtonNamed(QStringLiteral("tbCollapseAll"))->isVisible());
    Ide->Packages().Unload("OrvikPaletteMenu170");
    QTRY_VERIFY(!Bar->ButtonNamed(QStringLiteral("tbPalette")));
    QTRY_VERIFY(Bar->ButtonNamed(QStringLiteral("tbCollapseAll")) &&
                Bar->ButtonNamed(QStringLiteral("tbCollapseAll"))->isVisible());
    QTRY_VERIFY(Window->MenuBar()->actions().last()->text() != PaletteEntry);
    TCategoryButtons* P = Ide->Palette();
    QVERIFY(P->Categories()->Count() > 1);
    QTest::mouseClick(Bar->ButtonNamed(QStringLiteral("tbCollapseAll")), Qt::LeftButton);
    for (int I = 0; I < P->Categories()->Count(); ++I)
      QVERIFY(P->Categories()->Items(I)->Collapsed());
  }

  // Opening the menu again releases the items of the opening before.
  void anOpeningReleasesThePreviousOpeningsItems() {
    TMenuItem* Entry = Ide->MainMenu()->Items()->Find(u"P&alette");
    QVERIFY(ClickEntry(Window->MenuBar(), PaletteEntry));
    CloseMenus();
    TReleaseWatch Old;
    Old.WatchVisibleItems(Entry);
    QVERIFY(Old.Watched > 2);
    QMenu* Again = ClickEntry(Window->MenuBar(), PaletteEntry);
    QVERIFY(Again);
    QCOMPARE(Old.Released, Old.Watched);
    QVERIFY(Texts(Again).contains(QStringLiteral("Edit Categories...")));
    CloseMenus();
  }

  void aFailureIsShownInAMessageBoxAndTheWindowGoesOn() {
    QString Shown;
    AnswerBox([&](QMessageBox* Box) { Shown = Box->text(); });
    {
      THiveFaultInjection Fail(hoRead, 0, -1);
      ClickEntry(Window->MenuBar(), PaletteEntry);
      QTRY_VERIFY(!Shown.isEmpty());
      CloseMenus();
    }
    QVERIFY2(Shown.contains(QStringLiteral("HKCU")), qPrintable(Shown));
    QMenu* Palette = ClickEntry(Window->MenuBar(), PaletteEntry);
    QVERIFY(Palette);
    QVERIFY(Texts(Palette).contains(QStringLiteral("Edit Categories...")));
  }

  // A failure while the add-in's button opens its menu is shown in a box. Once the box is
  // closed nothing of that opening is left standing, and the next click on the button, by its
  // arrow or its face, opens the menu.
  void theClickAfterAFailuresBoxReachesTheButton_data() {
    QTest::addColumn<bool>("FailByArrow");
    QTest::addColumn<bool>("ThenByArrow");
    QTest::newRow("arrow, then arrow") << true << true;
    QTest::newRow("arrow, then face") << true << false;
    QTest::newRow("face, then arrow") << false << true;
    QTest::newRow("face, then face") << false << false;
  }
  void theClickAfterAFailuresBoxReachesTheButton() {
    QFETCH(bool, FailByArrow);
    QFETCH(bool, ThenByArrow);
    QToolButton* Button = Window->PaletteToolBarMirror()->ButtonNamed(QStringLiteral("tbPalette"));
    QVERIFY(Button);
    // The arrow at the button's right edge, the face at its left, where the button is now.
    auto At = [Button](bool OnArrow) {
      return OnArrow ? QPoint(Button->width() - 3, Button->height() / 2)
                     : QPoint(6, Button->height() / 2);
    };
    QString Shown;
    bool LeftOpen = false;
    AnswerBox([&](QMessageBox* Box) {
      Shown = Box->text();
      // Whatever stays open a moment after the box has gone would take the user's next click.
      QTimer::singleShot(300, this, [&] {
        if (QWidget* Popup = QApplication::activePopupWidget()) {
          LeftOpen = true;
          QTest::keyClick(Popup, Qt::Key_Escape);
        }
      });
    });
    {
      THiveFaultInjection Fail(hoRead, 0, -1);
      QTest::mouseClick(Button, Qt::LeftButton, {}, At(FailByArrow));
      QTRY_VERIFY(!Shown.isEmpty());
    }
    QVERIFY2(Shown.contains(QStringLiteral("HKCU")), qPrintable(Shown));
    QTest::qWait(400);
    QVERIFY(!LeftOpen);
    QVERIFY(!QApplication::activePopupWidget());
    QStringList Opened;
    QObject Scope; // the poll goes with this test, whatever it finds
    user::WhenShown(&Scope, Button->menu(), [&](QMenu* Menu) {
      Opened = Texts(Menu);
      QTest::keyClick(Menu, Qt::Key_Escape);
    });
    QTest::mouseClick(Button, Qt::LeftButton, {}, At(ThenByArrow));
    QTRY_VERIFY(!Opened.isEmpty());
    QVERIFY(Opened.contains(QStringLiteral("Edit Categories...")));
  }

private:
  // Answers the next message box once it shows (it runs modally inside the user's action).
  void AnswerBox(std::function<void(QMessageBox*)> Read) {
    auto* Poll = new QTimer(this);
    connect(Poll, &QTimer::timeout, this, [Poll, Read] {
      auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!Box || !Box->isVisible())
        return;
      Poll->stop();
      Poll->deleteLater();
      Read(Box);
      QTest::keyClick(Box, Qt::Key_Escape);
    });
    Poll->start(20);
  }

  // Chooses "Edit Categories..." in the main menu; User works the dialog once it shows (inside
  // the click that chose it, since the dialog runs modally).
  void RunEditor(std::function<void(FormDialog*, GridMirror*, TStringGrid*)> User) {
    bool Ran = false;
    auto* Poll = new QTimer(this);
    connect(Poll, &QTimer::timeout, this, [&, Poll] {
      auto* D = qobject_cast<FormDialog*>(QApplication::activeModalWidget());
      if (!D || !D->isVisible())
        return;
      Poll->stop();
      // Whatever the checks find, the dialog does not stay open.
      struct TCloser {
        QDialog* Dialog;
        ~TCloser() {
          if (Dialog->isVisible())
            Dialog->reject();
        }
      } Closer{D};
      QVERIFY(Activate(D));
      auto* W = D->findChild<GridMirror*>(QStringLiteral("GrdCategories"));
      QVERIFY(W);
      auto* Grid =
          dynamic_cast<TStringGrid*>(Application->FindComponent(u"OvFrmPaletteMenuCategories")
                                         ->FindComponent(u"GrdCategories"));
      QVERIFY(Grid);
      User(D, W, Grid);
      Ran = true;
    });
    QMenu* Palette = ClickEntry(Window->MenuBar(), PaletteEntry);
    QVERIFY(Palette);
    Poll->start(20);
    Choose(Palette, QStringLiteral("Edit Categories..."));
    delete Poll;
    QVERIFY(Ran);
  }

  QTemporaryDir Dir;
  int Round = 0;
  std::optional<TCurrentUserHiveFileScope> Hive; // a hive file of each test's own
  std::unique_ptr<THostIde> Ide;
  std::unique_ptr<DesktopMainWindow> Window;
};

QTEST_MAIN(QtIdeTest)
#include "DesktopIdeTest.moc"
