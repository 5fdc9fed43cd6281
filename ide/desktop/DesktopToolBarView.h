// The Tool Palette's tool bar: one QToolButton per TToolButton, in the model's order, hidden
// ones hidden; a drop-down button has a menu arrow whose menu fires the popup's before-show
// event and is rebuilt at every opening; a click on the face does what the model's OnClick does.
#pragma once

#include "rtl/Component.h"

#include <QIcon>
#include <QToolBar>

#include <functional>
#include <vector>

class TToolBar;
class TToolButton;
class QToolButton;

class DesktopToolBarView : public QToolBar, private TComponentView {
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
  void ComponentChanged(TComponent* Sender, std::u16string_view Property) override;
  void ComponentDestroying(TComponent* Sender) override;
  void Unlink();

  TToolBar* FBar;
  TImageSource FImages;
  std::vector<TToolButton*> FLinked; // buttons this view listens to
};
