#include "WidgetBoxMirror.h"

#include "PaletteFile.h"
#include "QtStrings.h"

#include <QAbstractItemModel>
#include <QDesignerWidgetBoxInterface>
#include <QDockWidget>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>

#include <map>

namespace {

// The categories of the Widget Box as the palette holds them; folding is filled in later.
std::vector<TPaletteCategory> CategoriesOf(QDesignerWidgetBoxInterface* Box) {
  std::vector<TPaletteCategory> Result;
  if (!Box)
    return Result;
  const int Count = Box->categoryCount();
  Result.reserve(static_cast<size_t>(Count));
  for (int I = 0; I < Count; ++I) {
    const QDesignerWidgetBoxInterface::Category C = Box->category(I);
    TPaletteCategory P;
    P.Caption = CaptionOf(C.name());
    P.Components.reserve(static_cast<size_t>(C.widgetCount()));
    for (int W = 0; W < C.widgetCount(); ++W)
      P.Components.push_back(FromQString(C.widget(W).name()));
    Result.push_back(std::move(P));
  }
  return Result;
}

// Whether the palette holds those categories with those buttons (folding aside).
bool Holds(const TCategoryButtons& Palette, const std::vector<TPaletteCategory>& Categories) {
  const TButtonCategories* Have = Palette.Categories();
  if (Have->Count() != static_cast<int>(Categories.size()))
    return false;
  for (int I = 0; I < Have->Count(); ++I) {
    const TButtonCategory* C = Have->Items(I);
    const TPaletteCategory& Want = Categories[static_cast<size_t>(I)];
    if (C->Caption() != Want.Caption ||
        C->ButtonCount() != static_cast<int>(Want.Components.size()))
      return false;
    for (int B = 0; B < C->ButtonCount(); ++B)
      if (C->Buttons(B)->Caption() != Want.Components[static_cast<size_t>(B)])
        return false;
  }
  return true;
}

QString RowText(const QAbstractItemModel* Model, int Row) {
  return Model->index(Row, 0).data(Qt::DisplayRole).toString();
}

// Sets a flag for as long as it lives.
struct TFlagScope {
  explicit TFlagScope(bool& F) : Flag(F), Was(F) { Flag = true; }
  ~TFlagScope() { Flag = Was; }
  bool& Flag;
  bool Was;
};

} // namespace

UnicodeString CaptionOf(const QString& Name) {
  QString Caption = Name;
  Caption.replace(QLatin1Char('&'), QLatin1String("&&"));
  return FromQString(Caption);
}

QString NameOf(std::u16string_view Caption) {
  QString Name = ToQString(Caption);
  Name.replace(QLatin1String("&&"), QLatin1String("&"));
  return Name;
}

WidgetBoxMirror::WidgetBoxMirror(QDesignerWidgetBoxInterface* Box, TCategoryButtons* Palette,
                                 TReport Report, QObject* Parent)
    : QObject(Parent), FBox(Box), FPalette(Palette), FReport(std::move(Report)),
      FReveal(&WidgetBoxMirror::ShowWidgetBox), FSyncTimer(new QTimer(this)) {
  FSyncTimer->setSingleShot(true);
  FSyncTimer->setInterval(0);
  connect(FSyncTimer, &QTimer::timeout, this, &WidgetBoxMirror::Sync);
  // A view one header high: scrolling any category into view puts its header at the top.
  FPalette->SetBounds(FPalette->Left(), FPalette->Top(), std::max(FPalette->Width(), 1),
                      FPalette->HeaderHeight());
  FPalette->AddView(this);
  Sync();
}

WidgetBoxMirror::~WidgetBoxMirror() {
  if (FPalette)
    FPalette->RemoveView(this);
}

void WidgetBoxMirror::ComponentDestroying(TComponent*) {
  FPalette = nullptr;
}

void WidgetBoxMirror::FindTree() {
  FRows.clear();
  FTree = nullptr;
  if (FModel)
    disconnect(FModel, nullptr, this, nullptr);
  FModel = nullptr;
  QDesignerWidgetBoxInterface* Box = LiveBox();
  if (!Box)
    return;
  // The tree whose top-level rows carry the most category names.
  QSet<QString> Names;
  for (int I = 0; I < Box->categoryCount(); ++I)
    Names.insert(Box->category(I).name());
  int Best = 0;
  for (QTreeView* T : Box->findChildren<QTreeView*>()) {
    const QAbstractItemModel* M = T->model();
    if (!M)
      continue;
    int Matches = 0;
    for (int R = 0; R < M->rowCount(); ++R)
      Matches += Names.contains(RowText(M, R)) ? 1 : 0;
    if (Matches > Best) {
      Best = Matches;
      FTree = T;
    }
  }
  auto* Found = qobject_cast<QTreeView*>(FTree.data());
  if (!Found)
    return;
  connect(Found, &QTreeView::expanded, this,
          [this](const QModelIndex& I) { TreeFolded(I, false); });
  connect(Found, &QTreeView::collapsed, this,
          [this](const QModelIndex& I) { TreeFolded(I, true); });
  // Categories that come, go or change their names in the tree bring the model in step as soon
  // as the host has finished the change: a menu opened after it reads the palette as the tree
  // is. The signals come from inside the change, when the Widget Box cannot be read yet.
  QAbstractItemModel* M = Found->model();
  FModel = M;
  auto Changed = [this] { SyncSoon(); };
  connect(M, &QAbstractItemModel::rowsInserted, this, Changed);
  connect(M, &QAbstractItemModel::rowsRemoved, this, Changed);
  connect(M, &QAbstractItemModel::dataChanged, this, Changed);
  connect(M, &QAbstractItemModel::modelReset, this, Changed);
  connect(M, &QAbstractItemModel::layoutChanged, this, Changed);
}

QDesignerWidgetBoxInterface* WidgetBoxMirror::LiveBox() const {
  // While the host releases the Widget Box, its tree's model still signals changes from the
  // base class's destructor, when the Widget Box is a Widget Box no more: the cast fails then.
  return qobject_cast<QDesignerWidgetBoxInterface*>(FBox.data());
}

QTreeView* WidgetBoxMirror::Tree() {
  if (!LiveBox())
    return nullptr;
  auto* T = qobject_cast<QTreeView*>(FTree.data());
  // Found anew when it went, or when it shows another model than the one listened to.
  if (!T || T->model() != FModel)
    FindTree();
  return qobject_cast<QTreeView*>(FTree.data());
}

QModelIndex WidgetBoxMirror::RowOf(const QString& Name) {
  QTreeView* T = Tree();
  if (!T || !T->model())
    return {};
  const QAbstractItemModel* M = T->model();
  if (auto It = FRows.constFind(Name);
      It != FRows.constEnd() && *It < M->rowCount() && RowText(M, *It) == Name)
    return M->index(*It, 0);
  // Rows moved since: read them all again.
  FRows.clear();
  for (int R = 0; R < M->rowCount(); ++R)
    FRows.insert(RowText(M, R), R);
  if (auto It = FRows.constFind(Name); It != FRows.constEnd())
    return M->index(*It, 0);
  return {};
}

void WidgetBoxMirror::SyncSoon() {
  FSyncTimer->start();
}

void WidgetBoxMirror::Sync() {
  FSyncTimer->stop();
  if (!FPalette || FSyncing)
    return;
  TFlagScope Syncing(FSyncing);
  QDesignerWidgetBoxInterface* Box = LiveBox();
  if (!Box)
    return; // the Widget Box is going: the palette keeps what it had
  std::vector<TPaletteCategory> Now = CategoriesOf(Box);
  // Folded as the Widget Box shows them; without its tree, as the model had them.
  std::map<UnicodeString, bool> Before;
  for (int I = 0; I < FPalette->Categories()->Count(); ++I) {
    const TButtonCategory* C = FPalette->Categories()->Items(I);
    Before.emplace(C->Caption(), C->Collapsed());
  }
  QTreeView* T = Tree();
  for (TPaletteCategory& C : Now) {
    if (T) {
      const QModelIndex Row = RowOf(NameOf(C.Caption));
      C.Collapsed = Row.isValid() && !T->isExpanded(Row);
    } else if (auto It = Before.find(C.Caption); It != Before.end()) {
      C.Collapsed = It->second;
    }
  }
  if (Holds(*FPalette, Now)) {
    for (int I = 0; I < FPalette->Categories()->Count(); ++I)
      FPalette->Categories()->Items(I)->SetCollapsed(Now[static_cast<size_t>(I)].Collapsed);
  } else {
    FillPalette(*FPalette, Now);
  }
  // Between the first two headers: the next scroll into view is heard, whichever it names.
  FPalette->SetScrollPosition(1);
}

void WidgetBoxMirror::TreeFolded(const QModelIndex& Index, bool Collapsed) {
  if (FApplying || !FPalette || Index.parent().isValid())
    return;
  const UnicodeString Name = CaptionOf(Index.data(Qt::DisplayRole).toString());
  TButtonCategories* Categories = FPalette->Categories();
  for (int I = 0; I < Categories->Count(); ++I)
    if (Categories->Items(I)->Caption() == Name) {
      TFlagScope Syncing(FSyncing);
      Categories->Items(I)->SetCollapsed(Collapsed);
    }
}

void WidgetBoxMirror::ApplyFolding() {
  if (!LiveBox())
    return; // gone with the host's windows: nothing to fold
  QTreeView* T = Tree();
  if (!T) {
    ReportOnce(QStringLiteral(
        "The Widget Box's category tree was not found: the Orvik Palette Menu cannot expand, "
        "collapse or scroll its categories."));
    return;
  }
  TFlagScope Applying(FApplying);
  TButtonCategories* Categories = FPalette->Categories();
  for (int I = 0; I < Categories->Count(); ++I) {
    const TButtonCategory* C = Categories->Items(I);
    const QModelIndex Row = RowOf(NameOf(C->Caption()));
    if (Row.isValid() && T->isExpanded(Row) == C->Collapsed())
      T->setExpanded(Row, !C->Collapsed());
  }
}

void WidgetBoxMirror::CategoriesChanged(TCategoryButtons*) {
  if (FSyncing || !FPalette)
    return;
  ApplyFolding();
}

void WidgetBoxMirror::ScrollPositionChanged(TCategoryButtons*) {
  if (FSyncing || !FPalette)
    return;
  const int Position = FPalette->ScrollPosition();
  const int Category = FPalette->CategoryAt(Position);
  if (Category < 0 || FPalette->CategoryTop(Category) != Position)
    return;
  {
    // Back between two headers, so that the same category chosen again is heard again.
    TFlagScope Syncing(FSyncing);
    FPalette->SetScrollPosition(1);
  }
  Reveal(Category);
}

void WidgetBoxMirror::Reveal(int Category) {
  QDesignerWidgetBoxInterface* Box = LiveBox();
  if (!Box)
    return;
  const TButtonCategory* C = FPalette->Categories()->Items(Category);
  const QString Name = NameOf(C->Caption());
  const bool Expand = !C->Collapsed();
  const bool WasVisible = Box->isVisible();
  if (FReveal && !FReveal(Box))
    return;
  if (WasVisible)
    ScrollToTop(Name, Expand);
  else // shown just now: scrolled once it is laid out
    QTimer::singleShot(0, this, [this, Name, Expand] { ScrollToTop(Name, Expand); });
}

void WidgetBoxMirror::ScrollToTop(const QString& Name, bool Expand) {
  QTreeView* T = Tree();
  if (!T) {
    ApplyFolding(); // says why
    return;
  }
  // A category the filter hides can be neither expanded nor scrolled to: shown first.
  ClearFilter();
  const QModelIndex Row = RowOf(Name);
  if (!Row.isValid()) {
    ReportOnce(QStringLiteral("The Widget Box shows no category \"%1\" to scroll to.").arg(Name));
    return;
  }
  {
    TFlagScope Applying(FApplying);
    T->setExpanded(Row, Expand);
  }
  // Laid out first, so that the rows below the category are there to scroll past.
  T->doItemsLayout();
  T->scrollTo(Row, QAbstractItemView::PositionAtTop);
}

void WidgetBoxMirror::ClearFilter() {
  QDesignerWidgetBoxInterface* Box = LiveBox();
  QTreeView* T = Tree();
  if (!Box)
    return;
  for (QLineEdit* Line : Box->findChildren<QLineEdit*>())
    if (!Line->text().isEmpty() && !(T && T->isAncestorOf(Line)))
      Line->clear(); // the Widget Box hears it as the user's own clearing
}

bool WidgetBoxMirror::ShowWidgetBox(QDesignerWidgetBoxInterface* Box) {
  if (!Box)
    return false;
  for (QWidget* W = Box; W; W = W->parentWidget()) {
    if (auto* Dock = qobject_cast<QDockWidget*>(W)) {
      if (Dock->isHidden())
        Dock->show();
      Dock->raise();
    }
    if (W->isWindow()) {
      if (!W->isVisible())
        W->show();
      W->raise();
      break;
    }
  }
  return Box->isVisible();
}

void WidgetBoxMirror::ReportOnce(const QString& Message) {
  if (FReported)
    return;
  FReported = true;
  if (FReport)
    FReport(Message);
}
