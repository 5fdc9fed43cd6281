object LayoutTestForm: TLayoutTestForm
  Left = 10
  Top = 20
  BorderStyle = bsSingle
  Caption = 'Layout '#39'test'#39' form'
  ClientHeight = 200
  ClientWidth = 300
  Color = clWindow
  Font.Height = -12
  Font.Name = 'Verdana'
  Font.Style = [fsBold, fsItalic]
  OnCreate = FormCreate
  OnDestroy = FormDestroy
  object Grid: TStringGrid
    Left = 4
    Top = 6
    Width = 200
    Height = 100
    ColCount = 3
    RowCount = 4
    Options = [goEditing]
    TabOrder = 1
    OnSelectCell = GridSelectCell
  end
  object BtnOk: TButton
    Caption = 'OK'
    ModalResult = mrOk
    TabOrder = 0
    OnClick = BtnOkClick
  end
end
