#include "ToolBarMirror.h"

#include "MirrorRegistry.h"
#include "QtStrings.h"
#include "ToolButtonMirror.h"

#include "vcl/ComCtrls.h"

#include <QTimer>
#include <QToolButton>

namespace {
bool IsSeparator(const TToolButton* B) {
  return B->Style() == TToolButtonStyle::tbsSeparator || B->Style() == TToolButtonStyle::tbsDivider;
}
} // namespace

ToolBarMirror::ToolBarMirror(TToolBar* Model, QToolBar* Bar, QObject* Parent, TImageSource Images)
    : QObject(Parent), FModel(Model), FBar(Bar), FImages(std::move(Images)) {
  Q_ASSERT(Parent != Bar);
  FModel->AddView(static_cast<TToolBarView*>(this));
  Rebuild();
}

ToolBarMirror::~ToolBarMirror() {
  Unlink();
  if (FModel)
    FModel->RemoveView(static_cast<TToolBarView*>(this));
}

void ToolBarMirror::Unlink() {
  for (const TPlace& P : FPlaces) {
    if (P.Model)
      P.Model->RemoveView(static_cast<TToolButtonView*>(this));
    // The action owns its button (and the button its menu, a view of the model's popup): the
    // button stops answering the model at once, its deletion waits (its own click may run).
    if (P.Button)
      P.Button->setEnabled(false);
    if (P.Action) {
      if (FBar)
        FBar->removeAction(P.Action);
      P.Action->deleteLater();
    }
  }
  FPlaces.clear();
}

QList<QAction*> ToolBarMirror::Actions() const {
  QList<QAction*> Own;
  for (const TPlace& P : FPlaces)
    if (P.Action)
      Own << P.Action;
  return Own;
}

void ToolBarMirror::Rebuild() {
  FRebuildQueued = false;
  // The new buttons take the old ones' place: before the bar's first action after them, or at
  // the end.
  QAction* Before = nullptr;
  if (FBar) {
    const QList<QAction*> All = FBar->actions();
    qsizetype Last = -1;
    for (qsizetype I = 0; I < All.size(); ++I)
      for (const TPlace& P : FPlaces)
        if (P.Action == All[I])
          Last = I;
    if (Last >= 0 && Last + 1 < All.size())
      Before = All[Last + 1];
  }
  Unlink();
  if (!FBar || !FModel)
    return;
  ++FBuilds;
  for (int I = 0; I < FModel->ControlCount(); ++I) {
    auto* Model = dynamic_cast<TToolButton*>(FModel->Controls(I));
    if (!Model)
      continue;
    Model->AddView(static_cast<TToolButtonView*>(this));
    if (IsSeparator(Model)) {
      QAction* Separator = FBar->insertSeparator(Before);
      Separator->setVisible(Model->Visible());
      FPlaces.push_back({Model, Separator, nullptr, true});
      continue;
    }
    QObject* Made = MirrorRegistry::Standard().Create(Model, FBar);
    auto* Widget = qobject_cast<QWidget*>(Made);
    if (!Widget) {
      // A button without a view works on without one; its place is kept.
      delete Made;
      FPlaces.push_back({Model, nullptr, nullptr, false});
      continue;
    }
    QAction* Action = FBar->insertWidget(Before, Widget);
    if (auto* Button = qobject_cast<ToolButtonMirror*>(Widget)) {
      if (FImages)
        Button->SetImages(FImages);
      Button->ShowThrough(Action);
    } else {
      Action->setVisible(Model->Visible());
    }
    FPlaces.push_back({Model, Action, Widget, false});
  }
}

QToolButton* ToolBarMirror::ButtonNamed(const QString& Name) const {
  for (const TPlace& P : FPlaces)
    if (P.Model && P.Button && P.Button->objectName() == Name)
      return qobject_cast<QToolButton*>(P.Button.data());
  return nullptr;
}

bool ToolBarMirror::Changed() const {
  if (!FModel)
    return !FPlaces.empty();
  size_t Shown = 0;
  for (int I = 0; I < FModel->ControlCount(); ++I) {
    auto* Model = dynamic_cast<TToolButton*>(FModel->Controls(I));
    if (!Model)
      continue;
    if (Shown >= FPlaces.size() || FPlaces[Shown].Model != Model ||
        FPlaces[Shown].Separator != IsSeparator(Model))
      return true;
    ++Shown;
  }
  return Shown != FPlaces.size();
}

void ToolBarMirror::RebuildSoon() {
  // Deferred, so that a change made while a button's own click runs does not pull that button
  // away; once for a burst of changes (arranging the bar moves every button); and only when the
  // bar's buttons really stand otherwise by then.
  if (FRebuildQueued)
    return;
  FRebuildQueued = true;
  QTimer::singleShot(0, this, [this] {
    if (FRebuildQueued) {
      FRebuildQueued = false;
      if (Changed())
        Rebuild();
    }
  });
}

void ToolBarMirror::BoundsChanged(TControl*) {
  RebuildSoon(); // the order may have changed
}

void ToolBarMirror::StyleChanged(TToolButton*) {
  RebuildSoon(); // a button may have become a separator, or one a button
}

void ToolBarMirror::VisibleChanged(TControl* Sender) {
  // Buttons show their own; separators are shown here.
  for (const TPlace& P : FPlaces)
    if (P.Model == Sender && P.Separator && P.Action)
      P.Action->setVisible(Sender->Visible());
}

void ToolBarMirror::ImagesChanged(TToolBar*) {
  for (const TPlace& P : FPlaces)
    if (auto* Button = qobject_cast<ToolButtonMirror*>(P.Button.data()))
      Button->ShowImage();
}

void ToolBarMirror::ComponentDestroying(TComponent* Sender) {
  if (Sender == FModel) {
    for (const TPlace& P : FPlaces)
      if (P.Model)
        P.Model->RemoveView(static_cast<TToolButtonView*>(this));
    FModel = nullptr;
    for (TPlace& P : FPlaces)
      P.Model = nullptr;
    RebuildSoon();
    return;
  }
  // Sender is told from TComponent's destructor: its TToolButton part is gone already, so it is
  // compared as the component it still is, never cast back to a button. Its place waits for the
  // rebuild that its removal from the bar brings.
  for (TPlace& P : FPlaces)
    if (P.Model == Sender)
      P.Model = nullptr;
  RebuildSoon();
}
