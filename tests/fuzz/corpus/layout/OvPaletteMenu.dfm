object OvPaletteMenuWizardDataModule: TOvPaletteMenuWizardDataModule
  OldCreateOrder = False
  OnCreate = WizardDataModuleCreate
  OnDestroy = WizardDataModuleDestroy
  Height = 144
  Width = 319
end
