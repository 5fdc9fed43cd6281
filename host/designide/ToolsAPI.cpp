#include "designide/ToolsAPI.h"

#include "rtl/Exception.h"

TInterfacePtr<IBorlandIDEServices> BorlandIDEServices;

namespace {
TRegisterWizardHook& Hook() {
  static TRegisterWizardHook H;
  return H;
}
} // namespace

void SetRegisterPackageWizardHook(TIdeBadge, TRegisterWizardHook NewHook) {
  Hook() = std::move(NewHook);
}

void RegisterPackageWizard(const TInterfacePtr<IOTAWizard>& Wizard) {
  if (!Wizard)
    throw EInvalidOperation(u"RegisterPackageWizard: no wizard given");
  if (!Hook())
    throw Exception(u"RegisterPackageWizard: no IDE is running to take wizard " +
                    Wizard->GetIDString());
  Hook()(Wizard);
}
