// Two-phase creation, as on the host: constructing a component does no virtual work; the
// creation routine constructs it, reads its stored layout (a resource named after the
// upper-cased class name in the module that defines the class, when there is one), then runs
// AfterConstruction (OnCreate). If any step fails, the half-built object is released through
// Free (its OnDestroy runs) and the failure goes on to the caller.
#pragma once

#include "rtl/Component.h"
#include "rtl/Resources.h"

// Reads the stored layouts of Instance's class (from Module) and of its ancestors, if they have
// any (see ReadComponentLayouts), and fires AfterConstruction; releases Instance and rethrows
// on failure.
void InitComponent(TComponent* Instance, HINSTANCE Module);

template <class T> T* CreateComponent(TComponent* AOwner) {
  T* Instance = new T(AOwner);
  InitComponent(Instance, FindHInstance(reinterpret_cast<const void*>(&T::StaticClass)));
  return Instance;
}
