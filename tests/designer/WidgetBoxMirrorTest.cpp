// The model's palette as a mirror of a Widget Box: what the Widget Box holds at each opening,
// folding both ways, and scrolling a category to the top of the Widget Box. The Widget Box is
// worked as a user works it, by mouse and keys, on a real X server.
#include "WidgetBoxMirror.h"
#include "FakeWidgetBox.h"

#include "QtStrings.h"

#include "vcl/CategoryButtons.h"

#include <QMainWindow>
#include <QScrollBar>
#include <QTest>

#include <memory>

namespace {

QStringList Captions(const TCategoryButtons& P) {
  QStringList R;
  for (int I = 0; I < P.Categories()->Count(); ++I)
    R << ToQString(P.Categories()->Items(I)->Caption());
  return R;
}

TButtonCategory* Named(const TCategoryButtons& P, const QString& Caption) {
  for (int I = 0; I < P.Categories()->Count(); ++I)
    if (ToQString(P.Categories()->Items(I)->Caption()) == Caption)
      return P.Categories()->Items(I);
  return nullptr;
}

// The row of the tree standing for a category.
QTreeWidgetItem* Row(TFakeWidgetBox& Box, const QString& Caption) {
  const auto Found = Box.Tree->findItems(Caption, Qt::MatchExactly);
  return Found.isEmpty() ? nullptr : Found.first();
}

} // namespace

class WidgetBoxMirrorTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QMainWindow> Window;
  TFakeWidgetBox* Box = nullptr;
  std::unique_ptr<TCategoryButtons> Palette;
  std::unique_ptr<WidgetBoxMirror> Mirror;
  QStringList Reports;

  void Build(bool WithTree) {
    Window = std::make_unique<QMainWindow>();
    Box = new TFakeWidgetBox(WithTree, Window.get());
    Window->setCentralWidget(Box);
    Window->resize(240, 320);
    for (const char* Name : {"Layouts", "Spacers", "Buttons", "Item Views", "Containers",
                             "Input Widgets", "Display Widgets"})
      Box->AddCategory(QString::fromLatin1(Name), 6);
    Window->show();
    QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    Palette = std::make_unique<TCategoryButtons>(nullptr);
    Mirror = std::make_unique<WidgetBoxMirror>(Box, Palette.get(),
                                               [this](const QString& M) { Reports << M; });
  }

private slots:
  void cleanup() {
    Mirror.reset();
    Palette.reset();
    Window.reset();
    Reports.clear();
  }

  void thePaletteHoldsTheCategoriesAndWidgetsOfTheWidgetBox() {
    Build(true);
    QCOMPARE(Captions(*Palette), (QStringList{"Layouts", "Spacers", "Buttons", "Item Views",
                                              "Containers", "Input Widgets", "Display Widgets"}));
    const TButtonCategory* Buttons = Named(*Palette, QStringLiteral("Buttons"));
    QCOMPARE(Buttons->ButtonCount(), 6);
    QCOMPARE(ToQString(Buttons->Buttons(5)->Caption()), QStringLiteral("Buttons 5"));
    QVERIFY(!Buttons->Collapsed());
    QVERIFY(Reports.isEmpty());
  }

  void categoriesAddedRenamedAndRemovedBetweenOpeningsShowAtTheNext() {
    Build(true);
    // A custom widget plugin adds its category, the Scratchpad appears, one is renamed and one
    // goes: the next opening finds the palette as the Widget Box is then.
    Box->AddCategory(QStringLiteral("My Widgets"), 2);
    Box->AddCategory(QStringLiteral("Scratchpad"), 1);
    Box->Rename(1, QStringLiteral("Spacers & Struts"));
    Box->removeCategory(3);
    Mirror->Sync();
    QCOMPARE(Captions(*Palette),
             (QStringList{"Layouts", "Spacers && Struts", "Buttons", "Containers", "Input Widgets",
                          "Display Widgets", "My Widgets", "Scratchpad"}));
    QCOMPARE(Named(*Palette, QStringLiteral("My Widgets"))->ButtonCount(), 2);

    // Without an opening the model follows the tree once the change is over, too.
    Box->removeCategory(0);
    QTRY_COMPARE(Captions(*Palette).first(), QStringLiteral("Spacers && Struts"));
    Box->removeCategory(0);
    Box->removeCategory(0);
    QTRY_COMPARE(Captions(*Palette).first(), QStringLiteral("Containers"));
  }

  // The hosts signal a change of their tree from inside it, when the Widget Box is half done
  // (reading it then crashed Qt Widgets Designer): the mirror reads it only once the change is
  // over, however it changes, and then holds it as it is.
  void theWidgetBoxIsReadOnlyOnceTheHostHasFinishedChangingIt() {
    Build(true);
    Box->AddCategory(QStringLiteral("Scratchpad"), 1);
    Box->Rename(0, QStringLiteral("Lay & Out"));
    Box->removeCategory(1);
    QTRY_COMPARE(Captions(*Palette),
                 (QStringList{"Lay && Out", "Buttons", "Item Views", "Containers", "Input Widgets",
                              "Display Widgets", "Scratchpad"}));
    Box->Reload({QStringLiteral("Alpha"), QStringLiteral("Beta")}, 3);
    QTRY_COMPARE(Captions(*Palette), (QStringList{"Alpha", "Beta"}));
    QCOMPARE(Named(*Palette, QStringLiteral("Beta"))->ButtonCount(), 3);
    QCOMPARE(Box->ReadsInChange, 0);
    // The folding of the rebuilt Widget Box goes both ways still.
    Box->Tree->topLevelItem(1)->setExpanded(false);
    QVERIFY(Named(*Palette, QStringLiteral("Beta"))->Collapsed());
    Named(*Palette, QStringLiteral("Alpha"))->SetCollapsed(true);
    QVERIFY(!Box->Tree->topLevelItem(0)->isExpanded());
    QVERIFY(Reports.isEmpty());
  }

  // A category that the Widget Box's filter hides, chosen: the filter is cleared, and the
  // category shows expanded at the top.
  void aCategoryTheFilterHidesIsShownWhenChosen() {
    Build(true);
    Box->Filter->setFocus();
    QTest::keyClicks(Box->Filter, QStringLiteral("Butt"));
    QTreeWidgetItem* Input = Row(*Box, QStringLiteral("Input Widgets"));
    QVERIFY(Input->isHidden());
    Input->setExpanded(false);
    QTest::qWait(10);
    TButtonCategory* C = Named(*Palette, QStringLiteral("Input Widgets"));
    C->SetCollapsed(false);
    C->ScrollIntoView();
    QVERIFY(Box->Filter->text().isEmpty());
    QVERIFY(!Input->isHidden());
    QVERIFY(Input->isExpanded());
    QTRY_COMPARE(Box->Tree->visualItemRect(Input).top(), 0);
    QVERIFY(Reports.isEmpty());
  }

  void aCategoryFoldedByHandInTheWidgetBoxIsFoldedInTheModel() {
    Build(true);
    QTreeWidget* T = Box->Tree;
    const QRect Header = T->visualItemRect(Row(*Box, QStringLiteral("Spacers")));
    // A click selects the category's row; Left folds it, Right unfolds it.
    QTest::mouseClick(T->viewport(), Qt::LeftButton, {}, Header.center());
    QTest::keyClick(T, Qt::Key_Left);
    QVERIFY(Named(*Palette, QStringLiteral("Spacers"))->Collapsed());
    QVERIFY(!Named(*Palette, QStringLiteral("Buttons"))->Collapsed());
    // An opening reads the folding again and keeps it.
    Mirror->Sync();
    QVERIFY(Named(*Palette, QStringLiteral("Spacers"))->Collapsed());
    QTest::keyClick(T, Qt::Key_Right);
    QVERIFY(!Named(*Palette, QStringLiteral("Spacers"))->Collapsed());
  }

  void foldingInTheModelFoldsTheWidgetBox() {
    Build(true);
    for (int I = 0; I < Palette->Categories()->Count(); ++I)
      Palette->Categories()->Items(I)->SetCollapsed(true);
    for (int I = 0; I < Box->Tree->topLevelItemCount(); ++I)
      QVERIFY(!Box->Tree->topLevelItem(I)->isExpanded());
    Named(*Palette, QStringLiteral("Containers"))->SetCollapsed(false);
    QVERIFY(Row(*Box, QStringLiteral("Containers"))->isExpanded());
    QVERIFY(!Row(*Box, QStringLiteral("Buttons"))->isExpanded());
  }

  void scrollingACategoryIntoViewPutsItAtTheTopOfTheWidgetBox() {
    Build(true);
    QTreeWidget* T = Box->Tree;
    QTreeWidgetItem* Input = Row(*Box, QStringLiteral("Input Widgets"));
    Input->setExpanded(false);
    QVERIFY(Named(*Palette, QStringLiteral("Input Widgets"))->Collapsed());
    QCOMPARE(T->verticalScrollBar()->value(), 0);

    // What the add-in does for a chosen tab: expand it, scroll it into view.
    Mirror->Sync();
    TButtonCategory* C = Named(*Palette, QStringLiteral("Input Widgets"));
    C->SetCollapsed(false);
    C->ScrollIntoView();
    QVERIFY(Input->isExpanded());
    QTRY_COMPARE(T->visualItemRect(Input).top(), 0);

    // The same tab again after the user scrolled back up, with nothing in between: heard again.
    T->scrollToTop();
    QVERIFY(T->visualItemRect(Input).top() > 0);
    C = Named(*Palette, QStringLiteral("Input Widgets"));
    C->SetCollapsed(false);
    C->ScrollIntoView();
    QTRY_COMPARE(T->visualItemRect(Input).top(), 0);

    // The first category too (its header is where the model's view starts).
    Named(*Palette, QStringLiteral("Layouts"))->ScrollIntoView();
    QTRY_COMPARE(T->verticalScrollBar()->value(), 0);
    QVERIFY(Reports.isEmpty());
  }

  void aHiddenWidgetBoxIsShownForTheCategory() {
    Build(true);
    Window->hide();
    Mirror->Sync();
    Named(*Palette, QStringLiteral("Containers"))->ScrollIntoView();
    QVERIFY(Window->isVisible());
    QTRY_COMPARE(Box->Tree->visualItemRect(Row(*Box, QStringLiteral("Containers"))).top(), 0);
  }

  void withoutATreeTheModelStillHoldsEveryCategoryAndSaysSoOnce() {
    Build(false);
    QCOMPARE(Captions(*Palette).size(), 7);
    Palette->Categories()->Items(2)->SetCollapsed(true);
    Palette->Categories()->Items(3)->SetCollapsed(true);
    Mirror->Sync();
    Palette->Categories()->Items(4)->ScrollIntoView();
    QCOMPARE(Reports.size(), 1);
    QVERIFY2(Reports.first().contains(QStringLiteral("Widget Box")), qPrintable(Reports.first()));
    // Folding is kept in the model across openings.
    QVERIFY(Palette->Categories()->Items(2)->Collapsed());
    QVERIFY(!Palette->Categories()->Items(1)->Collapsed());
  }
};

QTEST_MAIN(WidgetBoxMirrorTest)
#include "WidgetBoxMirrorTest.moc"
