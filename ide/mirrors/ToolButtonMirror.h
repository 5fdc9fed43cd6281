// A tool button of the model as a QToolButton that follows it: caption, hint, enabled state,
// visibility, image, pressed state, style and drop-down menu are shown as they change, each on
// its own, without rebuilding the bar. A drop-down button has a menu arrow whose menu fires the
// popup's before-show event and is rebuilt at every opening; a click on the face does what the
// model's OnClick does. The Qt button's objectName is the model button's Name.
#pragma once

#include "vcl/ComCtrls.h"

#include <QIcon>
#include <QPointer>
#include <QToolButton>

#include <functional>

class ToolButtonMirror : public QToolButton, private TToolButtonView {
  Q_OBJECT
public:
  // Images gives the icon of an image index (a null icon for none); without it the icons come
  // from the image list of the model button's tool bar.
  using TImageSource = std::function<QIcon(int ImageIndex)>;
  ToolButtonMirror(TToolButton* Model, QWidget* Parent, TImageSource Images = {});
  ~ToolButtonMirror() override;

  // The model button, or nullptr once it is gone.
  TToolButton* Model() const { return FModel; }
  // A button on a Qt tool bar is shown and hidden through the bar's action for it: the mirror
  // shows the model's Visible through Action from now on.
  void ShowThrough(QAction* Action);
  // Shows the image again (the image list changed).
  void ShowImage();
  // Takes the icons from Images from now on.
  void SetImages(TImageSource Images);

private:
  void VisibleChanged(TControl*) override;
  void HintChanged(TControl*) override;
  void CaptionChanged(TControl*) override;
  void EnabledChanged(TControl*) override;
  void ImageIndexChanged(TToolButton*) override { ShowImage(); }
  void DownChanged(TToolButton*) override;
  void StyleChanged(TToolButton*) override { ShowStyle(); }
  void DropdownMenuChanged(TToolButton*) override { ShowStyle(); }
  void ComponentDestroying(TComponent* Sender) override;
  // Check button or not, drop-down arrow and its menu.
  void ShowStyle();

  TToolButton* FModel;
  TImageSource FImages;
  QPointer<QAction> FAction;
};
