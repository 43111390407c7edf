#pragma once
// Resource texts shared by the reader tests: a base form and a form derived
// from it, in the layout the screens use.

inline const char* const kBaseForm = R"(object frmBase: TTestForm
  Left = 387
  Caption = 'Serviço por Cliente'
  Font.Style = [fsBold]
  Color = clInfoBk
  OnCreate = FormCreate
  OnClose = FormClose
  ActiveControl = medCdFilial
  object panFilial: TTestPanel
    Align = alTop
    TabOrder = 2
    object medCdFilial: TTestEdit
      EditMask = '>aaaa;0; '
      OnExit = EditExit
      OnKeyPress = EditKeyPress
    end
  end
  object msgPadrao: TTestMessages
    Lines.Strings = (
      'filial_inf|Filial deve ser informada.'
      'filial_nc|Filial não cadastrada.')
  end
  object dtsPadrao: TTestSource
    Enabled = False
  end
  object dbgPadrao: TTestGrid
    DataSource = dtsPadrao
    Options = [dgEditing, dgTitles, dgAlwaysShowSelection]
    Columns = <
      item
        FieldName = 'CDSERVFILI'
        Width = 48
      end
      item
        FieldName = 'NMSERVICO'
        Source = dtsPadrao
      end>
  end
  object sbtConfirmar: TTestControl
    Caption = 'Confirmar'
  end
end
)";

inline const char* const kDerivedForm = R"(inherited frmDerived: TTestDerivedForm
  Caption = 'Derivado'
  ActiveControl = medCliente
  inherited sbtConfirmar: TTestControl
    Enabled = False
    OnExit = ButtonClick
  end
  inherited panFilial: TTestPanel
    object medCliente: TTestEdit
      EditMask = '9999;0; '
      OnExit = EditExit
    end
  end
end
)";
