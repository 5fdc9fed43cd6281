// TDataModule: a container for non-visual components, with creation and destruction events.
#pragma once

#include "rtl/Component.h"

class TDataModule : public TComponent {
public:
  explicit TDataModule(TComponent* AOwner);
  ~TDataModule() override;
  HOST_CLASS_INFO;

  TNotifyEvent OnCreate;
  void AfterConstruction() override;
  // Fires when the object is released (through Free), while it is still whole.
  TNotifyEvent OnDestroy;
  void BeforeDestruction() override;
};
