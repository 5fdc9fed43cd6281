// TDataModule: a container for non-visual components, with creation and destruction events.
#pragma once

#include "rtl/Component.h"

class TDataModule : public TComponent {
public:
  explicit TDataModule(TComponent* AOwner);
  ~TDataModule() override;
  HOST_CLASS_INFO;

  // The size of the design surface, as layouts store it; nothing is drawn at run time.
  int Width() const { return FWidth; }
  void SetWidth(int Value) { FWidth = Value; }
  int Height() const { return FHeight; }
  void SetHeight(int Value) { FHeight = Value; }
  // Kept for layouts that store it; OnCreate fires once the layout is read either way.
  bool OldCreateOrder() const { return FOldCreateOrder; }
  void SetOldCreateOrder(bool Value) { FOldCreateOrder = Value; }

  TNotifyEvent OnCreate;
  void AfterConstruction() override;
  // Fires when the object is released (through Free), while it is still whole.
  TNotifyEvent OnDestroy;
  void BeforeDestruction() override;

private:
  int FWidth = 0, FHeight = 0;
  bool FOldCreateOrder = false;
};
