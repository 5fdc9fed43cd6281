#include "vcl/ActnList.h"

const TClassInfo& TBasicAction::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TBasicAction>(u"TBasicAction", &TComponent::StaticClass())
          .Event(u"OnExecute", &TBasicAction::OnExecute);
  return Info;
}
HOST_CLASS_TYPE(TBasicAction)

bool TBasicAction::Execute() {
  if (!OnExecute)
    return false;
  OnExecute(this);
  return true;
}

const TClassInfo& TCustomAction::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TCustomAction>(u"TCustomAction", &TBasicAction::StaticClass())
          .Str(u"Caption", &TCustomAction::Caption, &TCustomAction::SetCaption);
  return Info;
}
HOST_CLASS_TYPE(TCustomAction)

void TCustomAction::SetCaption(const UnicodeString& Value) {
  ChangeProperty(FCaption, Value, &TActionView::CaptionChanged, this);
}

const TClassInfo& TAction::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TAction>(u"TAction", &TCustomAction::StaticClass()).Creatable();
  return Info;
}
HOST_CLASS_TYPE(TAction)
