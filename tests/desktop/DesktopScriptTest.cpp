// Scripts in the window: the menu a command left open is shown where a user would see it.
#include "Desktop.h"
#include "DesktopMainWindow.h"
#include "MenuMirrors.h"
#include "ToolBarMirror.h"

#include "Ide.h"
#include "Interpreter.h"
#include "Startup.h"

#include "rtl/RegistryHive.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>

class DesktopScriptTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    QVERIFY(Dir.isValid());
    Hive.emplace(UTF8Decode(Dir.filePath(QStringLiteral("HKCU-%1.db").arg(++Round)).toStdString()));
    // As hostide does it: the window first, then the palette and the packages.
    Ide = std::make_unique<THostIde>();
    Window = std::make_unique<DesktopMainWindow>(*Ide);
    Window->show();
    QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    StartIde(*Ide, TStartOptions{}, [](const std::function<void()>& Step) { Step(); });
  }
  void cleanup() {
    for (QMenu* M : Window->findChildren<QMenu*>())
      M->hide();
    Window.reset();
    Ide.reset();
    Hive.reset();
  }

  void aMainMenuEntrysMenuOpensUnderItsEntry_data() {
    QTest::addColumn<QString>("Entry");
    QTest::newRow("Help") << QStringLiteral("&Help");
    QTest::newRow("Palette, added by the package after the bar was built")
        << QStringLiteral("P&alette");
  }
  void aMainMenuEntrysMenuOpensUnderItsEntry() {
    QFETCH(QString, Entry);
    QMenu* Menu = ShowAfter("open " + Entry.toStdString());
    QVERIFY(Menu);
    QTRY_VERIFY(Menu->isVisible());
    QCOMPARE(Menu->title(), Entry);
    QMenuBar* Bar = Window->MenuBar();
    const QRect Place = Bar->actionGeometry(Menu->menuAction());
    QVERIFY(!Place.isEmpty());
    // Its top-left corner at the bottom-left corner of the entry (a pixel or two of frame
    // aside), not at the window's corner.
    const QPoint Under = Bar->mapToGlobal(Place.bottomLeft());
    QVERIFY2((Menu->pos() - Under).manhattanLength() <= 4,
             qPrintable(QStringLiteral("menu at %1,%2, entry's corner at %3,%4")
                            .arg(Menu->pos().x())
                            .arg(Menu->pos().y())
                            .arg(Under.x())
                            .arg(Under.y())));
    QVERIFY(Menu->pos().x() > Bar->mapToGlobal(QPoint(0, 0)).x() + 100);
    QVERIFY(!Menu->actions().isEmpty());
  }

  void aToolButtonsMenuDropsDownUnderTheButton() {
    QMenu* Menu = ShowAfter("open @button");
    QVERIFY(Menu);
    QTRY_VERIFY(Menu->isVisible());
    QToolButton* Button = Window->PaletteToolBarMirror()->ButtonNamed(QStringLiteral("tbPalette"));
    QVERIFY(Button);
    QCOMPARE(Menu, Button->menu());
    const QPoint Under = Button->mapToGlobal(QPoint(0, Button->height()));
    // Right below the button; a menu that would cross the screen's right edge is moved left,
    // but still reaches over the button's corner.
    QVERIFY(std::abs(Menu->y() - Under.y()) <= 2);
    QVERIFY(Menu->x() <= Under.x() + 2);
    QVERIFY(Menu->geometry().right() >= Under.x());
    QCOMPARE(Menu->actions().last()->text(), QStringLiteral("Edit Categories..."));
  }

  void aCommandThatOpensNothingShowsNothing() {
    QCOMPARE(ShowAfter("open &Help\necho done"), static_cast<QMenu*>(nullptr));
    for (QMenu* M : Window->findChildren<QMenu*>())
      QVERIFY(!M->isVisible());
  }

private:
  // Runs Script through the interpreter, then shows what its last command left open.
  QMenu* ShowAfter(const std::string& Script) {
    std::istringstream In(Script + "\n");
    TStreamLineReader Reader(In);
    std::ostringstream Out;
    TCommandInterpreter Interpreter(*Ide, Reader, Out, true);
    TInterpreterHooks Hooks(Interpreter);
    if (Interpreter.Run() != 0) {
      qWarning("%s", Out.str().c_str());
      return nullptr;
    }
    return ShowOpenedMenu(*Window, Interpreter.Opened());
  }

  QTemporaryDir Dir;
  int Round = 0;
  std::optional<TCurrentUserHiveFileScope> Hive; // a hive file of each test's own
  std::unique_ptr<THostIde> Ide;
  std::unique_ptr<DesktopMainWindow> Window;
};

QTEST_MAIN(DesktopScriptTest)
#include "DesktopScriptTest.moc"
