// The model's palette as a mirror of the host's Widget Box. The Widget Box's categories become
// the palette's categories, their widgets its buttons; Sync reads them again as they are now.
// A category's name is plain text in the Widget Box, so its caption in the model has every "&"
// doubled ("Data & Charts" -> "Data && Charts"): menus show it as the Widget Box does, and a
// chosen caption finds its category again (CaptionOf, NameOf).
//
// Custom widget plugins, the Scratchpad (a widget dropped into the Widget Box), reloads and
// removals change the categories at any time. While the host changes them, the Widget Box is
// half done (a row inserted before its category is), so the mirror never reads it from inside
// a change: whenever the rows of the category tree change it syncs from the host's event loop,
// once the host has finished, and it keeps no pointer into the Widget Box across a change other
// than guarded ones. Every opening of a menu that reads the palette finds the Widget Box as it
// is then. (Without the tree the palette holds what the Widget Box held at the last Sync.)
//
// The other way, what the model does to a category is done to the Widget Box: expanding or
// collapsing it expands or collapses it there, and scrolling it into view shows the Widget Box
// (see TRevealHost) with that category at the top of its view; text in the Widget Box's filter
// that hides categories is cleared first, so that the category can show. Folding a category by
// hand in the Widget Box folds it in the model.
//
// The Widget Box offers no way to fold or scroll a category, so the mirror works its category
// tree: the tree view among the Widget Box's children whose top-level rows carry the category
// names. When there is none, the model still holds every category and only folding and
// scrolling are lost; the mirror says so once through its report.
//
// Scrolling: the model's palette is given a view one header high, so that scrolling a category
// into view always puts its header at the top of the view; which category that is tells the
// scroll position. The mirror then sets the position back between two headers, so that the next
// scroll is heard even when it names the same category again.
#pragma once

#include "vcl/CategoryButtons.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <string_view>

class QAbstractItemModel;
class QDesignerWidgetBoxInterface;
class QModelIndex;
class QTimer;
class QTreeView;

// The model's caption of a Widget Box category name: every "&" doubled, so that it stays a
// literal "&" wherever the caption is shown.
UnicodeString CaptionOf(const QString& Name);
// The Widget Box category name of a caption made by CaptionOf.
QString NameOf(std::u16string_view Caption);

class WidgetBoxMirror : public QObject, private TCategoryButtonsView {
  Q_OBJECT
public:
  // Shows a problem to the user once (the caller keeps the count).
  using TReport = std::function<void(const QString& Message)>;
  // Brings the Widget Box into view when it is not (a hidden dock, another mode of the host).
  // Answers false when it cannot, and then says why through the report itself.
  using TRevealHost = std::function<bool(QDesignerWidgetBoxInterface* Box)>;

  WidgetBoxMirror(QDesignerWidgetBoxInterface* Box, TCategoryButtons* Palette, TReport Report,
                  QObject* Parent = nullptr);
  ~WidgetBoxMirror() override;

  // Makes the palette what the Widget Box holds now, folded as the Widget Box shows it. Not to
  // be called while the host changes the Widget Box (SyncSoon is).
  void Sync();
  // Syncs from the event loop, once the host has finished what it is doing; several calls
  // before then give one Sync.
  void SyncSoon();
  // How the Widget Box is brought into view; by default its dock or window is shown.
  void SetRevealHost(TRevealHost Reveal) { FReveal = std::move(Reveal); }
  // Shows the dock widgets and window the Widget Box stands in, raised. Answers whether the
  // Widget Box is visible afterwards.
  static bool ShowWidgetBox(QDesignerWidgetBoxInterface* Box);

  // The Widget Box's category tree, or nullptr when none was found.
  QTreeView* Tree();

private:
  void CategoriesChanged(TCategoryButtons*) override;
  void ScrollPositionChanged(TCategoryButtons*) override;
  void ComponentDestroying(TComponent*) override;

  // The top-level row of the tree for a category name (invalid when there is none).
  QModelIndex RowOf(const QString& Name);
  void FindTree();
  // The Widget Box while it is one (not gone, nor being released).
  QDesignerWidgetBoxInterface* LiveBox() const;
  void TreeFolded(const QModelIndex& Index, bool Collapsed);
  // The category with its header at the top of the model's view, expanded and scrolled to the
  // top of the Widget Box.
  void Reveal(int Category);
  void ScrollToTop(const QString& Name, bool Expand);
  // Empties the Widget Box's filter (its line edits outside the category tree), so that every
  // category shows again.
  void ClearFilter();
  void ApplyFolding();
  void ReportOnce(const QString& Message);

  // Kept as plain objects: a QPointer of a derived class casts down as it is read, which is
  // undefined once the object's own destructor has run; LiveBox() and Tree() check the class.
  QPointer<QObject> FBox;
  TCategoryButtons* FPalette;
  TReport FReport;
  TRevealHost FReveal;
  QPointer<QObject> FTree;
  QPointer<QAbstractItemModel> FModel; // FTree's model the mirror listens to
  QTimer* FSyncTimer;                  // a child of the mirror
  QHash<QString, int> FRows; // category name -> top-level row of FTree, checked at each use
  bool FSyncing = false;     // the mirror changes the model: not to be done to the Widget Box
  bool FApplying = false;    // the mirror changes the tree: not to be done to the model
  bool FReported = false;
};
