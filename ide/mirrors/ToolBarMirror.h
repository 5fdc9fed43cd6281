// A tool bar of the model mirrored into a Qt tool bar: one button per TToolButton, in the
// model's order, each the mirror the registry holds for its class (an ToolButtonMirror, which
// follows its own button's changes), separators as separators. The bar is built again only when its
// buttons come, go or change their order or kind.
//
// The Qt tool bar may hold actions of someone else's (a host's own buttons): the mirror keeps its
// buttons together where it first put them (at the end of the bar), and touches, rebuilds and
// removes only its own. Its buttons are children of the bar and go with it; the mirror itself
// belongs to Parent (never the bar: a mirror released before its bar takes its buttons out of it,
// which a bar being released cannot take part in).
#pragma once

#include "vcl/ComCtrls.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QToolBar>

#include <functional>
#include <vector>

class ToolButtonMirror;
class QToolButton;

class ToolBarMirror : public QObject, private TToolBarView, private TToolButtonView {
  Q_OBJECT
public:
  // Images gives the icon of an image index (a null icon for none); without it the icons come
  // from the model bar's image list.
  using TImageSource = std::function<QIcon(int ImageIndex)>;
  ToolBarMirror(TToolBar* Model, QToolBar* Bar, QObject* Parent, TImageSource Images = {});
  ~ToolBarMirror() override;

  QToolBar* Bar() const { return FBar; }
  // The Qt button standing for the model's button of that name, or nullptr.
  QToolButton* ButtonNamed(const QString& Name) const;
  // The bar's actions that this mirror added, in the bar's order.
  QList<QAction*> Actions() const;
  // How many times the bar was built (tests and benchmarks watch it).
  int Builds() const { return FBuilds; }
  void Rebuild();

private:
  struct TPlace {
    TComponent* Model; // the model button, kept as the component it still is when it goes
    QPointer<QAction> Action;
    QPointer<QWidget> Button; // the button's mirror; nullptr for a separator
    bool Separator;
  };

  // Buttons added or removed, moved or restyled: the bar is built again.
  void ControlsChanged(TWinControl*) override { RebuildSoon(); }
  void BoundsChanged(TControl* Sender) override;
  void StyleChanged(TToolButton* Sender) override;
  void VisibleChanged(TControl* Sender) override;
  void ImagesChanged(TToolBar*) override;
  void ComponentDestroying(TComponent* Sender) override;
  void RebuildSoon();
  // Stops listening to the buttons and takes this mirror's actions out of the bar.
  void Unlink();
  // Whether the model's buttons stand in another order, or changed kind, than shown.
  bool Changed() const;

  TToolBar* FModel;
  QPointer<QToolBar> FBar;
  TImageSource FImages;
  std::vector<TPlace> FPlaces; // in the model's order
  bool FRebuildQueued = false;
  int FBuilds = 0;
};
