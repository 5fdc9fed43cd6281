#include "vcl/DataModule.h"

const TClassInfo& TDataModule::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TDataModule>(u"TDataModule", &TComponent::StaticClass())
          .Creatable()
          .Ord(u"Height", &TDataModule::Height, &TDataModule::SetHeight)
          .Ord(u"OldCreateOrder", &TDataModule::OldCreateOrder, &TDataModule::SetOldCreateOrder)
          .Ord(u"Width", &TDataModule::Width, &TDataModule::SetWidth)
          .Event(u"OnCreate", &TDataModule::OnCreate)
          .Event(u"OnDestroy", &TDataModule::OnDestroy);
  return Info;
}
HOST_CLASS_TYPE(TDataModule)

TDataModule::TDataModule(TComponent* AOwner) : TComponent(AOwner) {}

TDataModule::~TDataModule() = default;

void TDataModule::AfterConstruction() {
  TComponent::AfterConstruction();
  if (OnCreate)
    OnCreate(this);
}

void TDataModule::BeforeDestruction() {
  const bool First = !(ComponentState() & csDestroying);
  TComponent::BeforeDestruction();
  if (First && OnDestroy)
    OnDestroy(this);
}
