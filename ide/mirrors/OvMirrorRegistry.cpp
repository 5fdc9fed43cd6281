#include "OvMirrorRegistry.h"

#include "OvButtonMirror.h"
#include "OvFormDialog.h"
#include "OvGridMirror.h"
#include "OvMenuMirrors.h"
#include "OvPaletteMirror.h"
#include "OvToolBarMirror.h"
#include "OvToolButtonMirror.h"

#include "rtl/Component.h"
#include "vcl/CategoryButtons.h"
#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"

#include <QMenuBar>
#include <QToolBar>

void OvMirrorRegistry::Register(const TClassInfo& Class, TFactory Factory) {
  FFactories[&Class] = std::move(Factory);
}

const OvMirrorRegistry::TFactory* OvMirrorRegistry::FactoryFor(const TClassInfo& Class) const {
  for (const TClassInfo* C = &Class; C; C = C->Parent()) {
    const auto It = FFactories.find(C);
    if (It != FFactories.end())
      return &It->second;
  }
  return nullptr;
}

QObject* OvMirrorRegistry::Create(TComponent* Model, QWidget* Into, QObject* Owner) const {
  const TFactory* Factory = FactoryFor(Model->ClassType());
  return Factory ? (*Factory)(Model, Into, Owner) : nullptr;
}

namespace {

OvMirrorRegistry MakeStandard() {
  OvMirrorRegistry R;
  R.Register(TMainMenu::StaticClass(), [](TComponent* M, QWidget* Into, QObject* Owner) {
    auto* Bar = qobject_cast<QMenuBar*>(Into);
    return Bar && Owner != Into ? new OvMenuBarMirror(static_cast<TMainMenu*>(M), Bar, Owner)
                                : nullptr;
  });
  R.Register(TPopupMenu::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new OvPopupMenuMirror(static_cast<TPopupMenu*>(M), Into);
  });
  R.Register(TToolBar::StaticClass(), [](TComponent* M, QWidget* Into, QObject* Owner) {
    auto* Bar = qobject_cast<QToolBar*>(Into);
    return Bar && Owner != Into ? new OvToolBarMirror(static_cast<TToolBar*>(M), Bar, Owner)
                                : nullptr;
  });
  R.Register(TToolButton::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new OvToolButtonMirror(static_cast<TToolButton*>(M), Into);
  });
  R.Register(TCategoryButtons::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new OvPaletteMirror(static_cast<TCategoryButtons*>(M), Into);
  });
  R.Register(TCustomGrid::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new OvGridMirror(static_cast<TCustomGrid*>(M), Into);
  });
  R.Register(TButton::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new OvButtonMirror(static_cast<TButton*>(M), Into);
  });
  R.Register(TCustomForm::StaticClass(), [](TComponent* M, QWidget* Into, QObject*) {
    return new OvFormDialog(static_cast<TCustomForm*>(M), Into);
  });
  return R;
}

} // namespace

OvMirrorRegistry& OvMirrorRegistry::Standard() {
  static OvMirrorRegistry Registry = MakeStandard();
  return Registry;
}
