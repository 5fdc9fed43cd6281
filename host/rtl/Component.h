// TComponent: owned objects with names. A component created with an owner is released by that
// owner (the last created first); a component being released first detaches itself from its
// owner, its parents and everyone who asked to be told.
#pragma once

#include "rtl/TypInfo.h"

#include <memory>
#include <string_view>
#include <vector>

class TComponent;

enum class TOperation { opInsert, opRemove };

// Component state flags (a set).
enum TComponentStateFlag : unsigned { csLoading = 1, csReading = 2, csDestroying = 4 };

// What a front end attaches to a model object to mirror it. Each model class that has something
// to tell declares its own view interface, derived (virtually) from this one, with one operation
// per change and empty defaults, so a view overrides only what it shows. The model tells its
// views about changes only when one is attached; views are created on first use.
class TComponentView {
public:
  virtual ~TComponentView() = default;
  virtual void NameChanged(TComponent*) {}
  // The component is being released; the view must not touch it afterwards.
  virtual void ComponentDestroying(TComponent*) {}
};

class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  // Marks the component as being destroyed.
  void BeforeDestruction() override;

  HOST_CLASS_INFO;

  TComponent* Owner() const { return FOwner; }
  const UnicodeString& Name() const { return FName; }
  // A valid identifier (or empty), unique among the owner's components (ASCII case ignored).
  void SetName(const UnicodeString& NewName);

  // Owned components in order of insertion. Inserting, removing and finding by name take
  // constant (amortised) or logarithmic time whatever the count.
  int ComponentCount() const;
  TComponent* Components(int Index) const;
  // The owned component of that name (ASCII case ignored), or nullptr.
  TComponent* FindComponent(std::u16string_view AName) const;

  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);

  // Ask to be told (through Notification) when AComponent is released.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  unsigned ComponentState() const { return FState; }
  void SetLoading(bool Loading);

  // Views are not owned; a front end detaches its view before releasing it. A component may
  // have several views; attaching one twice keeps one entry.
  void AddView(TComponentView* AView);
  void RemoveView(TComponentView* AView);
  bool HasView(const TComponentView* AView) const;
  int ViewCount() const { return static_cast<int>(FViews.size()); }

protected:
  // Called on the owner when a component is inserted into it or removed from it, and on every
  // component linked to AComponent by FreeNotification when AComponent is released. Owned
  // components do not hear of their siblings: a component that refers to another, whoever
  // owns either, asks for a free notification.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  // Calls Op with Args on every attached view of the interface V; views of other kinds are
  // skipped. Nothing happens without views or while the component is being released. A view
  // may detach itself or another view while it is told.
  template <class V, class... P, class... A> void NotifyViews(void (V::*Op)(P...), A&&... Args);
  // The setter of a property that views hear of: when Value differs from Field, stores it and
  // tells the views through Op with Args; answers whether it changed anything.
  template <class F, class T, class V, class... P, class... A>
  bool ChangeProperty(F& Field, T&& Value, void (V::*Op)(P...), A&&... Args) {
    if (!ChangeField(Field, std::forward<T>(Value)))
      return false;
    NotifyViews(Op, std::forward<A>(Args)...);
    return true;
  }

private:
  void ValidateName(std::u16string_view NewName, const TComponent* Owner) const;
  // The owner's published field named Name, if any; raises EComponentError when the field
  // cannot hold this component. Such a field always refers to the owned component of its name.
  const TFieldInfo* OwnerField(const TComponent* Owner, std::u16string_view Name) const;
  void ClearReference(const TFieldInfo* Field);

  struct TOwnedList;
  TOwnedList& Owned();

  TComponent* FOwner = nullptr;
  std::unique_ptr<TOwnedList> FOwned; // created with the first owned component
  size_t FOwnerSlot = 0;              // index in the owner's list
  std::vector<TComponent*> FFreeNotifies;
  UnicodeString FName;
  unsigned FState = 0;
  std::vector<TComponentView*> FViews;
};

template <class V, class... P, class... A>
void TComponent::NotifyViews(void (V::*Op)(P...), A&&... Args) {
  if (FViews.empty() || (FState & csDestroying))
    return;
  // The views as they were at the start: one that is told may detach itself or another, and
  // only those still attached are told.
  const std::vector<TComponentView*> Told = FViews;
  for (TComponentView* View : Told)
    if (HasView(View))
      if (auto* Typed = dynamic_cast<V*>(View))
        (Typed->*Op)(Args...);
}

// A component held outside any owner, released through Free().
template <class T> using TOwned = std::unique_ptr<T, TFree>;

// Creates and returns a closure that calls a member function on an object: the host's way of
// assigning a handler ("Item->OnClick = Handler(this, &TForm1::ItemClick)").
template <class T, class R, class... Args> auto Handler(T* Target, R (T::*Method)(Args...)) {
  return [Target, Method](Args... A) -> R { return (Target->*Method)(A...); };
}
