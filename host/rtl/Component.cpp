#include "rtl/Component.h"

#include "rtl/SysUtils.h"

#include <algorithm>

const TClassInfo& TComponent::StaticClass() {
  static const TClassInfo Info =
      TClassBuilder<TComponent>(u"TComponent", &TPersistent::StaticClass())
          .Str(u"Name", &TComponent::Name, &TComponent::SetName);
  return Info;
}
HOST_CLASS_TYPE(TComponent)

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner)
    AOwner->InsertComponent(this);
}

void TComponent::BeforeDestruction() {
  FState |= csDestroying;
}

TComponent::~TComponent() {
  FState |= csDestroying;
  // Each view is detached before it hears, so that it may release itself while it is told.
  while (!FViews.empty()) {
    TComponentView* View = FViews.back();
    FViews.pop_back();
    View->ComponentDestroying(this);
  }
  // Everyone who asked is told first, so that no reference to this component survives it.
  while (!FFreeNotifies.empty()) {
    TComponent* Other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    Other->RemoveFreeNotification(this);
    Other->Notification(this, TOperation::opRemove);
  }
  // Owned components go last-created first. Each removes itself from FComponents; one may take
  // others with it (a menu item its sub-items), so always take the current last.
  while (!FComponents.empty()) {
    TComponent* Last = FComponents.back();
    RemoveComponent(Last);
    Free(Last);
  }
  if (FOwner)
    FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw EListError(u"List index out of bounds (" + IntToStr(Index) + u")");
  return FComponents[static_cast<size_t>(Index)];
}

TComponent* TComponent::FindComponent(std::u16string_view AName) const {
  if (AName.empty())
    return nullptr;
  for (TComponent* C : FComponents)
    if (SameText(C->FName, AName))
      return C;
  return nullptr;
}

namespace {
bool IsIdentStart(char16_t C) {
  return (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z') || C == u'_';
}
bool IsIdentChar(char16_t C) {
  return IsIdentStart(C) || (C >= u'0' && C <= u'9');
}
} // namespace

void TComponent::ValidateName(std::u16string_view NewName, const TComponent* Owner) const {
  if (NewName.empty())
    return;
  bool Valid = IsIdentStart(NewName[0]);
  for (char16_t C : NewName)
    Valid = Valid && IsIdentChar(C);
  if (!Valid)
    throw EComponentError(u"'" + UnicodeString(NewName) + u"' is not a valid component name");
  if (Owner) {
    TComponent* Other = Owner->FindComponent(NewName);
    if (Other && Other != this)
      throw EComponentError(u"A component named " + UnicodeString(NewName) + u" already exists");
  }
}

const TFieldInfo* TComponent::OwnerField(const TComponent* Owner, std::u16string_view Name) const {
  if (!Owner || Name.empty())
    return nullptr;
  const TFieldInfo* Field = Owner->ClassType().FindField(Name);
  if (Field && !Field->Set(const_cast<TComponent&>(*Owner), const_cast<TComponent*>(this)))
    throw EComponentError(u"Field " + Field->Name + u" of class " + Owner->ClassName() +
                          u" cannot hold " + UnicodeString(Name) + u" of class " + ClassName());
  return Field;
}

void TComponent::ClearReference(const TFieldInfo* Field) {
  if (Field && Field->Get(*FOwner) == this)
    Field->Set(*FOwner, nullptr);
}

void TComponent::SetName(const UnicodeString& NewName) {
  if (NewName == FName)
    return;
  ValidateName(NewName, FOwner);
  const TFieldInfo* NewField = OwnerField(FOwner, NewName);
  if (FOwner && !FName.empty()) {
    const TFieldInfo* OldField = FOwner->ClassType().FindField(FName);
    if (OldField != NewField)
      ClearReference(OldField);
  }
  FName = NewName;
  NotifyViews(&TComponentView::NameChanged, this);
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this)
    return;
  ValidateName(AComponent->FName, this);
  AComponent->OwnerField(this, AComponent->FName); // refuses a component the field cannot hold
  if (AComponent->FOwner)
    AComponent->FOwner->RemoveComponent(AComponent);
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
  Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner != this)
    return;
  if (!AComponent->FName.empty())
    AComponent->ClearReference(ClassType().FindField(AComponent->FName));
  Notification(AComponent, TOperation::opRemove);
  auto It = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (It != FComponents.end())
    FComponents.erase(It);
  AComponent->FOwner = nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this)
    return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
    FFreeNotifies.push_back(AComponent);
  auto& Back = AComponent->FFreeNotifies;
  if (std::find(Back.begin(), Back.end(), this) == Back.end())
    Back.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  auto Drop = [](std::vector<TComponent*>& V, TComponent* C) {
    V.erase(std::remove(V.begin(), V.end(), C), V.end());
  };
  Drop(FFreeNotifies, AComponent);
  if (AComponent)
    Drop(AComponent->FFreeNotifies, this);
}

void TComponent::SetLoading(bool Loading) {
  if (Loading)
    FState |= csLoading;
  else
    FState &= ~static_cast<unsigned>(csLoading);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == TOperation::opRemove && AComponent)
    RemoveFreeNotification(AComponent);
  // Owned components hear about their siblings, as on the host. Index loop: a handler may not
  // add or remove components here, but the vector must stay valid if one reads it.
  for (size_t I = 0; I < FComponents.size(); ++I)
    if (FComponents[I] != AComponent)
      FComponents[I]->Notification(AComponent, Operation);
}

void TComponent::AddView(TComponentView* AView) {
  if (AView && !HasView(AView))
    FViews.push_back(AView);
}

void TComponent::RemoveView(TComponentView* AView) {
  std::erase(FViews, AView);
}

bool TComponent::HasView(const TComponentView* AView) const {
  return std::find(FViews.begin(), FViews.end(), AView) != FViews.end();
}
