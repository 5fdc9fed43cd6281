// TPopupActionBar: a popup menu drawn by the action bands. Each of its items is shown through an
// action that stands for it, so a click reaches the item's handler with that action (a
// TCustomAction whose caption is the item's caption) as sender.
#pragma once

#include "vcl/Menus.h"

class TPopupActionBar : public TPopupMenu {
public:
  explicit TPopupActionBar(TComponent* AOwner) : TPopupMenu(AOwner) {}
  HOST_CLASS_INFO;

  void ClickItem(TMenuItem* Item) override;
};
