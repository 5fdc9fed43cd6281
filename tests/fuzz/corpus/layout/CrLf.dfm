object Form1: TForm
  Caption = 'CRLF'
  object Btn: TButton
    Caption = #13#10
  end
end
