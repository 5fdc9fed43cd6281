// The mirrors of ide/mirrors against small models, worked through mouse and key events on a real
// X server: bars that belong to a host, buttons that follow their model, model objects released
// under living Qt objects, and the registry that picks a mirror by model class.
#include "DesktopUserInput.h"
#include "Failures.h"
#include "FormDialog.h"
#include "MenuMirrors.h"
#include "MirrorRegistry.h"
#include "ModelRef.h"
#include "ToolBarMirror.h"
#include "ToolButtonMirror.h"

#include "rtl/Exception.h"
#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

TMenuItem* NewItem(TComponent* Owner, TMenuItem* Parent, const UnicodeString& Caption) {
  auto* Item = new TMenuItem(Owner);
  Item->SetCaption(Caption);
  Parent->Add(Item);
  return Item;
}

TToolButton* NewButton(TComponent* Owner, TToolBar* Bar, const UnicodeString& Name, int Left) {
  auto* B = new TToolButton(Owner);
  B->SetName(Name);
  B->SetLeft(Left);
  B->SetParent(Bar);
  return B;
}

// The visible entries of a Qt bar, as a user reads them.
QStringList Entries(QWidget* Bar) {
  QStringList R;
  for (QAction* A : Bar->actions())
    if (A->isVisible())
      R << (A->isSeparator()       ? QStringLiteral("-")
            : !A->text().isEmpty() ? A->text()
                                   : A->objectName());
  return R;
}

// The visible entries of a Qt tool bar by the names of their buttons (or their text).
QStringList ToolEntries(QToolBar* Bar) {
  QStringList R;
  for (QAction* A : Bar->actions()) {
    if (!A->isVisible())
      continue;
    QWidget* W = Bar->widgetForAction(A);
    R << (A->isSeparator()                  ? QStringLiteral("-")
          : W && !W->objectName().isEmpty() ? W->objectName()
                                            : A->text());
  }
  return R;
}

// Icons of one colour per image index.
QIcon Swatch(int Index) {
  if (Index < 0)
    return QIcon();
  QPixmap P(16, 16);
  P.fill(Index == 0 ? Qt::red : Qt::blue);
  return QIcon(P);
}

QColor ColourOf(const QIcon& Icon) {
  return Icon.pixmap(16, 16).toImage().pixelColor(8, 8);
}

// A component that looks at a reference to itself while it is being released.
class TProbe : public TComponent {
public:
  using TComponent::TComponent;
  ~TProbe() override {
    if (Ref && Seen)
      *Seen = Ref->Get() != nullptr;
  }
  ModelRef<TProbe>* Ref = nullptr;
  bool* Seen = nullptr;
};

} // namespace

class MirrorsTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    Failures.clear();
    Sink =
        std::make_unique<FailureSinkScope>([this](QWidget*, const QString& M) { Failures << M; });
  }
  void cleanup() { Sink.reset(); }

  // A host's menu bar (Qt Designer's main window's, say): the mirror's entries come after the
  // host's, model changes rebuild only them, and the host's entries stay the same actions and
  // keep working. Released, the mirror leaves the bar as the host had it.
  void aMenuBarMirrorAddsItsEntriesAfterTheHostsAndRemovesOnlyItsOwn() {
    QMainWindow Window;
    auto* Bar = new QMenuBar(&Window);
    Window.setMenuBar(Bar);
    QMenu* HostFile = Bar->addMenu(QStringLiteral("&File"));
    int Opens = 0;
    connect(HostFile->addAction(QStringLiteral("&Open")), &QAction::triggered, this,
            [&] { ++Opens; });
    QAction* HostHelp = Bar->addAction(QStringLiteral("&Help"));
    const QList<QAction*> Host = Bar->actions();

    TComponent Ide(nullptr);
    auto* Menu = new TMainMenu(&Ide);
    TMenuItem* Palette = NewItem(&Ide, Menu->Items(), u"P&alette");
    NewItem(&Ide, Palette, u"Edit Categories...");
    auto Mirror = std::make_unique<MenuBarMirror>(Menu, Bar, nullptr);
    Window.resize(500, 200);
    Window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Window) && user::Activate(&Window));

    QCOMPARE(Entries(Bar), (QStringList{"&File", "&Help", "P&alette"}));
    QCOMPARE(Mirror->Actions().size(), 1);
    QMenu* M = user::ClickEntry(Bar, QStringLiteral("P&alette"));
    QVERIFY(M);
    QCOMPARE(user::Texts(M), (QStringList{"Edit Categories..."}));
    user::CloseMenus();

    // The model gains an entry, and loses one: the host's entries are untouched.
    TMenuItem* Tools = NewItem(&Ide, Menu->Items(), u"&Tools");
    NewItem(&Ide, Tools, u"Run");
    QTRY_COMPARE(Entries(Bar), (QStringList{"&File", "&Help", "P&alette", "&Tools"}));
    QCOMPARE(Bar->actions().mid(0, 2), Host);
    // A caption changes on the same entry.
    QAction* ToolsEntry = user::ActionNamed(Bar, QStringLiteral("&Tools"));
    Tools->SetCaption(u"T&ools");
    QCOMPARE(user::ActionNamed(Bar, QStringLiteral("T&ools")), ToolsEntry);
    QVERIFY(Mirror->MenuFor(QStringLiteral("T&ools")));
    Tools->SetCaption(u"&Tools");
    Free(Palette);
    QCOMPARE(Entries(Bar), (QStringList{"&File", "&Help", "&Tools"}));
    QCOMPARE(Bar->actions().mid(0, 2), Host);
    QVERIFY(user::ClickEntry(Bar, QStringLiteral("&Tools")));
    user::CloseMenus();
    user::Choose(user::ClickEntry(Bar, QStringLiteral("&File")), QStringLiteral("&Open"));
    QCOMPARE(Opens, 1);

    // The mirror goes first: the bar is the host's again, and works.
    Mirror.reset();
    QCOMPARE(Bar->actions(), Host);
    user::Choose(user::ClickEntry(Bar, QStringLiteral("&File")), QStringLiteral("&Open"));
    QCOMPARE(Opens, 2);

    // The model's main menu goes first: its entries leave the bar, the host's stay.
    MenuBarMirror Again(Menu, Bar, nullptr);
    QCOMPARE(Entries(Bar), (QStringList{"&File", "&Help", "&Tools"}));
    Free(Menu);
    QCOMPARE(Bar->actions(), Host);
    QVERIFY(HostHelp->isVisible());
    QVERIFY(Failures.isEmpty());
  }

  // The letter a hot key moves to: the first of the text the taken keys leave free, whatever
  // its case; a literal "&" stays one, and a text with no free letter loses its marker.
  void aTakenHotKeyMovesToTheFirstFreeLetter() {
    const QSet<QChar> A{QChar('a')};
    QCOMPARE(WithFreeHotKey(QStringLiteral("P&alette"), A), QStringLiteral("&Palette"));
    QCOMPARE(WithFreeHotKey(QStringLiteral("P&alette"), {QChar('a'), QChar('p')}),
             QStringLiteral("Pa&lette"));
    QCOMPARE(WithFreeHotKey(QStringLiteral("P&alette"), {QChar('b')}), QStringLiteral("P&alette"));
    QCOMPARE(WithFreeHotKey(QStringLiteral("Palette"), A), QStringLiteral("Palette"));
    QCOMPARE(WithFreeHotKey(QStringLiteral("R&&D &and"), A), QStringLiteral("&R&&D and"));
    QCOMPARE(WithFreeHotKey(QStringLiteral("&& &a"), A), QStringLiteral("&& a"));
    QCOMPARE(WithFreeHotKey(QStringLiteral("A &B"), {QChar('a'), QChar('b')}),
             QStringLiteral("A B"));
    QCOMPARE(HotKeyOf(QStringLiteral("Fish && &Chips")), QChar('c'));
    QVERIFY(HotKeyOf(QStringLiteral("R&&D")).isNull());
    QVERIFY(HotKeyOf(QStringLiteral("End&")).isNull());
  }

  // A host's bar whose own entry has the model entry's key (Qt Creator's "&Analyze" and
  // "P&alette"): the mirror's entry shows a free letter, and pressing it opens the entry; the
  // model keeps its caption. The letter follows the host's entries as they come and go.
  void anEntryWhoseKeyTheHostHasShowsAFreeLetterThatOpensIt() {
    QMainWindow Window;
    auto* Bar = new QMenuBar(&Window);
    Window.setMenuBar(Bar);
    Bar->addMenu(QStringLiteral("&File"));
    QMenu* Analyze = Bar->addMenu(QStringLiteral("&Analyze"));
    int Analyzed = 0;
    connect(Analyze, &QMenu::aboutToShow, this, [&] { ++Analyzed; });

    TComponent Ide(nullptr);
    auto* Menu = new TMainMenu(&Ide);
    TMenuItem* Palette = NewItem(&Ide, Menu->Items(), u"P&alette");
    NewItem(&Ide, Palette, u"Edit Categories...");
    TMenuItem* Go = NewItem(&Ide, Menu->Items(), u"&Go");
    int Gos = 0;
    Go->OnClick = [&](TObject*) { ++Gos; };
    MenuBarMirror Mirror(Menu, Bar, &Window);
    Window.resize(500, 200);
    Window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Window) && user::Activate(&Window));

    QCOMPARE(Entries(Bar), (QStringList{"&File", "&Analyze", "&Palette", "&Go"}));
    QCOMPARE(Palette->Caption(), u"P&alette");
    user::Press(Qt::Key_P, Qt::AltModifier);
    QMenu* M = user::Shown(user::ActionNamed(Bar, QStringLiteral("&Palette")));
    QVERIFY(M);
    QCOMPARE(user::Texts(M), (QStringList{"Edit Categories..."}));
    user::CloseMenus();
    QCOMPARE(Analyzed, 0);
    user::Press(Qt::Key_G, Qt::AltModifier);
    QTRY_COMPARE(Gos, 1);

    // The host adds an entry with the new letter, and takes its "&Analyze" away; a model caption
    // that changes shows with a free letter too.
    Bar->insertMenu(Analyze->menuAction(), new QMenu(QStringLiteral("&Project"), &Window));
    QCOMPARE(Entries(Bar), (QStringList{"&File", "&Project", "&Analyze", "Pa&lette", "&Go"}));
    Go->SetCaption(u"&Find");
    QCOMPARE(Entries(Bar), (QStringList{"&File", "&Project", "&Analyze", "Pa&lette", "F&ind"}));
    // A hidden entry keeps its key in a Qt bar (a press may go to it); a removed one does not.
    Analyze->menuAction()->setVisible(false);
    QCOMPARE(Entries(Bar), (QStringList{"&File", "&Project", "Pa&lette", "F&ind"}));
    Bar->removeAction(Analyze->menuAction());
    QCOMPARE(Entries(Bar), (QStringList{"&File", "&Project", "P&alette", "F&ind"}));
    user::Press(Qt::Key_A, Qt::AltModifier);
    QVERIFY(user::Shown(user::ActionNamed(Bar, QStringLiteral("P&alette"))));
    user::CloseMenus();
    QCOMPARE(Analyzed, 0);
    QVERIFY(Failures.isEmpty());
  }

  // A menu whose model rebuilds its sub-menus at every opening (as the add-in does): each
  // opening shows the sub-menus and their items as the model now has them, however many fewer or
  // more there are than last time, and a chosen item is the model's current one.
  void aMenuRebuiltAtEachOpeningShowsItsSubMenusAsTheyNowAre() {
    TComponent Ide(nullptr);
    auto* Menu = new TMainMenu(&Ide);
    TMenuItem* Palette = NewItem(&Ide, Menu->Items(), u"P&alette");
    std::vector<std::vector<UnicodeString>> Rounds = {
        {u"Alpha", u"Beta"}, {u"Gamma"}, {u"One", u"Two", u"Three"}};
    size_t Round = 0;
    QStringList Chosen;
    Palette->OnClick = [&](TObject*) {
      Palette->Clear();
      for (const UnicodeString& Caption : Rounds[Round % Rounds.size()]) {
        TMenuItem* Sub = NewItem(&Ide, Palette, Caption);
        TMenuItem* Leaf = NewItem(&Ide, Sub, Caption + u" tab");
        Leaf->OnClick = [&Chosen, Leaf](TObject*) {
          Chosen << QString::fromStdU16String(Leaf->Caption());
        };
      }
      ++Round;
    };

    QMainWindow Window;
    auto* Bar = new QMenuBar(&Window);
    Window.setMenuBar(Bar);
    // Seed the entry with a child, so that it shows as a sub-menu before its first opening.
    NewItem(&Ide, Palette, u"(empty)");
    MenuBarMirror Mirror(Menu, Bar, &Window);
    Window.resize(400, 300);
    Window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Window) && user::Activate(&Window));

    const QStringList Expected[] = {{"Alpha", "Beta"}, {"Gamma"}, {"One", "Two", "Three"}};
    for (int Pass = 0; Pass < 4; ++Pass) {
      QMenu* M = user::ClickEntry(Bar, QStringLiteral("P&alette"));
      QVERIFY(M);
      const QStringList& Now = Expected[Pass % 3];
      QCOMPARE(user::Texts(M), Now);
      QMenu* Sub = user::Choose(M, Now.back());
      QVERIFY(Sub);
      QCOMPARE(user::Texts(Sub), QStringList{Now.back() + " tab"});
      user::Choose(Sub, Now.back() + " tab");
      QTRY_COMPARE(Chosen.size(), Pass + 1);
      QCOMPARE(Chosen.back(), Now.back() + " tab");
      // Sub-menus left over from a longer opening are not the menu's any more.
      QTRY_COMPARE(M->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly).size(),
                   Now.size());
    }
    QVERIFY(Failures.isEmpty());
  }

  // A command entry of the bar whose item is released while another entry's menu is open: its
  // entry leaves the bar at once, its key reaches nothing, and the bar goes on.
  void anEntryReleasedUnderAnOpenMenuLeavesTheBarAtOnce() {
    TComponent Ide(nullptr);
    auto* Menu = new TMainMenu(&Ide);
    TMenuItem* Tools = NewItem(&Ide, Menu->Items(), u"&Tools");
    TMenuItem* Drop = NewItem(&Ide, Tools, u"&Drop Go");
    TMenuItem* Go = NewItem(&Ide, Menu->Items(), u"&Go");
    int Gos = 0;
    Go->OnClick = [&](TObject*) { ++Gos; };
    Drop->OnClick = [&](TObject*) { Free(Go); };

    QMainWindow Window;
    auto* Bar = new QMenuBar(&Window);
    Window.setMenuBar(Bar);
    MenuBarMirror Mirror(Menu, Bar, &Window);
    Window.resize(400, 200);
    Window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Window) && user::Activate(&Window));
    QPointer<QAction> GoAction = user::ActionNamed(Bar, QStringLiteral("&Go"));
    QVERIFY(GoAction);

    user::Choose(user::ClickEntry(Bar, QStringLiteral("&Tools")), QStringLiteral("&Drop Go"));
    QVERIFY(!user::ActionNamed(Bar, QStringLiteral("&Go")));
    QVERIFY(!GoAction || !Bar->actions().contains(GoAction.data()));
    user::Press(Qt::Key_G, Qt::AltModifier);
    QTest::qWait(50);
    QCOMPARE(Gos, 0);
    QCOMPARE(Entries(Bar), (QStringList{"&Tools"}));
    QVERIFY(user::ClickEntry(Bar, QStringLiteral("&Tools")));
    user::CloseMenus();
    QVERIFY(Failures.isEmpty());
  }

  // A tool bar that holds a host's own buttons before and after the mirror's: the mirror's
  // buttons stay together where they were put, in the model's order, and leave with the mirror.
  void aToolBarMirrorKeepsItsButtonsTogetherAmongTheHosts() {
    QToolBar View;
    QAction* HostFirst = View.addAction(QStringLiteral("Collapse"));
    int Collapses = 0;
    connect(HostFirst, &QAction::triggered, this, [&] { ++Collapses; });
    TComponent Ide(nullptr);
    auto* Bar = new TToolBar(&Ide);
    NewButton(&Ide, Bar, u"tbA", 0);
    NewButton(&Ide, Bar, u"tbB", 30);
    auto Mirror = std::make_unique<ToolBarMirror>(Bar, &View, nullptr, Swatch);
    QAction* HostLast = View.addAction(QStringLiteral("Expand"));
    View.resize(400, 30);
    View.show();
    QVERIFY(QTest::qWaitForWindowExposed(&View));
    QCOMPARE(ToolEntries(&View), (QStringList{"Collapse", "tbA", "tbB", "Expand"}));

    // A button the model puts first lands first among the mirror's, not before the host's.
    TToolButton* C = NewButton(&Ide, Bar, u"tbC", 0);
    C->SetStyle(TToolButtonStyle::tbsButton);
    QTRY_COMPARE(ToolEntries(&View), (QStringList{"Collapse", "tbC", "tbA", "tbB", "Expand"}));
    // A separator between the model's buttons.
    TToolButton* Line = NewButton(&Ide, Bar, u"tbLine", 100);
    Line->SetStyle(TToolButtonStyle::tbsSeparator);
    QTRY_COMPARE(ToolEntries(&View), (QStringList{"Collapse", "tbC", "tbA", "tbB", "-", "Expand"}));
    Line->SetVisible(false);
    QCOMPARE(ToolEntries(&View), (QStringList{"Collapse", "tbC", "tbA", "tbB", "Expand"}));

    QTest::mouseClick(View.widgetForAction(HostFirst), Qt::LeftButton);
    QCOMPARE(Collapses, 1);
    Mirror.reset();
    QCOMPARE(View.actions(), (QList<QAction*>{HostFirst, HostLast}));
    QTest::mouseClick(View.widgetForAction(HostFirst), Qt::LeftButton);
    QCOMPARE(Collapses, 2);
  }

  // Each property of a tool button shows as it changes, on the same Qt button, without the bar
  // being built again; the user's clicks follow the enabled state and the style.
  void aToolButtonFollowsItsModelWithoutRebuildingTheBar() {
    TComponent Ide(nullptr);
    auto* Bar = new TToolBar(&Ide);
    TToolButton* B = NewButton(&Ide, Bar, u"tbGo", 0);
    B->SetImageIndex(0);
    int Clicks = 0;
    B->OnClick = [&](TObject*) { ++Clicks; };
    QToolBar View;
    ToolBarMirror Mirror(Bar, &View, nullptr, Swatch);
    View.resize(300, 30);
    View.show();
    QVERIFY(QTest::qWaitForWindowExposed(&View));
    QPointer<QToolButton> Q = Mirror.ButtonNamed(QStringLiteral("tbGo"));
    QVERIFY(Q);
    const int Builds = Mirror.Builds();
    QCOMPARE(ColourOf(Q->icon()), QColor(Qt::red));

    B->SetCaption(u"Go on");
    QCOMPARE(Q->text(), QStringLiteral("Go on"));
    B->SetHint(u"Goes on");
    QCOMPARE(Q->toolTip(), QStringLiteral("Goes on"));
    B->SetImageIndex(1);
    QCOMPARE(ColourOf(Q->icon()), QColor(Qt::blue));

    B->SetEnabled(false);
    QVERIFY(!Q->isEnabled());
    QTest::mouseClick(Q, Qt::LeftButton);
    QCOMPARE(Clicks, 0);
    B->SetEnabled(true);
    QTest::mouseClick(Q, Qt::LeftButton);
    QCOMPARE(Clicks, 1);

    B->SetVisible(false);
    QTRY_VERIFY(!Q->isVisible());
    B->SetVisible(true);
    QTRY_VERIFY(Q->isVisible());

    // A check button: the user's click toggles the model's Down, the model's Down shows.
    B->SetStyle(TToolButtonStyle::tbsCheck);
    QVERIFY(Q->isCheckable());
    QTest::mouseClick(Q, Qt::LeftButton);
    QVERIFY(B->Down());
    QVERIFY(Q->isChecked());
    B->SetDown(false);
    QVERIFY(!Q->isChecked());
    QCOMPARE(Clicks, 2);

    // A drop-down menu given later shows as the button's arrow.
    auto* Popup = new TPopupMenu(&Ide);
    NewItem(&Ide, Popup->Items(), u"First");
    B->SetStyle(TToolButtonStyle::tbsDropDown);
    B->SetDropdownMenu(Popup);
    QCOMPARE(Q->popupMode(), QToolButton::MenuButtonPopup);
    QVERIFY(Q->menu());

    QTest::qWait(20);
    QCOMPARE(Mirror.Builds(), Builds);
    QCOMPARE(Mirror.ButtonNamed(QStringLiteral("tbGo")), Q.data());
    QVERIFY(Failures.isEmpty());
  }

  // A model button released before the bar is built again: its Qt button reaches nothing, and
  // the bar then shows the buttons that are left.
  void aButtonReleasedBeforeTheBarIsBuiltAgainReachesNothing() {
    TComponent Ide(nullptr);
    auto* Bar = new TToolBar(&Ide);
    TToolButton* Gone = NewButton(&Ide, Bar, u"tbGone", 0);
    TToolButton* Stay = NewButton(&Ide, Bar, u"tbStay", 30);
    int Clicks = 0;
    Gone->OnClick = [&](TObject*) { ++Clicks; };
    // The other button's click releases this one, as an add-in may while it is unloaded.
    Stay->OnClick = [&](TObject*) { Free(Gone); };
    QToolBar View;
    ToolBarMirror Mirror(Bar, &View, nullptr, Swatch);
    View.resize(300, 30);
    View.show();
    QVERIFY(QTest::qWaitForWindowExposed(&View));
    QPointer<QToolButton> Q = Mirror.ButtonNamed(QStringLiteral("tbGone"));
    QVERIFY(Q);

    QTest::mouseClick(Mirror.ButtonNamed(QStringLiteral("tbStay")), Qt::LeftButton);
    QVERIFY(!Mirror.ButtonNamed(QStringLiteral("tbGone")));
    if (Q)
      QTest::mouseClick(Q, Qt::LeftButton);
    QCOMPARE(Clicks, 0);
    QTRY_COMPARE(ToolEntries(&View), (QStringList{"tbStay"}));
    QTRY_VERIFY(!Q);
  }

  // A form's push button follows its model while the dialog is up: caption, enabled state,
  // bounds; the user's click reaches the model only while it is enabled.
  void aFormsButtonFollowsItsModelWhileTheDialogIsUp() {
    TOwned<TForm> Form(new TForm(nullptr));
    Form->SetName(u"Probe");
    Form->SetClientWidth(300);
    Form->SetClientHeight(120);
    auto* Button = new TButton(Form.get());
    Button->SetName(u"Go");
    Button->SetCaption(u"&Go");
    Button->SetBounds(10, 10, 80, 25);
    Button->SetParent(Form.get());
    int Clicks = 0;
    Button->OnClick = [&](TObject*) { ++Clicks; };
    FormDialog Dialog(Form.get(), nullptr);
    Dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Dialog));
    auto* Q = Dialog.findChild<QPushButton*>(QStringLiteral("Go"));
    QVERIFY(Q);
    QCOMPARE(Q->text(), QStringLiteral("&Go"));

    Button->SetCaption(u"&Went");
    QCOMPARE(Q->text(), QStringLiteral("&Went"));
    Button->SetBounds(100, 50, 90, 30);
    QCOMPARE(Q->geometry(), QRect(100, 50, 90, 30));
    Button->SetEnabled(false);
    QTest::mouseClick(Q, Qt::LeftButton);
    QCOMPARE(Clicks, 0);
    Button->SetEnabled(true);
    QTest::mouseClick(Q, Qt::LeftButton);
    QCOMPARE(Clicks, 1);
    QVERIFY(Failures.isEmpty());
  }

  // While the scope lives, a form the model shows modally runs as a real modal dialog over the
  // window given (a host's main window); the user's Escape ends it with the cancel result, and
  // afterwards the runner it covered is back.
  void aModalFormRunsAsADialogOverTheWindowGiven() {
    QMainWindow Host;
    Host.resize(300, 200);
    Host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Host) && user::Activate(&Host));
    TOwned<TForm> Form(new TForm(nullptr));
    Form->SetName(u"Ask");
    Form->SetClientWidth(200);
    Form->SetClientHeight(80);
    int Result = -1;
    QWidget* Parent = nullptr;
    bool Modal = false;
    {
      ModalDialogScope Dialogs(&Host);
      QTimer::singleShot(0, this, [&] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        QWidget* Dialog = QApplication::activeModalWidget();
        Parent = Dialog->parentWidget();
        Modal = Dialog->isModal();
        // A dialog without controls has no focus widget: the key goes to the dialog itself.
        QVERIFY(QTest::qWaitForWindowExposed(Dialog));
        QTest::keyClick(Dialog, Qt::Key_Escape);
      });
      // Should the user's part fail, the dialog is closed all the same, and the checks below fail.
      QTimer::singleShot(5000, &Host, [] {
        if (QWidget* Stuck = QApplication::activeModalWidget())
          Stuck->close();
      });
      Result = Form->ShowModal();
    }
    QCOMPARE(Parent, &Host);
    QVERIFY(Modal);
    QCOMPARE(Result, static_cast<int>(mrCancel));
    // No runner in force any more: the model says so rather than showing anything.
    bool Refused = false;
    try {
      Form->ShowModal();
    } catch (const Exception&) {
      Refused = true;
    }
    QVERIFY(Refused);
  }

  // A weak reference answers its object until the object's release begins, a copy is a
  // reference of its own, and a reference that goes first leaves nothing behind in the object.
  void aModelReferenceIsNullFromTheStartOfTheRelease() {
    TComponent Owner(nullptr);
    auto* Item = new TMenuItem(&Owner);
    ModelRef<TMenuItem> Ref(Item);
    ModelRef<TMenuItem> Copy = Ref;
    ModelRef<TMenuItem> Assigned;
    Assigned = Ref;
    QCOMPARE(Ref.Get(), Item);
    QCOMPARE(Copy.Get(), Item);
    QCOMPARE(Assigned.Get(), Item);
    const int Views = Item->ViewCount();
    {
      ModelRef<TMenuItem> Brief(Item);
      QCOMPARE(Item->ViewCount(), Views + 1);
    }
    QCOMPARE(Item->ViewCount(), Views);
    Free(Item);
    QVERIFY(!Ref && !Copy && !Assigned);
    QCOMPARE(Ref.Get(), nullptr);

    auto* Other = new TMenuItem(&Owner);
    Ref.Reset(Other);
    QCOMPARE(Ref.Get(), Other);
    QVERIFY(!Copy);

    // Asked from the object's own destructor: nullptr already.
    auto* Probe = new TProbe(&Owner);
    ModelRef<TProbe> ToProbe(Probe);
    bool Seen = true;
    Probe->Ref = &ToProbe;
    Probe->Seen = &Seen;
    QVERIFY(ToProbe);
    Free(Probe);
    QVERIFY(!Seen);
    QVERIFY(!ToProbe);
  }

  // The registry shows an object by the factory of its class or its nearest ancestor's; an
  // object without one gets no view and works on; a front end's factory takes the place of the
  // standard one, and the tool bar's buttons come from it.
  void theRegistryPicksTheNearestFactoryAndLeavesOthersHeadless() {
    MirrorRegistry R;
    auto Label = [](const QString& Text) {
      return [Text](TComponent*, QWidget* Into, QObject*) -> QObject* {
        return new QLabel(Text, Into);
      };
    };
    R.Register(TControl::StaticClass(), Label(QStringLiteral("control")));
    R.Register(TToolButton::StaticClass(), Label(QStringLiteral("button")));
    TComponent Ide(nullptr);
    auto* Bar = new TToolBar(&Ide);
    TToolButton* B = NewButton(&Ide, Bar, u"tbGo", 0);
    QWidget Into;
    std::unique_ptr<QLabel> ForButton(R.CreateAs<QLabel>(B, &Into));
    std::unique_ptr<QLabel> ForBar(R.CreateAs<QLabel>(Bar, &Into));
    QVERIFY(ForButton && ForBar);
    QCOMPARE(ForButton->text(), QStringLiteral("button"));
    QCOMPARE(ForBar->text(), QStringLiteral("control"));
    // A mirror of another kind than asked for is not kept.
    QCOMPARE(R.CreateAs<QToolButton>(B, &Into), nullptr);
    QCOMPARE(Into.findChildren<QLabel*>().size(), 2);
    // No factory: no view, and the model goes on.
    TComponent Ide2(nullptr);
    auto* Menu = new TMainMenu(&Ide2);
    TMenuItem* Item = NewItem(&Ide2, Menu->Items(), u"&Go");
    int Gos = 0;
    Item->OnClick = [&](TObject*) { ++Gos; };
    QCOMPARE(R.Create(Menu, &Into), nullptr);
    Item->Click();
    QCOMPARE(Gos, 1);
    R.Register(TToolButton::StaticClass(), Label(QStringLiteral("again")));
    std::unique_ptr<QLabel> Again(R.CreateAs<QLabel>(B, &Into));
    QCOMPARE(Again->text(), QStringLiteral("again"));

    // The standard bar mirrors need their Qt bar, and an owner that is not the bar.
    MirrorRegistry& S = MirrorRegistry::Standard();
    QMenuBar MenuBar;
    QCOMPARE(S.Create(Menu, &Into, this), nullptr);
    QCOMPARE(S.Create(Menu, &MenuBar, &MenuBar), nullptr);
    std::unique_ptr<MenuBarMirror> Shown(S.CreateAs<MenuBarMirror>(Menu, &MenuBar, this));
    QVERIFY(Shown);
    QCOMPARE(Entries(&MenuBar), (QStringList{"&Go"}));

    // A front end's own tool button mirror: the tool bar shows its buttons through it.
    const MirrorRegistry::TFactory Standard = *S.FactoryFor(TToolButton::StaticClass());
    S.Register(TToolButton::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) -> QObject* {
      auto* Q = new QToolButton(Into);
      Q->setObjectName(QStringLiteral("own ") + QString::number(M->Name().size()));
      return Q;
    });
    QToolBar View;
    {
      ToolBarMirror Mirror(Bar, &View, nullptr);
      QCOMPARE(ToolEntries(&View), (QStringList{"own 4"}));
    }
    S.Register(TToolButton::StaticClass(), Standard);
    ToolBarMirror Mirror(Bar, &View, nullptr);
    QCOMPARE(ToolEntries(&View), (QStringList{"tbGo"}));
    QVERIFY(qobject_cast<ToolButtonMirror*>(Mirror.ButtonNamed(QStringLiteral("tbGo"))));
  }

private:
  QStringList Failures;
  std::unique_ptr<FailureSinkScope> Sink;
};

QTEST_MAIN(MirrorsTest)
#include "MirrorsTest.moc"
