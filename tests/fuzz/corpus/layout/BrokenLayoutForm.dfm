object BrokenLayoutForm: TBrokenLayoutForm
  OnDestroy = FormDestroy
  OnCreate = FormCreate
  object Grid: TStringGrid
    FixedRows = 0
    Colour = clRed
  end
end
