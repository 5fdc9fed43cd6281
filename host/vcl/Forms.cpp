#include "vcl/Forms.h"

const TClassInfo& TCustomForm::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TCustomForm>(u"TCustomForm", &TWinControl::StaticClass())
          .Str(u"Caption", &TCustomForm::Caption, &TCustomForm::SetCaption)
          .Event(u"OnCreate", &TCustomForm::OnCreate)
          .Event(u"OnDestroy", &TCustomForm::OnDestroy);
  return Info;
}
HOST_CLASS_TYPE(TCustomForm)

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {}

TCustomForm::~TCustomForm() = default;

void TCustomForm::BeforeDestruction() {
  const bool First = !(ComponentState() & csDestroying);
  TWinControl::BeforeDestruction();
  if (First && OnDestroy)
    OnDestroy(this);
}

void TCustomForm::SetCaption(const UnicodeString& Value) {
  if (Value == FCaption)
    return;
  FCaption = Value;
  Changed(u"Caption");
}

const TClassInfo& TForm::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TForm>(u"TForm", &TCustomForm::StaticClass()).Creatable();
  return Info;
}
HOST_CLASS_TYPE(TForm)
