#include "vcl/Creation.h"

#include "rtl/Assert.h"
#include "vcl/DataModule.h"
#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/LayoutReader.h"
#include "vcl/StdCtrls.h"

void InitComponent(TComponent* Instance, HINSTANCE Module) {
  try {
    ReadComponentLayouts(Instance, Module);
    HOST_ASSERT(!(Instance->ComponentState() & csLoading),
                "a component is loading only while its layout is read");
    Instance->AfterConstruction();
  } catch (...) {
    Free(Instance);
    throw;
  }
}

namespace {
// The classes of this library that stored layouts may create by name.
const bool Registered = [] {
  RegisterClass(TForm::StaticClass());
  RegisterClass(TDataModule::StaticClass());
  RegisterClass(TButton::StaticClass());
  RegisterClass(TStringGrid::StaticClass());
  return true;
}();
} // namespace
