// A component that hears of the release of the components it watches (by free notification)
// and counts them; OnRelease, when set, is told of each.
#pragma once

#include "rtl/Component.h"
#include "vcl/Menus.h"

#include <functional>

class TReleaseWatch : public TComponent {
public:
  TReleaseWatch() : TComponent(nullptr) {}

  void Watch(TComponent* C) {
    C->FreeNotification(this);
    ++Watched;
  }
  // The visible items right below Parent (the main menu's invisible placeholder stays).
  void WatchVisibleItems(TMenuItem* Parent) {
    for (int I = 0; I < Parent->Count(); ++I)
      if (Parent->Items(I)->Visible())
        Watch(Parent->Items(I));
  }
  // Every item below Parent, all levels.
  void WatchAllItems(TMenuItem* Parent) {
    for (int I = 0; I < Parent->Count(); ++I) {
      Watch(Parent->Items(I));
      WatchAllItems(Parent->Items(I));
    }
  }

  int Watched = 0;
  int Released = 0;
  std::function<void()> OnRelease;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove)
      return;
    ++Released;
    if (OnRelease)
      OnRelease();
  }
};
