#include "vcl/Creation.h"

#include "vcl/DataModule.h"
#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/LayoutReader.h"
#include "vcl/StdCtrls.h"

void InitComponent(TComponent* Instance, HINSTANCE Module) {
  try {
    ReadComponentLayouts(Instance, Module);
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
