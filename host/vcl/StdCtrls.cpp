#include "vcl/StdCtrls.h"

#include "vcl/Forms.h"

const TClassInfo& TButton::StaticClass() {
  static const TClassInfo Info = TClassBuilder<TButton>(u"TButton", &TWinControl::StaticClass())
                                     .Creatable()
                                     .Ord(u"Cancel", &TButton::Cancel, &TButton::SetCancel)
                                     .Str(u"Caption", &TButton::Caption, &TButton::SetCaption)
                                     .Ord(u"Default", &TButton::Default, &TButton::SetDefault)
                                     .Ord(u"Enabled", &TButton::Enabled, &TButton::SetEnabled)
                                     .Ord(u"ModalResult", &TButton::ModalResult,
                                          &TButton::SetModalResult, &ModalResultIdents())
                                     .Event(u"OnClick", &TButton::OnClick);
  return Info;
}
HOST_CLASS_TYPE(TButton)

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 75, 25);
}

void TButton::SetCaption(const UnicodeString& Value) {
  ChangeProperty(FCaption, Value, &TControlView::CaptionChanged, this);
}

void TButton::SetEnabled(bool Value) {
  ChangeProperty(FEnabled, Value, &TControlView::EnabledChanged, this);
}

void TButton::Click() {
  if (!FEnabled)
    return;
  if (TCustomForm* Form = GetParentForm(this))
    Form->SetModalResult(FModalResult);
  if (OnClick)
    OnClick(this);
}
