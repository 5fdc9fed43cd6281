#include "vcl/ActnPopup.h"

#include "vcl/ActnList.h"

#include <memory>

const TClassInfo& TPopupActionBar::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TPopupActionBar>(u"TPopupActionBar", &TPopupMenu::StaticClass()).Creatable();
  return Info;
}
HOST_CLASS_TYPE(TPopupActionBar)

void TPopupActionBar::ClickItem(TMenuItem* Item) {
  if (!Item || !Item->Enabled() || !Item->OnClick)
    return;
  // The action bands show the item through an action of its own; the handler sees that action.
  // It lives for the click only.
  auto Proxy = std::make_unique<TCustomAction>(nullptr);
  Proxy->SetCaption(Item->Caption());
  TNotifyEvent Handler = Item->OnClick; // the handler may rebuild the menu and release the item
  Handler(Proxy.get());
}
