#include "rtl/Component.h"

#include "rtl/Assert.h"
#include "rtl/SysUtils.h"

#include <algorithm>
#include <unordered_map>

// What an owner keeps of its components. Slots hold them in order of insertion; a component
// that leaves empties its slot (constant time), and the slots close up when an index is asked
// for or when more than half are empty, so that releasing many components in any order stays
// linear. Names are indexed by their ASCII-folded form.
struct TComponent::TOwnedList {
  std::vector<TComponent*> Slots;
  size_t Live = 0;
  std::unordered_map<UnicodeString, TComponent*> Names;

  void Compact() {
    if (Live == Slots.size())
      return;
    size_t To = 0;
    for (TComponent* C : Slots)
      if (C) {
        C->FOwnerSlot = To;
        Slots[To++] = C;
      }
    Slots.resize(To);
  }
  void DropTrailingHoles() {
    while (!Slots.empty() && !Slots.back())
      Slots.pop_back();
  }
};

namespace {
// Identifiers compare with ASCII letter case ignored; this is the form they are indexed by.
UnicodeString NameKey(std::u16string_view Name) {
  UnicodeString Key(Name);
  for (char16_t& C : Key)
    if (C >= u'A' && C <= u'Z')
      C = static_cast<char16_t>(C + 32);
  return Key;
}
} // namespace

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
  // Owned components go last-created first. Each removes itself from the list; one may take
  // others with it (a menu item its sub-items), so always take the current last.
  while (FOwned && FOwned->Live > 0) {
    FOwned->DropTrailingHoles();
    TComponent* Last = FOwned->Slots.back();
    RemoveComponent(Last);
    Free(Last);
  }
  if (FOwner)
    FOwner->RemoveComponent(this);
  HOST_ASSERT(!FOwner && !ComponentCount() && FFreeNotifies.empty() && FViews.empty(),
              "a released component has left its owner, its owned, its links and its views");
}

TComponent::TOwnedList& TComponent::Owned() {
  if (!FOwned)
    FOwned = std::make_unique<TOwnedList>();
  return *FOwned;
}

int TComponent::ComponentCount() const {
  return FOwned ? static_cast<int>(FOwned->Live) : 0;
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw EListError(u"List index out of bounds (" + IntToStr(Index) + u")");
  FOwned->Compact();
  TComponent* C = FOwned->Slots[static_cast<size_t>(Index)];
  HOST_ASSERT(C->FOwner == this && C->FOwnerSlot == static_cast<size_t>(Index),
              "an owned component knows its owner and its slot in the owner's list");
  return C;
}

TComponent* TComponent::FindComponent(std::u16string_view AName) const {
  if (AName.empty() || !FOwned)
    return nullptr;
  auto It = FOwned->Names.find(NameKey(AName));
  return It == FOwned->Names.end() ? nullptr : It->second;
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
  if (FOwner) {
    auto& Names = FOwner->FOwned->Names;
    if (!FName.empty())
      Names.erase(NameKey(FName));
    if (!NewName.empty())
      Names[NameKey(NewName)] = this;
  }
  FName = NewName;
  NotifyViews(&TComponentView::NameChanged, this);
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this)
    return;
  // An unnamed component (most, and every one that joins from its constructor) has no name to
  // check and no field to fill.
  if (!AComponent->FName.empty()) {
    ValidateName(AComponent->FName, this);
    AComponent->OwnerField(this, AComponent->FName); // refuses one the field cannot hold
  }
#ifndef NDEBUG
  for (const TComponent* O = this; O; O = O->FOwner)
    HOST_ASSERT(O != AComponent, "no component owns itself, directly or through others");
#endif
  if (AComponent->FOwner)
    AComponent->FOwner->RemoveComponent(AComponent);
  HOST_ASSERT(!AComponent->FOwner, "a component joins an owner only after leaving the last one");
  TOwnedList& List = Owned();
  AComponent->FOwnerSlot = List.Slots.size();
  List.Slots.push_back(AComponent);
  ++List.Live;
  if (!AComponent->FName.empty())
    List.Names[NameKey(AComponent->FName)] = AComponent;
  AComponent->FOwner = this;
  Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner != this)
    return;
  if (!AComponent->FName.empty())
    AComponent->ClearReference(ClassType().FindField(AComponent->FName));
  Notification(AComponent, TOperation::opRemove);
  TOwnedList& List = *FOwned;
  HOST_ASSERT(AComponent->FOwnerSlot < List.Slots.size() &&
                  List.Slots[AComponent->FOwnerSlot] == AComponent,
              "an owned component's slot in its owner's list holds it");
  if (AComponent->FOwnerSlot < List.Slots.size() &&
      List.Slots[AComponent->FOwnerSlot] == AComponent) {
    List.Slots[AComponent->FOwnerSlot] = nullptr;
    --List.Live;
    List.DropTrailingHoles();
    if (List.Live < List.Slots.size() / 2)
      List.Compact();
  }
  if (!AComponent->FName.empty()) {
    auto It = List.Names.find(NameKey(AComponent->FName));
    if (It != List.Names.end() && It->second == AComponent)
      List.Names.erase(It);
  }
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
  HOST_ASSERT(std::count(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == 1 &&
                  std::count(Back.begin(), Back.end(), this) == 1,
              "a free-notification link is held once at each of its ends");
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
  // A link is held at both of its ends; the component going drops its own.
  if (Operation == TOperation::opRemove && AComponent)
    RemoveFreeNotification(AComponent);
}

void TComponent::AddView(TComponentView* AView) {
  // It would never hear of the release that is under way, and be left pointing at nothing.
  HOST_ASSERT(!(FState & csDestroying), "no view attaches to a component being released");
  if (AView && !HasView(AView))
    FViews.push_back(AView);
}

void TComponent::RemoveView(TComponentView* AView) {
  std::erase(FViews, AView);
}

bool TComponent::HasView(const TComponentView* AView) const {
  return std::find(FViews.begin(), FViews.end(), AView) != FViews.end();
}
