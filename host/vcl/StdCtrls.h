// Standard controls: the push button.
#pragma once

#include "vcl/Controls.h"

class TButton : public TWinControl {
public:
  explicit TButton(TComponent* AOwner);
  HOST_CLASS_INFO;

  const UnicodeString& Caption() const { return FCaption; }
  void SetCaption(const UnicodeString& Value);
  // The result a click gives the form the button stands on; mrNone gives none.
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int Value) { FModalResult = Value; }
  // The button that Enter (Default) or Esc (Cancel) clicks on its form.
  bool Default() const { return FDefault; }
  void SetDefault(bool Value) { FDefault = Value; }
  bool Cancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);

  TNotifyEvent OnClick;
  // What a click of the user does: a disabled button ignores it; otherwise the button hands its
  // modal result to its form (ending the form's modal run when it is not mrNone), then fires
  // OnClick.
  virtual void Click();

private:
  UnicodeString FCaption;
  int FModalResult = 0;
  bool FDefault = false;
  bool FCancel = false;
  bool FEnabled = true;
};
