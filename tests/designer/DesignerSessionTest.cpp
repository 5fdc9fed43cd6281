// The plugin's session over a host built as Qt Widgets Designer builds its windows (a main
// window with its own menus, the Widget Box in a dock), with the real add-in, worked by mouse
// and keys on a real X server: what the add-in adds shows in the host's windows, its menus read
// the Widget Box as it is at each opening, a failure to load is shown once and names what
// failed, and stopping unloads the add-in and leaves the host's windows as they were.
#include "DesignerSession.h"
#include "FakeWidgetBox.h"

#include "DesktopUserInput.h"

#include "Failures.h"
#include "Ide.h"
#include "QtStrings.h"

#include "rtl/Exception.h"
#include "rtl/RegIniFile.h"
#include "rtl/RegistryHive.h"
#include "vcl/Menus.h"

#include <QDesignerFormEditorInterface>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <fstream>
#include <memory>
#include <optional>

using namespace user;

namespace {

const QString PaletteEntry = QStringLiteral("P&alette");

QStringList EntryTexts(QMenuBar* Bar) {
  QStringList R;
  for (QAction* A : Bar->actions())
    if (A->isVisible())
      R << A->text();
  return R;
}

// The tool bar's buttons by name, in order, with whether they show.
QStringList Buttons(QToolBar* Bar) {
  QStringList R;
  for (QAction* A : Bar->actions())
    if (auto* B = qobject_cast<QToolButton*>(Bar->widgetForAction(A)))
      R << B->objectName() + (A->isVisible() ? QString() : QStringLiteral(" (hidden)"));
  return R;
}

} // namespace

class DesignerSessionTest : public QObject {
  Q_OBJECT

  QTemporaryDir Dir;
  int Round = 0;
  std::optional<TCurrentUserHiveFileScope> Hive;
  std::unique_ptr<QMainWindow> Main;
  TFakeWidgetBox* Box = nullptr;
  std::unique_ptr<QDesignerFormEditorInterface> Core;
  std::unique_ptr<DesignerSession> Session;
  QStringList Failures;
  std::optional<FailureSinkScope> Sink;

  // Designer's main window: its own menus, the Widget Box docked at the left.
  void BuildHost() {
    Main = std::make_unique<QMainWindow>();
    Main->resize(800, 600);
    Main->menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("&Open..."));
    Main->menuBar()->addMenu(QStringLiteral("&Window"))->addAction(QStringLiteral("Widget &Box"));
    Main->menuBar()->addMenu(QStringLiteral("&Help"))->addAction(QStringLiteral("&About"));
    auto* Dock = new QDockWidget(QStringLiteral("Widget Box"), Main.get());
    Box = new TFakeWidgetBox(true, Dock);
    Dock->setWidget(Box);
    Main->addDockWidget(Qt::LeftDockWidgetArea, Dock);
    Main->setCentralWidget(new QWidget(Main.get()));
    // Taller than the dock, so that any of the first categories can be scrolled to its top.
    for (const char* Name : {"Layouts", "Spacers", "Buttons", "Containers"})
      Box->AddCategory(QString::fromLatin1(Name), 12);
    Core = std::make_unique<QDesignerFormEditorInterface>();
    Core->setTopLevel(Main.get());
    Core->setWidgetBox(Box);
    Main->show();
    QVERIFY(QTest::qWaitForWindowExposed(Main.get()));
    QVERIFY(Activate(Main.get()));
  }

  void Start(const std::string& AddIn = OV_ADDIN_FILE) {
    Session = std::make_unique<DesignerSession>(Core.get());
    Session->Start(AddIn);
  }

private slots:
  void init() {
    QVERIFY(Dir.isValid());
    Hive.emplace(FromQString(Dir.filePath(QStringLiteral("HKCU-%1.db").arg(++Round))));
    Sink.emplace([this](QWidget*, const QString& Message) { Failures << Message; });
    BuildHost();
  }
  void cleanup() {
    CloseMenus();
    Session.reset();
    Core.reset();
    Main.reset();
    Sink.reset();
    Hive.reset();
    Failures.clear();
  }

  void theAddInShowsInTheHostsMenuBarAndOnTheWidgetBox() {
    Start();
    QVERIFY(DesignerSession::HostReady(Core.get()));
    QVERIFY(Session->AddIn());
    QCOMPARE(Session->AddIn()->State, TPackageState::Registered);
    QVERIFY2(Failures.isEmpty(), qPrintable(Failures.join('\n')));
    // After the host's own entries.
    QTRY_COMPARE(EntryTexts(Main->menuBar()),
                 (QStringList{"&File", "&Window", "&Help", PaletteEntry}));
    // Toolbar1 stands at the top of the Widget Box: the add-in's button at its left end, the
    // first button of its own hidden while the add-in is loaded.
    QToolBar* Bar = Box->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    QVERIFY(Bar);
    QCOMPARE(Box->layout()->indexOf(Bar), 0);
    QTRY_COMPARE(Buttons(Bar), (QStringList{"tbPalette", "tbCollapseAll (hidden)", "tbExpandAll"}));
    auto* Button = Bar->findChild<QToolButton*>(QStringLiteral("tbPalette"));
    QVERIFY(!Button->icon().isNull());
    QCOMPARE(Button->popupMode(), QToolButton::MenuButtonPopup);
  }

  void thePaletteMenuReadsTheWidgetBoxAsItIsAtEachOpening() {
    Start();
    QTRY_VERIFY(ActionNamed(Main->menuBar(), PaletteEntry));
    QMenu* Palette = ClickEntry(Main->menuBar(), PaletteEntry);
    QVERIFY(Palette);
    QCOMPARE(Texts(Palette), (QStringList{"Other", "-", "Edit Categories..."}));
    QMenu* Other = Choose(Palette, QStringLiteral("Other"));
    QVERIFY(Other);
    QCOMPARE(Texts(Other), (QStringList{"Buttons", "Containers", "Layouts", "Spacers"}));
    CloseMenus();

    // A plugin adds a category and another goes; the next opening (once the host is back in
    // its event loop) lists them as they are.
    Box->AddCategory(QStringLiteral("My Widgets"), 2);
    Box->removeCategory(1);
    QTest::qWait(1);
    Palette = ClickEntry(Main->menuBar(), PaletteEntry);
    QVERIFY(Palette);
    Other = Choose(Palette, QStringLiteral("Other"));
    QVERIFY(Other);
    QCOMPARE(Texts(Other), (QStringList{"Buttons", "Containers", "Layouts", "My Widgets"}));

    // Choosing a tab brings its category to the top of the Widget Box, expanded.
    QTreeWidgetItem* Row = Box->Tree->findItems(QStringLiteral("Buttons"), Qt::MatchExactly)[0];
    Row->setExpanded(false);
    CloseMenus();
    Palette = ClickEntry(Main->menuBar(), PaletteEntry);
    Other = Choose(Palette, QStringLiteral("Other"));
    QVERIFY(Other);
    Choose(Other, QStringLiteral("Buttons"));
    QTRY_VERIFY(Row->isExpanded());
    QTRY_COMPARE(Box->Tree->visualItemRect(Row).top(), 0);
    QVERIFY2(Failures.isEmpty(), qPrintable(Failures.join('\n')));
  }

  void theButtonDropsTheSameMenuDown() {
    Start();
    QToolButton* Button = nullptr;
    QTRY_VERIFY((Button = Box->findChild<QToolButton*>(QStringLiteral("tbPalette"))) &&
                Button->isVisible());
    // The face drops the menu down, as the arrow does.
    QTest::mouseClick(Button, Qt::LeftButton, {}, QPoint(6, Button->height() / 2));
    QTRY_VERIFY(Button->menu() && Button->menu()->isVisible());
    QCOMPARE(Texts(Button->menu()), (QStringList{"Other", "-", "Edit Categories..."}));
  }

  void outsideTheFormEditorWithNoFormOpenTheTabSaysWhy() {
    // As Qt Creator outside its Design mode: the Widget Box's dock stands on a page that is not
    // shown, and a command of the main window switches to it; no form is open.
    auto* Dock = qobject_cast<QDockWidget*>(Box->parentWidget());
    Main->removeDockWidget(Dock);
    auto* Pages = new QStackedWidget(Main.get());
    Pages->addWidget(new QWidget(Pages));
    auto* DesignPage = new QMainWindow(Pages);
    DesignPage->setWindowFlags(Qt::Widget); // a page, not a window of its own
    DesignPage->addDockWidget(Qt::LeftDockWidgetArea, Dock);
    Pages->addWidget(DesignPage);
    Main->setCentralWidget(Pages);
    auto* DesignMode = new QAction(QStringLiteral("Switch to Design mode"), Main.get());
    DesignMode->setObjectName(QStringLiteral("QtCreator.Mode.Design"));
    Main->addAction(DesignMode);
    int Switched = 0;
    connect(DesignMode, &QAction::triggered, this, [&] { ++Switched; });
    Dock->show();
    QVERIFY(!Box->isVisible());

    Start();
    QTRY_VERIFY(ActionNamed(Main->menuBar(), PaletteEntry));
    for (int Round = 1; Round <= 2; ++Round) {
      QMenu* Palette = ClickEntry(Main->menuBar(), PaletteEntry);
      QVERIFY(Palette);
      QMenu* Other = Choose(Palette, QStringLiteral("Other"));
      QVERIFY(Other);
      Choose(Other, QStringLiteral("Containers"));
      // Said at every choice, since it answers the choice.
      QTRY_COMPARE(Failures.size(), Round);
      QVERIFY2(Failures.last().contains(QStringLiteral("No form is open")),
               qPrintable(Failures.last()));
    }
    QCOMPARE(Switched, 0);
    QVERIFY(!Box->isVisible());
  }

  void inAHostWhoseMenuBarHasAltAPaletteOpensByAnotherLetter() {
    // As in Qt Creator, whose "&Analyze" has Alt+A.
    Main->menuBar()->insertMenu(Main->menuBar()->actions().first(),
                                new QMenu(QStringLiteral("&Analyze"), Main.get()));
    Start();
    QTRY_VERIFY(ActionNamed(Main->menuBar(), QStringLiteral("&Palette")));
    Press(Qt::Key_P, Qt::AltModifier);
    QMenu* Palette = Shown(ActionNamed(Main->menuBar(), QStringLiteral("&Palette")));
    QVERIFY(Palette);
    QCOMPARE(Texts(Palette), (QStringList{"Other", "-", "Edit Categories..."}));
    CloseMenus();
    QCOMPARE(Session->Ide()->MainMenu()->Items()->Find(u"Palette")->Caption(), u"P&alette");
    QVERIFY2(Failures.isEmpty(), qPrintable(Failures.join('\n')));
  }

  void aCategoryNameWithAnAmpersandShowsAsTheWidgetBoxShowsItAndIsReached() {
    Box->Rename(1, QStringLiteral("Data & Charts"));
    Start();
    QTRY_VERIFY(ActionNamed(Main->menuBar(), PaletteEntry));
    QMenu* Palette = ClickEntry(Main->menuBar(), PaletteEntry);
    QMenu* Other = Choose(Palette, QStringLiteral("Other"));
    QVERIFY(Other);
    // "&&" is how a menu shows one "&".
    QCOMPARE(Texts(Other), (QStringList{"Buttons", "Containers", "Data && Charts", "Layouts"}));
    QTreeWidgetItem* Row =
        Box->Tree->findItems(QStringLiteral("Data & Charts"), Qt::MatchExactly)[0];
    Row->setExpanded(false);
    Choose(Other, QStringLiteral("Data && Charts"));
    QTRY_VERIFY(Row->isExpanded());
    QTRY_COMPARE(Box->Tree->visualItemRect(Row).top(), 0);
    QVERIFY2(Failures.isEmpty(), qPrintable(Failures.join('\n')));
  }

  void stoppingUnloadsTheAddInAndLeavesTheHostAsItWas() {
    Start();
    QTRY_VERIFY(ActionNamed(Main->menuBar(), PaletteEntry));
    const TPackageRecord* AddIn = Session->AddIn();
    QVERIFY(AddIn);
    THostIde* Ide = Session->Ide();
    QVERIFY(Ide);
    // The record lives with the model: read before the model goes.
    Ide->Packages().UnloadAll();
    QCOMPARE(AddIn->State, TPackageState::Unloaded);
    Session->Stop();
    QVERIFY(!Session->Started());
    QTRY_COMPARE(EntryTexts(Main->menuBar()), (QStringList{"&File", "&Window", "&Help"}));
    QVERIFY(!Box->findChild<QToolBar*>(QStringLiteral("Toolbar1")));
    // The host goes on, and a later session starts afresh.
    Session->Start(OV_ADDIN_FILE);
    QTRY_VERIFY(ActionNamed(Main->menuBar(), PaletteEntry));
    QVERIFY(Failures.isEmpty());
  }

  void aSecondCopyOfThePluginStaysIdleAndSaysSo() {
    // Installed and also found through QT_PLUGIN_PATH: two sessions in one host.
    Start();
    DesignerSession Second(Core.get());
    Second.Start(OV_ADDIN_FILE);
    QVERIFY(!Second.Started());
    QCOMPARE(Failures.size(), 1);
    QVERIFY2(Failures[0].contains(QStringLiteral("loaded twice")), qPrintable(Failures[0]));
    QTRY_COMPARE(EntryTexts(Main->menuBar()),
                 (QStringList{"&File", "&Window", "&Help", PaletteEntry}));
    QCOMPARE(Box->findChildren<QToolBar*>(QStringLiteral("Toolbar1")).size(), 1);
  }

  void aMissingAddInIsShownOnceAndTheHostGoesOn() {
    const std::string Missing =
        Dir.filePath(QStringLiteral("nowhere/OrvikPaletteMenu170.so")).toStdString();
    Start(Missing);
    QCOMPARE(Failures.size(), 1);
    QVERIFY2(Failures[0].contains(QString::fromStdString(Missing)), qPrintable(Failures[0]));
    QVERIFY(Session->AddIn());
    QCOMPARE(Session->AddIn()->State, TPackageState::Failed);
    // The host's menus are untouched and work; the tool bar keeps its own buttons.
    QTest::qWait(50);
    QCOMPARE(EntryTexts(Main->menuBar()), (QStringList{"&File", "&Window", "&Help"}));
    QVERIFY(ClickEntry(Main->menuBar(), QStringLiteral("&File")));
    CloseMenus();
    QToolBar* Bar = Box->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    QVERIFY(Bar);
    QTRY_COMPARE(Buttons(Bar), (QStringList{"tbCollapseAll", "tbExpandAll"}));
    // Its buttons act on the Widget Box.
    QTest::mouseClick(Bar->findChild<QToolButton*>(QStringLiteral("tbCollapseAll")),
                      Qt::LeftButton);
    for (int I = 0; I < Box->Tree->topLevelItemCount(); ++I)
      QVERIFY(!Box->Tree->topLevelItem(I)->isExpanded());
    QCOMPARE(Failures.size(), 1);
  }

  void aFileThatIsNoHiveIsToldOnceWithWhatToDoAndTheMenusGoOn() {
    const QString Bad = Dir.filePath(QStringLiteral("not-a-hive.db"));
    std::ofstream(Bad.toStdString()) << "this is no hive, only text\n";
    Hive.emplace(FromQString(Bad));
    Start();
    QCOMPARE(Failures.size(), 1);
    QVERIFY2(Failures[0].contains(Bad) && Failures[0].contains(QStringLiteral("mv ")),
             qPrintable(Failures[0]));
    // The add-in runs on: its menus list every tab under "Other".
    QCOMPARE(Session->AddIn()->State, TPackageState::Registered);
    QTRY_VERIFY(ActionNamed(Main->menuBar(), PaletteEntry));
    QMenu* Other = Choose(ClickEntry(Main->menuBar(), PaletteEntry), QStringLiteral("Other"));
    QVERIFY(Other);
    QCOMPARE(Texts(Other), (QStringList{"Buttons", "Containers", "Layouts", "Spacers"}));
    CloseMenus();
    // What the add-in would store is refused, naming the file, which is left as it was.
    try {
      TRegIniFile Store(u"Software\\Orvik\\Palette Menu");
      QCOMPARE(Store.ReadString(u"Categories", u"Buttons", u"none"), u"none");
      Store.WriteString(u"Categories", u"Buttons", u"Mine");
      QFAIL("a write to the stand-in store was taken");
    } catch (const ERegistryException& E) {
      QVERIFY2(ToQString(E.Message()).contains(Bad), qPrintable(ToQString(E.Message())));
    }
    Session->Stop();
    std::ifstream In(Bad.toStdString());
    std::string Line;
    std::getline(In, Line);
    QCOMPARE(QString::fromStdString(Line), QStringLiteral("this is no hive, only text"));
    QCOMPARE(Failures.size(), 1);
  }
};

QTEST_MAIN(DesignerSessionTest)
#include "DesignerSessionTest.moc"
