// The Tool Palette's tool bar: one QToolButton per TToolButton, in the model's order, hidden
// ones hidden; a drop-down button has a menu arrow whose menu fires the popup's before-show
// event and is rebuilt at every opening; a click on the face does what the model's OnClick does.
#pragma once

#include "vcl/ComCtrls.h"

#include <QIcon>
#include <QToolBar>

#include <functional>
#include <vector>

class QToolButton;

class DesktopToolBarView : public QToolBar, private TToolBarView, private TToolButtonView {
  Q_OBJECT
public:
  // Images gives the icon of an image index of the tool bar's image list (null icon for none).
  using TImageSource = std::function<QIcon(int ImageIndex)>;
  DesktopToolBarView(TToolBar* Bar, TImageSource Images, QWidget* Parent);
  ~DesktopToolBarView() override;

  // The Qt button standing for the model's button of that name, or nullptr.
  QToolButton* ButtonNamed(const QString& Name) const;
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

  TToolBar* FBar;
  TImageSource FImages;
  // The buttons this view listens to, kept as components: that is all a button is when it
  // tells the view of its release.
  std::vector<TComponent*> FLinked;
  bool FRebuildQueued = false;
};
