#include "vcl/Creation.h"

#include "rtl/Exception.h"

void InitComponent(TComponent* Instance, HINSTANCE Module) {
  try {
    UnicodeString ResName = Instance->ClassName();
    for (char16_t& C : ResName)
      if (C >= u'a' && C <= u'z')
        C = static_cast<char16_t>(C - 32);
    if (Module && HasResource(Module, ResName))
      throw EReadError(u"Stored layout " + ResName + u" cannot be read: no layout reader");
    Instance->AfterConstruction();
  } catch (...) {
    Free(Instance);
    throw;
  }
}
