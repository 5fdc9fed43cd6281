// The desktop window over the whole IDE with the add-in loaded, driven through its real
// widgets under the offscreen platform.
#include "DesktopFailures.h"
#include "DesktopFormDialog.h"
#include "DesktopGridWidget.h"
#include "DesktopMainWindow.h"
#include "DesktopMenus.h"
#include "DesktopPaletteView.h"
#include "DesktopQtStrings.h"
#include "DesktopToolBarView.h"

#include "Ide.h"

#include "rtl/HiveFaults.h"
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

#include <functional>
#include <memory>

namespace {

const UnicodeString Key = u"Software\\Orvik\\Palette Menu";

QAction* ActionNamed(QMenu* Menu, const QString& Text) {
  for (QAction* A : Menu->actions())
    if (A->text() == Text)
      return A;
  return nullptr;
}

QStringList Texts(QMenu* Menu) {
  QStringList R;
  for (QAction* A : Menu->actions())
    R << (A->isSeparator() ? QStringLiteral("-") : A->text());
  return R;
}

// Opens a menu as a user does and answers it.
QMenu* Open(QMenu* Menu) {
  Menu->popup(QPoint(0, 0));
  return Menu;
}

int IndexOf(TCategoryButtons* P, const UnicodeString& Caption) {
  for (int I = 0; I < P->Categories()->Count(); ++I)
    if (P->Categories()->Items(I)->Caption() == Caption)
      return I;
  return -1;
}

} // namespace

class QtIdeTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    QVERIFY(Dir.isValid());
    SetCurrentUserHiveFile(FromQString(Dir.filePath(QStringLiteral("HKCU-%1.db").arg(++Round))));
    Ide = std::make_unique<THostIde>();
    Ide->LoadPalette(THostIde::DefaultPalette());
    Ide->Packages().Load(THostIde::DefaultPackage());
    Window = std::make_unique<DesktopMainWindow>(*Ide);
    Window->show();
    QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
  }
  void cleanup() {
    Window.reset();
    Ide.reset();
  }

  void pickingATabInThePaletteMenuExpandsAndShowsIt() {
    QMenu* Palette = Window->MenuBar()->MenuFor(QStringLiteral("P&alette"));
    QVERIFY(Palette);
    QCOMPARE(Window->MenuBar()->actions().last()->text(), QStringLiteral("P&alette"));
    Open(Palette);
    const QStringList Top = Texts(Palette);
    QCOMPARE(Top.mid(Top.size() - 3), (QStringList{"Other", "-", "Edit Categories..."}));
    QMenu* Other = Open(ActionNamed(Palette, QStringLiteral("Other"))->menu());
    QAction* Dialogs = ActionNamed(Other, QStringLiteral("Dialogs"));
    QVERIFY(Dialogs);
    Dialogs->trigger();
    Palette->hide();

    TCategoryButtons* P = Ide->Palette();
    const int I = IndexOf(P, u"Dialogs");
    QVERIFY(!P->Categories()->Items(I)->Collapsed());
    QVERIFY(P->IsHeaderVisible(I));
    // The view shows the model's scroll position: the header is where the view paints it.
    QCOMPARE(Window->PaletteView()->verticalScrollBar()->value(), P->ScrollPosition());
    const int Y = P->CategoryTop(I) - P->ScrollPosition() + 2;
    QCOMPARE(Window->PaletteView()->HeaderAt(QPoint(10, Y)), I);
  }

  void altAOpensThePaletteEntryByItsHotKey() {
    QMenu* Palette = Window->MenuBar()->MenuFor(QStringLiteral("P&alette"));
    QVERIFY(!Palette->isVisible());
    QTest::keyClick(Window.get(), Qt::Key_A, Qt::AltModifier);
    QTRY_VERIFY(Palette->isVisible());
    QVERIFY(Texts(Palette).contains(QStringLiteral("Edit Categories...")));
    Palette->hide();
  }

  void theButtonsArrowAndFaceDropDownTheSameRebuiltMenu() {
    QToolButton* Button = Window->ToolBarView()->ButtonNamed(QStringLiteral("tbPalette"));
    QVERIFY(Button);
    QCOMPARE(Button->toolTip(), QStringLiteral("Orvik Palette Menu"));
    QVERIFY(!Button->icon().isNull());
    QCOMPARE(Button->popupMode(), QToolButton::MenuButtonPopup);
    // The arrow.
    QMenu* Menu = Open(Button->menu());
    const QStringList ByArrow = Texts(Menu);
    QVERIFY(ByArrow.contains(QStringLiteral("Other")));
    Menu->hide();
    // An assignment made meanwhile shows at the next opening, by the face this time.
    TRegIniFile(Key).WriteString(u"Categories", u"Standard", u"VCL");
    Button->click();
    QVERIFY(Button->menu()->isVisible());
    QCOMPARE(Texts(Button->menu()), (QStringList{"Other", "VCL", "-", "Edit Categories..."}));
    Button->menu()->hide();
  }

  void typingACategoryAndOkStoresItAndTheNextMenuShowsIt() {
    RunEditor([](DesktopFormDialog* D, DesktopGridWidget* W, TStringGrid* G) {
      const int Row = RowOf(G, u"Standard");
      QVERIFY(Row > 0);
      G->SetTopRow(Row); // scrolled to it, as a user would
      // The tab column cannot be selected, so not edited either.
      const int Col = G->Col(), R0 = G->Row();
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 0, Row));
      QCOMPARE(G->Col(), Col);
      QCOMPARE(G->Row(), R0);
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, Row));
      QCOMPARE(G->Row(), Row);
      QTest::keyClick(W, 'C');
      QVERIFY(W->Editor());
      QTest::keyClicks(W->Editor(), QStringLiteral("ommon"));
      QTest::keyClick(W->Editor(), Qt::Key_Return); // confirms the cell
      QVERIFY(!W->Editor());
      QVERIFY(D->isVisible());
      QTest::keyClick(W, Qt::Key_Return); // and Enter in the grid is OK
      QVERIFY(!D->isVisible());
    });
    QCOMPARE(TRegIniFile(Key).ReadString(u"Categories", u"Standard", u""),
             UnicodeString(u"Common"));
    QMenu* Palette = Open(Window->MenuBar()->MenuFor(QStringLiteral("P&alette")));
    QMenu* Common = ActionNamed(Palette, QStringLiteral("Common"))->menu();
    QVERIFY(Common);
    QCOMPARE(Texts(Open(Common)), (QStringList{"Standard"}));
    Palette->hide();
  }

  void cancelWritesNothing() {
    RunEditor([](DesktopFormDialog* D, DesktopGridWidget* W, TStringGrid* G) {
      QTest::mouseClick(W, Qt::LeftButton, {}, Center(G, 1, 1));
      QTest::keyClick(W, 'X');
      QTest::keyClick(W->Editor(), Qt::Key_Return);
      D->findChild<QPushButton*>(QStringLiteral("BtnCancel"))->click();
    });
    TStringList Names;
    TRegIniFile(Key).ReadSection(u"Categories", &Names);
    QCOMPARE(Names.Count(), 0);
  }

  void aFailureIsShownInAMessageBoxAndTheWindowGoesOn() {
    QString Shown;
    QTimer::singleShot(0, [&] {
      auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(Box);
      Shown = Box->text();
      Box->accept();
    });
    {
      THiveFaultInjection Fail(hoRead, 0, -1);
      Open(Window->MenuBar()->MenuFor(QStringLiteral("P&alette")))->hide();
    }
    QVERIFY2(Shown.contains(QStringLiteral("HKCU")), qPrintable(Shown));
    QMenu* Palette = Open(Window->MenuBar()->MenuFor(QStringLiteral("P&alette")));
    QVERIFY(Texts(Palette).contains(QStringLiteral("Edit Categories...")));
    Palette->hide();
  }

private:
  static QPoint Center(TStringGrid* G, int C, int R) {
    const TRect Rc = G->CellRect(C, R);
    return QPoint((Rc.Left + Rc.Right) / 2, (Rc.Top + Rc.Bottom) / 2);
  }
  static int RowOf(TStringGrid* G, const UnicodeString& Key0) {
    for (int R = 1; R < G->RowCount(); ++R)
      if (G->Cells(0, R) == Key0)
        return R;
    return -1;
  }
  // Chooses "Edit Categories..." in the main menu; User works the dialog once it shows.
  void RunEditor(std::function<void(DesktopFormDialog*, DesktopGridWidget*, TStringGrid*)> User) {
    bool Ran = false;
    QTimer::singleShot(0, [&] {
      auto* D = qobject_cast<DesktopFormDialog*>(QApplication::activeModalWidget());
      QVERIFY(D);
      // Whatever the checks find, the dialog does not stay open.
      struct TCloser {
        QDialog* Dialog;
        ~TCloser() {
          if (Dialog->isVisible())
            Dialog->reject();
        }
      } Closer{D};
      auto* W = D->findChild<DesktopGridWidget*>(QStringLiteral("GrdCategories"));
      QVERIFY(W);
      auto* Grid =
          dynamic_cast<TStringGrid*>(Application->FindComponent(u"OvFrmPaletteMenuCategories")
                                         ->FindComponent(u"GrdCategories"));
      QVERIFY(Grid);
      User(D, W, Grid);
      Ran = true;
    });
    QMenu* Palette = Open(Window->MenuBar()->MenuFor(QStringLiteral("P&alette")));
    ActionNamed(Palette, QStringLiteral("Edit Categories..."))->trigger();
    Palette->hide();
    QVERIFY(Ran);
  }

  QTemporaryDir Dir;
  int Round = 0;
  std::unique_ptr<THostIde> Ide;
  std::unique_ptr<DesktopMainWindow> Window;
};

QTEST_MAIN(QtIdeTest)
#include "DesktopIdeTest.moc"
