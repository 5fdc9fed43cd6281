// The plugin file as the hosts load it (QPluginLoader): a form-editor plugin that is initialised
// before the host has built its main window and Widget Box, starts once they are there, and ends
// when the form editor goes.
#include "FakeWidgetBox.h"

#include "DesktopUserInput.h"

#include "QtStrings.h"

#include "rtl/RegistryHive.h"

#include <QDesignerFormEditorInterface>
#include <QDesignerFormEditorPluginInterface>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <optional>

using namespace user;

class DesignerPluginTest : public QObject {
  Q_OBJECT

private slots:
  void startsOnceTheHostsWindowsAreThereAndEndsWithTheFormEditor() {
    QTemporaryDir Dir;
    TCurrentUserHiveFileScope Hive(FromQString(Dir.filePath(QStringLiteral("HKCU.db"))));
    QPluginLoader Loader(QStringLiteral(OV_PLUGIN_FILE));
    QVERIFY2(Loader.load(), qPrintable(Loader.errorString()));
    auto* Plugin = qobject_cast<QDesignerFormEditorPluginInterface*>(Loader.instance());
    QVERIFY(Plugin);
    QCOMPARE(Loader.metaData().value(QStringLiteral("IID")).toString(),
             QStringLiteral("org.qt-project.Qt.Designer.QDesignerFormEditorPluginInterface"));

    // As Qt Widgets Designer does: the form editor first, its windows later.
    auto* Core = new QDesignerFormEditorInterface;
    Plugin->initialize(Core);
    QVERIFY(Plugin->isInitialized());
    QCOMPARE(Plugin->core(), Core);
    QVERIFY(!Plugin->action()); // no editing mode of the form editor
    QTest::qWait(200);

    QMainWindow Main;
    Main.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("&Quit"));
    auto* Dock = new QDockWidget(QStringLiteral("Widget Box"), &Main);
    auto* Box = new TFakeWidgetBox(true, Dock);
    Box->AddCategory(QStringLiteral("Buttons"), 3);
    Dock->setWidget(Box);
    Main.addDockWidget(Qt::LeftDockWidgetArea, Dock);
    Main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Main));
    Core->setTopLevel(&Main);
    Core->setWidgetBox(Box);

    QTRY_VERIFY(ActionNamed(Main.menuBar(), QStringLiteral("P&alette")));
    QTRY_VERIFY(Box->findChild<QToolBar*>(QStringLiteral("Toolbar1")));
    QTRY_VERIFY(Box->findChild<QWidget*>(QStringLiteral("tbPalette")));

    // The form editor goes (as Qt Creator shuts it down): the add-in is unloaded and what it
    // showed in the host's windows goes with it.
    delete Core;
    QTRY_VERIFY(!ActionNamed(Main.menuBar(), QStringLiteral("P&alette")));
    QVERIFY(!Box->findChild<QToolBar*>(QStringLiteral("Toolbar1")));
    QCOMPARE(Main.menuBar()->actions().size(), 1);
  }
};

QTEST_MAIN(DesignerPluginTest)
#include "DesignerPluginTest.moc"
