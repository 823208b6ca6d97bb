// The setup window. The build inlines the bytes of the file that Picture.Data names.
object uUpd: TuUpd
  BorderIcons = []
  BorderStyle = bsSingle
  Caption = 'Setup Solvenza Quillora '
  ClientHeight = 316
  ClientWidth = 467
  Color = $00EDF8F8
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Tahoma'
  Position = poScreenCenter
  Tag = 10
  OnClose = TntFormClose
  OnCreate = TntFormCreate
  OnDestroy = TntFormDestroy
  object lbl_ThongBao: TTntLabel
    Left = 32
    Top = 179
    Width = 64
    Height = 13
    Font.Height = -11
    Font.Name = 'Tahoma'
  end
  object Bevel1: TBevel
    Left = 208
    Top = 248
    Width = 305
    Height = 2
    Shape = bsTopLine
  end
  object Label5: TTntLabel
    Left = 32
    Top = 241
    Width = 31
    Height = 13
    Font.Color = clBlue
    Font.Height = -11
    Font.Name = 'Tahoma'
  end
  object Bevel2: TBevel
    Left = -4
    Top = 248
    Width = 34
    Height = 2
    Shape = bsTopLine
  end
  object Edit_AppPath: TTntEdit
    Left = 152
    Top = 176
    Width = 289
    Height = 21
    TabOrder = 0
    OnExit = Edit_AppPathExit
  end
  object ProgressBar1: TProgressBar
    Left = 30
    Top = 200
    Width = 411
    Height = 15
    Min = 0
    Max = 100
    Step = 1
    TabOrder = 1
    Visible = False
  end
  object Panel2: TTntPanel
    Left = 0
    Top = 0
    Width = 467
    Height = 65
    Align = alTop
    Color = clWindow
    TabOrder = 2
    object lbl_QuanLyUngDung: TTntLabel
      Left = 32
      Top = 20
      Width = 113
      Height = 13
      Font.Style = [fsBold]
      Visible = False
    end
    object lbl_ChonLuaCacMuc: TTntLabel
      Left = 48
      Top = 36
      Width = 95
      Height = 13
      Visible = False
    end
    object Label1: TTntLabel
      Left = 32
      Top = 14
      Width = 275
      Height = 35
      Caption = 'Quillora  Accounting'
      Enabled = False
      Font.Height = -29
      Font.Name = 'Tahoma'
      Transparent = True
    end
    object Image2: TImage
      Left = 334
      Top = 0
      Width = 105
      Height = 65
      Picture.Data = {@logo.png}
    end
  end
  object bt_NangCap: TTntButton
    Left = 256
    Top = 271
    Width = 89
    Height = 25
    Default = True
    TabOrder = 3
    OnClick = bt_NangCapClick
  end
  object bt_Dong: TTntButton
    Left = 352
    Top = 271
    Width = 89
    Height = 25
    TabOrder = 4
    OnClick = Btn_DongClick
  end
  object Radio1: TTntRadioButton
    Left = 32
    Top = 88
    Width = 113
    Height = 17
    Checked = True
    TabOrder = 5
    TabStop = True
  end
  object Radio2: TTntRadioButton
    Left = 32
    Top = 112
    Width = 113
    Height = 17
    TabOrder = 6
  end
  object ZipBuilder1: TZipBuilder
    AddStoreSuffixes = [assGIF, assPNG, assJPG, assJPEG, assZ, assZIP, assZOO, assARC, assLZH, assARJ, assTAZ, assTGZ, assLHA, assRAR, assACE, assCAB, assGZ, assGZIP, assJAR, assEXE, ass7Z, assMP3]
    SFXCaption = 'Self-extracting Archive'
    SFXLanguage = 'US'
    SFXOptions = [SFXCheckSize]
    DLLDirectory = '><'
    OnMessage = ZipBuilder1Message
    OnPasswordError = ZipBuilder1PasswordError
    Left = 416
    Top = 72
  end
end
