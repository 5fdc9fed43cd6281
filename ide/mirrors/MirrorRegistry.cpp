#include "MirrorRegistry.h"

#include "ButtonMirror.h"
#include "FormDialog.h"
#include "GridMirror.h"
#include "MenuMirrors.h"
#include "PaletteMirror.h"
#include "ToolBarMirror.h"
#include "ToolButtonMirror.h"

#include "rtl/Component.h"
#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"

#include <QMenuBar>
#include <QToolBar>

void MirrorRegistry::Register(const TClassInfo& Class, TFactory Factory) {
  FFactories[&Class] = std::move(Factory);
}

const MirrorRegistry::TFactory* MirrorRegistry::FactoryFor(const TClassInfo& Class) const {
  for (const TClassInfo* C = &Class; C; C = C->Parent()) {
    const auto It = FFactories.find(C);
    if (It != FFactories.end())
      return &It->second;
  }
  return nullptr;
}

QObject* MirrorRegistry::Create(TComponent* Model, QWidget* Into, QObject* Owner) const {
  const TFactory* Factory = FactoryFor(Model->ClassType());
  return Factory ? (*Factory)(Model, Into, Owner) : nullptr;
}

namespace {

MirrorRegistry MakeStandard() {
  MirrorRegistry R;
  R.Register(TMainMenu::StaticClass(), [](TComponent* M, QWidget* Into, QObject* Owner) {
    auto* Bar = qobject_cast<QMenuBar*>(Into);
    return Bar && Owner != Into ? new MenuBarMirror(static_cast<TMainMenu*>(M), Bar, Owner)
                                : nullptr;
  });
  R.Register(TPopupMenu::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new PopupMenuMirror(static_cast<TPopupMenu*>(M), Into);
  });
  R.Register(TToolBar::StaticClass(), [](TComponent* M, QWidget* Into, QObject* Owner) {
    auto* Bar = qobject_cast<QToolBar*>(Into);
    return Bar && Owner != Into ? new ToolBarMirror(static_cast<TToolBar*>(M), Bar, Owner)
                                : nullptr;
  });
  R.Register(TToolButton::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new ToolButtonMirror(static_cast<TToolButton*>(M), Into);
  });
  R.Register(TCategoryButtons::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new PaletteMirror(static_cast<TCategoryButtons*>(M), Into);
  });
  R.Register(TCustomGrid::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new GridMirror(static_cast<TCustomGrid*>(M), Into);
  });
  R.Register(TButton::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new ButtonMirror(static_cast<TButton*>(M), Into);
  });
  R.Register(TCustomForm::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new FormDialog(static_cast<TCustomForm*>(M), Into);
  });
  return R;
}

} // namespace

MirrorRegistry& MirrorRegistry::Standard() {
  static MirrorRegistry Registry = MakeStandard();
  return Registry;
}
