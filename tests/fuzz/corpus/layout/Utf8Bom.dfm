object Form1: TForm
  Caption = 'ä€😀'
end
