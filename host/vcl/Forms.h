// Forms: top-level windows of the application.
#pragma once

#include "vcl/Controls.h"

class TCustomForm : public TWinControl {
public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;
  HOST_CLASS_INFO;

  const UnicodeString& Caption() const { return FCaption; }
  void SetCaption(const UnicodeString& Value);

  TNotifyEvent OnCreate;
  // Fires when the object is released (through Free), while it is still whole.
  TNotifyEvent OnDestroy;
  void BeforeDestruction() override;

private:
  UnicodeString FCaption;
};

class TForm : public TCustomForm {
public:
  explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
  HOST_CLASS_INFO;
};
