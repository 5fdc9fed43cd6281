object TestFrame: TTestFrame
  Width = 120
  object Btn: TButton
    Caption = 'Inner'
  end
end
