#include "designide/ToolsAPI.h"

#include "rtl/Exception.h"

TInterfacePtr<IBorlandIDEServices> BorlandIDEServices;

namespace {
THookSlot<TRegisterWizardHook>& Hooks() {
  static THookSlot<TRegisterWizardHook> Slot;
  return Slot;
}
} // namespace

TRegisterWizardHookScope::TRegisterWizardHookScope(Badge<TPackageManager>, TRegisterWizardHook Hook)
    : FScope(Hooks(), std::move(Hook)) {}
TRegisterWizardHookScope::~TRegisterWizardHookScope() = default;

void RegisterPackageWizard(const TInterfacePtr<IOTAWizard>& Wizard) {
  if (!Wizard)
    throw EInvalidOperation(u"RegisterPackageWizard: no wizard given");
  // A copy: the hook may install or remove others while it runs.
  const TRegisterWizardHook Hook = Hooks().Current();
  if (!Hook)
    throw Exception(u"RegisterPackageWizard: no IDE is running to take wizard " +
                    Wizard->GetIDString());
  Hook(Wizard);
}
