// Root of the host's object model.
#pragma once

#include "rtl/UnicodeString.h"

#include <functional>
#include <utility>

class TClassInfo;
class TObject;

// Event closures receive the object that fired them.
using TNotifyEvent = std::function<void(TObject* Sender)>;

class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject();

  // Runs just before the object is released, while it is still whole (its most derived class
  // intact): the place for OnDestroy events. Release objects of the model with Free().
  virtual void BeforeDestruction() {}
  // Runs once the object is fully built (for components: after the stored layout is read): the
  // place for OnCreate events.
  virtual void AfterConstruction() {}

  static const TClassInfo& StaticClass();
  // The class of the most derived object; every class of the model overrides it.
  virtual const TClassInfo& ClassType() const;
  UnicodeString ClassName() const;
  bool InheritsFrom(const TClassInfo& Class) const;
};

// Releases an object of the model: BeforeDestruction, then the destructors. Null is ignored.
void Free(TObject* Obj);

// Releases Obj and sets the pointer to null.
template <class T> void FreeAndNil(T*& Obj) {
  T* Tmp = Obj;
  Obj = nullptr;
  Free(Tmp);
}

// The compare-and-store of a property setter: stores Value in Field when they differ and answers
// whether it did, so that the setter tells of a change only when there was one.
template <class F, class T> bool ChangeField(F& Field, T&& Value) {
  if (Field == Value)
    return false;
  Field = std::forward<T>(Value);
  return true;
}

// unique_ptr that releases through Free().
struct TFree {
  void operator()(TObject* Obj) const { Free(Obj); }
};

// Objects that can copy their state from another of their kind.
class TPersistent : public TObject {
public:
  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override;
};

// Declares the two class-information members; put it under "public:".
#define HOST_CLASS_INFO                                                                            \
  static const TClassInfo& StaticClass();                                                          \
  const TClassInfo& ClassType() const override

// Defines ClassType() for a class whose StaticClass() is defined by hand.
#define HOST_CLASS_TYPE(T)                                                                         \
  const TClassInfo& T::ClassType() const {                                                         \
    return StaticClass();                                                                          \
  }
