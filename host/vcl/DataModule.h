// TDataModule: a container for non-visual components, with creation and destruction events.
#pragma once

#include "rtl/Component.h"

class TDataModule : public TComponent {
public:
  explicit TDataModule(TComponent* AOwner);
  ~TDataModule() override;
  HOST_CLASS_INFO;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
};
