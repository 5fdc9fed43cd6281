object OvFrmPaletteMenuCategories: TOvFrmPaletteMenuCategories
  Left = 450
  Top = 117
  BorderStyle = bsDialog
  Caption = 'Component Palette Categories'
  ClientHeight = 373
  ClientWidth = 297
  Color = clBtnFace
  Font.Charset = ANSI_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Verdana'
  Font.Style = []
  OldCreateOrder = False
  Position = poScreenCenter
  OnCreate = FormCreate
  OnDestroy = FormDestroy
  PixelsPerInch = 96
  TextHeight = 13
  object GrdCategories: TStringGrid
    Left = 8
    Top = 8
    Width = 281
    Height = 326
    ColCount = 2
    Ctl3D = True
    DefaultColWidth = 128
    DefaultRowHeight = 18
    DefaultDrawing = False
    FixedCols = 0
    RowCount = 2
    Options = [goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goEditing, goThumbTracking]
    ParentCtl3D = False
    TabOrder = 0
    OnDrawCell = GrdCategoriesDrawCell
    OnSelectCell = GrdCategoriesSelectCell
  end
  object BtnOk: TButton
    Left = 131
    Top = 342
    Width = 75
    Height = 25
    Caption = 'OK'
    ModalResult = 1
    TabOrder = 1
  end
  object BtnCancel: TButton
    Left = 214
    Top = 342
    Width = 75
    Height = 25
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 2
  end
end
