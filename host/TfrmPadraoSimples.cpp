#include "host/TfrmPadraoSimples.h"

#include "host/ShellRoutines.h"
#include "host/TMessages.h"
#include "platform/controls/TLabel.h"
#include "platform/controls/TMainMenu.h"
#include "platform/controls/TMenuItem.h"
#include "platform/controls/TPanel.h"
#include "platform/controls/TPrintDialog.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/core/Exception.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/forms/HandlerTable.h"
#include "platform/model/ClassRegistration.h"

namespace {
const ClassRegistration<TfrmPadraoSimples> standardScreenClass("TfrmPadraoSimples", "TForm");
} // namespace

const HandlerTable& TfrmPadraoSimples::Handlers()
{
    static const HandlerTable table(nullptr, [](HandlerTable& t) {
        t.Add("FormCreate", &TfrmPadraoSimples::FormCreate, "TfrmPadraoSimples");
        t.Add("FormClose", &TfrmPadraoSimples::FormClose, "TfrmPadraoSimples");
        t.Add("dtsPadraoStateChange", &TfrmPadraoSimples::dtsPadraoStateChange, "TfrmPadraoSimples");
        t.Add("sbtProcurarClick", &TfrmPadraoSimples::sbtProcurarClick, "TfrmPadraoSimples");
        t.Add("sbtConfirmarClick", &TfrmPadraoSimples::sbtConfirmarClick, "TfrmPadraoSimples");
        t.Add("sbtCancelarClick", &TfrmPadraoSimples::sbtCancelarClick, "TfrmPadraoSimples");
        t.Add("sbtIncluirClick", &TfrmPadraoSimples::sbtIncluirClick, "TfrmPadraoSimples");
        t.Add("sbtAlterarClick", &TfrmPadraoSimples::sbtAlterarClick, "TfrmPadraoSimples");
        t.Add("sbtExcluirClick", &TfrmPadraoSimples::sbtExcluirClick, "TfrmPadraoSimples");
        t.Add("sbtVerificarClick", &TfrmPadraoSimples::sbtVerificarClick, "TfrmPadraoSimples");
        t.Add("sbtImprimirClick", &TfrmPadraoSimples::sbtImprimirClick, "TfrmPadraoSimples");
    });
    return table;
}

void TfrmPadraoSimples::ResourcesLoaded()
{
    BindField(lblCodTela, "lblCodTela");
    BindField(panMenu, "panMenu");
    BindField(sbtConfirmar, "sbtConfirmar");
    BindField(sbtCancelar, "sbtCancelar");
    BindField(sbtIncluir, "sbtIncluir");
    BindField(sbtAlterar, "sbtAlterar");
    BindField(sbtExcluir, "sbtExcluir");
    BindField(sbtProcurar, "sbtProcurar");
    BindField(sbtVerificar, "sbtVerificar");
    BindField(sbtImprimir, "sbtImprimir");
    BindField(mnuMenu, "mnuMenu");
    BindField(mniConfirmar, "mniConfirmar");
    BindField(mniCancelar, "mniCancelar");
    BindField(mniIncluir, "mniIncluir");
    BindField(mniAlterar, "mniAlterar");
    BindField(mniExcluir, "mniExcluir");
    BindField(mniProcurar, "mniProcurar");
    BindField(mniVerificar, "mniVerificar");
    BindField(mniImprimir, "mniImprimir");
    BindField(dtsPadrao, "dtsPadrao");
    BindField(msgPadrao, "msgPadrao");
    BindField(msgMensagensPadroes, "msgMensagensPadroes");
    BindField(prdImprimir, "prdImprimir");
    BindField(psdConfigurar, "psdConfigurar");
    // Each menu entry starts as its toolbar button is set in the resources.
    for (TSpeedButton* button :
         {sbtConfirmar, sbtCancelar, sbtIncluir, sbtAlterar, sbtExcluir, sbtProcurar, sbtVerificar, sbtImprimir}) {
        MirrorOf(button)->SetEnabled(button->Enabled());
    }
}

void TfrmPadraoSimples::MissingField(const std::string& name, const std::string& foundClass) const
{
    if (foundClass.empty()) {
        throw EInvalidOperation("Form " + ClassName() + " has no component named " + name);
    }
    throw EInvalidOperation("Component " + name + " of form " + ClassName() + " is a " + foundClass +
                            ", not of the class its field needs");
}

TMenuItem* TfrmPadraoSimples::MirrorOf(const TSpeedButton* Button) const
{
    const std::pair<const TSpeedButton*, TMenuItem*> pairs[] = {
        {sbtConfirmar, mniConfirmar}, {sbtCancelar, mniCancelar}, {sbtIncluir, mniIncluir},
        {sbtAlterar, mniAlterar},     {sbtExcluir, mniExcluir},   {sbtProcurar, mniProcurar},
        {sbtVerificar, mniVerificar}, {sbtImprimir, mniImprimir},
    };
    for (const auto& [button, entry] : pairs) {
        if (button == Button) {
            return entry;
        }
    }
    return nullptr;
}

void TfrmPadraoSimples::SetCommand(TSpeedButton* Button, TMenuItem* entry, bool enabled)
{
    Button->SetEnabled(enabled);
    if (entry != nullptr) {
        entry->SetEnabled(enabled);
    }
}

void TfrmPadraoSimples::ApplyStandardToolbar()
{
    TDataSetState state = dtsPadrao->State();
    TDataSet* ds = dtsPadrao->DataSet();
    bool browsing = state == TDataSetState::dsBrowse;
    bool editing = state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
    bool hasRows = ds != nullptr && ds->Active() && !ds->IsEmpty();
    SetCommand(sbtIncluir, mniIncluir, browsing);
    SetCommand(sbtAlterar, mniAlterar, browsing && hasRows);
    SetCommand(sbtExcluir, mniExcluir, browsing && hasRows);
    SetCommand(sbtConfirmar, mniConfirmar, editing);
    SetCommand(sbtCancelar, mniCancelar, editing);
}

void TfrmPadraoSimples::FormCreate(TObject* /*Sender*/)
{
    ApplyStandardToolbar();
}

void TfrmPadraoSimples::FormClose(TObject* /*Sender*/, TCloseAction& Action)
{
    // A closed screen is destroyed, never kept for reuse.
    Action = TCloseAction::caFree;
}

void TfrmPadraoSimples::dtsPadraoStateChange(TObject* /*Sender*/)
{
    ApplyStandardToolbar();
}

void TfrmPadraoSimples::sbtProcurarClick(TObject* /*Sender*/)
{
    TDataSet* ds = dtsPadrao->DataSet();
    if (ds == nullptr || !ds->Active() || ds->IsEmpty()) {
        MensErro(msgMensagensPadroes->Msg("sem_dados"), true);
    }
    Procura(ds);
}

void TfrmPadraoSimples::sbtConfirmarClick(TObject* /*Sender*/)
{
    TDataSet* ds = dtsPadrao->DataSet();
    if (ds != nullptr && (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert)) {
        ds->Post();
    }
}

void TfrmPadraoSimples::sbtCancelarClick(TObject* /*Sender*/)
{
    TDataSet* ds = dtsPadrao->DataSet();
    if (ds != nullptr && (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert)) {
        ds->Cancel();
    }
}

void TfrmPadraoSimples::sbtIncluirClick(TObject* /*Sender*/)
{
    TDataSet* ds = dtsPadrao->DataSet();
    if (ds != nullptr && ds->State() == TDataSetState::dsBrowse) {
        ds->Append();
    }
}

void TfrmPadraoSimples::sbtAlterarClick(TObject* /*Sender*/)
{
    TDataSet* ds = dtsPadrao->DataSet();
    if (ds != nullptr && ds->State() == TDataSetState::dsBrowse && !ds->IsEmpty()) {
        ds->Edit();
    }
}

void TfrmPadraoSimples::sbtExcluirClick(TObject* /*Sender*/)
{
    TDataSet* ds = dtsPadrao->DataSet();
    if (ds != nullptr && ds->State() == TDataSetState::dsBrowse && !ds->IsEmpty()) {
        ds->Delete();
    }
}

void TfrmPadraoSimples::sbtVerificarClick(TObject* /*Sender*/)
{
    // The standard verification brings the toolbar in line with the data.
    ApplyStandardToolbar();
}

void TfrmPadraoSimples::sbtImprimirClick(TObject* /*Sender*/)
{
    MensErro(msgMensagensPadroes->Msg("sem_relatorio"), true);
}
