// Works the window as a user does: mouse clicks, moves, wheel turns and key presses sent to the
// widgets, never calls into the widgets' or the model's operations.
#pragma once

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <functional>

namespace user {

inline QAction* ActionNamed(QWidget* Owner, const QString& Text) {
  for (QAction* A : Owner->actions())
    if (A->text() == Text && A->isVisible())
      return A;
  return nullptr;
}

inline QStringList Texts(QMenu* Menu) {
  QStringList R;
  for (QAction* A : Menu->actions())
    if (A->isVisible())
      R << (A->isSeparator() ? QStringLiteral("-") : A->text());
  return R;
}

// Runs Read on Menu once it shows (inside whatever runs it modally), once. The poll belongs to
// Context.
inline void WhenShown(QObject* Context, QMenu* Menu, std::function<void(QMenu*)> Read) {
  auto* Poll = new QTimer(Context);
  QObject::connect(Poll, &QTimer::timeout, Context, [Poll, Menu, Read] {
    if (!Menu->isVisible())
      return;
    Poll->stop();
    Poll->deleteLater();
    Read(Menu);
  });
  Poll->start(20);
}

// The menu that shows, or nullptr once the wait is over.
inline QMenu* Shown(QAction* Action) {
  if (!Action || !Action->menu())
    return nullptr;
  QMenu* Menu = Action->menu();
  return QTest::qWaitFor([&] { return Menu->isVisible(); }, 2000) ? Menu : nullptr;
}

// Clicks an entry of the menu bar; its menu, once it shows.
inline QMenu* ClickEntry(QMenuBar* Bar, const QString& Text) {
  QAction* A = ActionNamed(Bar, Text);
  if (!A)
    return nullptr;
  QTest::mouseClick(Bar, Qt::LeftButton, {}, Bar->actionGeometry(A).center());
  return Shown(A);
}

// Moves the mouse onto an entry of the menu bar (while another of its menus is open).
inline QMenu* HoverEntry(QMenuBar* Bar, const QString& Text) {
  QAction* A = ActionNamed(Bar, Text);
  if (!A)
    return nullptr;
  QTest::mouseMove(Bar, Bar->actionGeometry(A).center());
  return Shown(A);
}

// Clicks an item of an open menu: a sub-menu's item opens it (returned once it shows), any
// other item is chosen (nullptr). A chosen item may run a modal dialog before this returns.
inline QMenu* Choose(QMenu* Menu, const QString& Text) {
  QAction* A = Menu ? ActionNamed(Menu, Text) : nullptr;
  if (!A)
    return nullptr;
  const QPoint At = Menu->actionGeometry(A).center();
  QTest::mouseMove(Menu, At);
  if (A->menu()) {
    QTest::mouseClick(Menu, Qt::LeftButton, {}, At);
    return Shown(A);
  }
  QTest::mouseClick(Menu, Qt::LeftButton, {}, At);
  return nullptr;
}

// A key press (or typed text) for whatever has the keyboard focus.
inline void Press(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) {
  QTest::keyClick(static_cast<QWidget*>(nullptr), K, M);
}
inline void Type(const QString& Text) {
  QTest::keyClicks(static_cast<QWidget*>(nullptr), Text);
}

// Escape until no menu is open.
inline void CloseMenus() {
  for (int I = 0; I < 8 && QApplication::activePopupWidget(); ++I) {
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTest::qWait(10);
  }
}

// Turns the mouse wheel over a widget by Notches (positive: away from the user, up).
inline void Wheel(QWidget* W, const QPoint& At, int Notches) {
  QWheelEvent E(At, W->mapToGlobal(At), QPoint(), QPoint(0, 120 * Notches), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(W, &E);
}

// Makes a top-level window the active one (there is no window manager to do it).
inline bool Activate(QWidget* Window) {
  Window->activateWindow();
  return QTest::qWaitForWindowActive(Window);
}

} // namespace user
