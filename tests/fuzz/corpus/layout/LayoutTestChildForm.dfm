inherited LayoutTestChildForm: TLayoutTestChildForm
  Caption = 'Child'
  inherited BtnOk: TButton
    Caption = 'Done'
  end
  object BtnCancel: TButton
    ModalResult = 2
  end
end