// TComponent: owned objects with names. A component created with an owner is released by that
// owner (the last created first); a component being released first detaches itself from its
// owner, its parents and everyone who asked to be told.
#pragma once

#include "rtl/TypInfo.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <typeinfo>
#include <unordered_map>
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
  // Called on the owner (and, through it, on every owned component) when a component is
  // inserted or removed, and on components that asked for a free notification.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  // Calls Op with Args on every attached view of the interface V; views of other kinds are
  // skipped. Nothing happens without views or while the component is being released. A view
  // may detach itself or another view while it is told.
  template <class V, class... P, class... A> void NotifyViews(void (V::*Op)(P...), A&&... Args);
  // NotifyViews once it found views to tell.
  template <class V, class... P, class... A> void TellViews(void (V::*Op)(P...), A&&... Args);
  // The setter of a property that views hear of: when Value differs from Field, stores it and
  // tells the views through Op with Args; answers whether it changed anything.
  template <class F, class T, class V, class... P, class... A>
  bool ChangeProperty(F& Field, T&& Value, void (V::*Op)(P...), A&&... Args) {
    if (!ChangeField(Field, std::forward<T>(Value)))
      return false;
    NotifyViews(Op, std::forward<A>(Args)...);
    return true;
  }
  // Hearing of siblings. An owner tells its owned components (through Notification) of each
  // component inserted into it or removed from it, but only those that can do anything with
  // it, so that filling a big owner stays linear. A component hears of every sibling when
  // HearsSiblings() answers true or when it owns components that hear; one that holds a
  // free-notification link hears of the removal of the components it is linked to (its
  // Notification drops the link). The owner asks HearsSiblings() once, at the first insertion
  // or removal after the component joined it; links and hearing owned components make it
  // hear from then on.
  //   TComponent answers false for its exact class only (IsExactly), so that any descendant,
  //   which may override Notification, hears. A class whose Notification does nothing beyond
  //   its ancestor's for a component it holds no link to may likewise answer false for its own
  //   exact class (TMenuItem, the menus, TToolButton do).
  //   The rule that comes with it: while a component's TComponent part is built but the rest
  //   is not, its owner (and that owner's owner) must not insert or remove components (say
  //   from its own Notification), for the answer it would get then is that of a half-built
  //   object. Debug builds ask again at the owner's next insertion or removal and stop when
  //   the answer changed.
  virtual bool HearsSiblings() const;
  // Whether this object is exactly a T, not a descendant of it.
  template <class T> bool IsExactly() const { return typeid(*this) == typeid(T); }

private:
  void ValidateName(std::u16string_view NewName, const TComponent* Owner) const;
  // The owner's published field named Name, if any; raises EComponentError when the field
  // cannot hold this component. Such a field always refers to the owned component of its name.
  const TFieldInfo* OwnerField(const TComponent* Owner, std::u16string_view Name) const;
  void ClearReference(const TFieldInfo* Field);

  struct TOwnedList;
  // Unknown: not yet asked; No: hears nothing; Links: hears of the removal of the components
  // it is linked to; All: hears of every sibling.
  enum class THearing : unsigned char { Unknown, No, Links, All };
  TOwnedList& Owned();
  // Asks the owner to tell C of its siblings from now on, at least as Level says (C gained a
  // link, or a component that hears).
  void Hear(TComponent* C, THearing Level);
  void Classify(TComponent* C);
  // Whether an owned component hears; those not yet asked are asked now.
  bool OwnsHearing();

  TComponent* FOwner = nullptr;
  std::unique_ptr<TOwnedList> FOwned; // created with the first owned component
  size_t FOwnerSlot = 0;              // index in the owner's list
  std::uint64_t FOwnerSeq = 0;        // order of insertion into the owner
  THearing FHearing = THearing::Unknown;
  std::vector<TComponent*> FFreeNotifies;
  UnicodeString FName;
  unsigned FState = 0;
  // An attached view with the interfaces it was last asked for: a component tells its views
  // through one or two interfaces, and finding one by dynamic_cast walks the view's whole class
  // tree (a front end's views derive from its widget classes too), at every change.
  struct TViewSlot {
    static constexpr int Kept = 2;
    TComponentView* View = nullptr;
    const void* Kinds[Kept] = {}; // ViewKind<V> of the interfaces kept, most recent first
    void* Typed[Kept] = {};       // the view as that interface, or nullptr when it is none
  };
  // A distinct address per view interface. Should a shared library end up with a copy of its
  // own, that only means one more cast, never a wrong one.
  template <class V> static inline const char ViewKind = 0;
  // The view at Index as the interface Kind (through Cast on the first asking), or nullptr.
  void* ViewAs(size_t Index, const void* Kind, void* (*Cast)(TComponentView*));
  std::vector<TViewSlot> FViews;
};

template <class V, class... P, class... A>
inline void TComponent::NotifyViews(void (V::*Op)(P...), A&&... Args) {
  // Most components have no view: that answer is given here, without a call.
  if (FViews.empty() || (FState & csDestroying))
    return;
  TellViews(Op, std::forward<A>(Args)...);
}

template <class V, class... P, class... A>
[[gnu::noinline]] void TComponent::TellViews(void (V::*Op)(P...), A&&... Args) {
  void* (*const Cast)(TComponentView*) = [](TComponentView* View) -> void* {
    return dynamic_cast<V*>(View);
  };
  if (FViews.size() == 1) { // the common case: one view, nothing to keep track of
    if (void* Typed = ViewAs(0, &ViewKind<V>, Cast))
      (static_cast<V*>(Typed)->*Op)(Args...);
    return;
  }
  // The views as they were at the start: one that is told may detach itself or another, and
  // only those still attached are told.
  std::vector<TComponentView*> Told;
  Told.reserve(FViews.size());
  for (const TViewSlot& Slot : FViews)
    Told.push_back(Slot.View);
  for (TComponentView* View : Told) {
    const auto It = std::find_if(FViews.begin(), FViews.end(),
                                 [View](const TViewSlot& Slot) { return Slot.View == View; });
    if (It != FViews.end())
      if (void* Typed = ViewAs(static_cast<size_t>(It - FViews.begin()), &ViewKind<V>, Cast))
        (static_cast<V*>(Typed)->*Op)(Args...);
  }
}

// A component held outside any owner, released through Free().
template <class T> using TOwned = std::unique_ptr<T, TFree>;

// Creates and returns a closure that calls a member function on an object: the host's way of
// assigning a handler ("Item->OnClick = Handler(this, &TForm1::ItemClick)").
template <class T, class R, class... Args> auto Handler(T* Target, R (T::*Method)(Args...)) {
  return [Target, Method](Args... A) -> R { return (Target->*Method)(A...); };
}
