// A weak reference to an object of the model: it answers the object while the object lives and
// nullptr from the moment its release begins, so that a Qt object which outlives its model object
// (an action chosen while the model changed under an open menu, a button whose model button went
// before the bar was rebuilt) reaches nothing. It hears of the release as a view of the object
// (the host's own mechanism); a copy is a reference of its own.
#pragma once

#include "rtl/Component.h"

template <class T> class ModelRef final : private TComponentView {
public:
  ModelRef() = default;
  explicit ModelRef(T* Model) { Reset(Model); }
  ModelRef(const ModelRef& Other) : TComponentView() { Reset(Other.Get()); }
  ModelRef& operator=(const ModelRef& Other) {
    if (this != &Other)
      Reset(Other.Get());
    return *this;
  }
  ~ModelRef() override { Reset(nullptr); }

  // The object, or nullptr once it is being released (or was never set).
  T* Get() const { return FModel && !(FModel->ComponentState() & csDestroying) ? FModel : nullptr; }
  T* operator->() const { return Get(); }
  explicit operator bool() const { return Get() != nullptr; }
  // Refers to Model from now on (nullptr: to nothing).
  void Reset(T* Model) {
    if (FModel == Model)
      return;
    if (FModel)
      FModel->RemoveView(this);
    FModel = Model;
    if (FModel)
      FModel->AddView(this);
  }

private:
  // Told from TComponent's destructor: the object is only a component by then.
  void ComponentDestroying(TComponent*) override { FModel = nullptr; }
  T* FModel = nullptr;
};
