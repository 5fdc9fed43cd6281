object Form1: TForm
  Left = -12
  Top = $1F
  Caption = 'It''s '#228#$20AC' + more' +
    ' joined'
  Font.Name = 'Verdana'
  Font.Height = -11
  ScaleFactor = 1.5
  Ratio = 2E3
  Money = 12.50c
  BorderStyle = bsDialog
  Images = DataModule1.Images
  Options = [goEditing, goTabs, 3]
  Empty = []
  Lines.Strings = (
    'one'
    'two'
    12)
  Columns = <
    item
      Title.Caption = 'A'
      Width = 64
    end
    item
    end>
  Picture.Data = {
    0A1BFF10}
  OnCreate = FormCreate
  object Button1: TButton[2]
    Caption = '&OK'
    OnClick = Button1Click
  end
  inline Frame1: TTestFrame
    object TPanel
    end
  end
  inherited Grid: TStringGrid
    ColCount = 2
  end
end
