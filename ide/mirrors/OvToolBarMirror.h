// A tool bar of the model mirrored into a Qt tool bar: one QToolButton per TToolButton, in the
// model's order, hidden ones hidden; a drop-down button has a menu arrow whose menu fires the
// popup's before-show event and is rebuilt at every opening; a click on the face does what the
// model's OnClick does.
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

class QToolButton;

class OvToolBarMirror : public QObject, private TToolBarView, private TToolButtonView {
  Q_OBJECT
public:
  // Images gives the icon of an image index (a null icon for none); without it the icons come
  // from the model bar's image list as it is when the bar is shown.
  using TImageSource = std::function<QIcon(int ImageIndex)>;
  OvToolBarMirror(TToolBar* Model, QToolBar* Bar, QObject* Parent, TImageSource Images = {});
  ~OvToolBarMirror() override;

  QToolBar* Bar() const { return FBar; }
  // The Qt button standing for the model's button of that name, or nullptr.
  QToolButton* ButtonNamed(const QString& Name) const;
  // The bar's actions that this mirror added, in the bar's order.
  QList<QAction*> Actions() const;
  void Rebuild();

private:
  // Buttons added, removed, shown, hidden or restyled: the bar is shown as it now is.
  void ControlsChanged(TWinControl*) override { Stale(); }
  void ImagesChanged(TToolBar*) override { Stale(); }
  void VisibleChanged(TControl*) override { Stale(); }
  void BoundsChanged(TControl*) override { Stale(); }
  void HintChanged(TControl*) override { Stale(); }
  void CaptionChanged(TControl*) override { Stale(); }
  void EnabledChanged(TControl*) override { Stale(); }
  void StyleChanged(TToolButton*) override { Stale(); }
  void ImageIndexChanged(TToolButton*) override { Stale(); }
  void DropdownMenuChanged(TToolButton*) override { Stale(); }
  void DownChanged(TToolButton*) override { Stale(); }
  void ComponentDestroying(TComponent* Sender) override;
  void Stale();
  void Unlink();
  QIcon ImageOf(int Index) const;
  QWidget* Window() const;

  TToolBar* FModel;
  QPointer<QToolBar> FBar;
  TImageSource FImages;
  // The buttons this view listens to, kept as components: that is all a button is when it
  // tells the view of its release.
  std::vector<TComponent*> FLinked;
  // The actions this mirror put into the bar, in order.
  std::vector<QPointer<QAction>> FActions;
  bool FRebuildQueued = false;
};
