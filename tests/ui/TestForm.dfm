object TestForm: TTestForm
  Caption = 'Test'
  ClientWidth = 200
  ClientHeight = 100
  Font.Name = 'Tahoma'
  Font.Height = -11
  Color = $00EDF8F8
  OnClose = FormClose
  OnDestroy = FormDestroy
  object Top: TTntPanel
    Left = 5
    Top = 7
    Width = 10
    Height = 30
    Align = alTop
    object Inner: TTntLabel
      Left = 1
      Top = 2
      Font.Style = [fsBold]
    end
  end
  object A: TTntRadioButton
    Checked = True
    TabOrder = 2
  end
  object B: TTntRadioButton
    TabOrder = 1
    OnClick = Boom
  end
  object Plain: TTntLabel
    Font.Color = clBlue
  end
  object Go: TTntButton
    TabOrder = 0
    OnClick = Boom
  end
end
