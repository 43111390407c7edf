// The state of every command, recomputed from the focus and the data: the
// standard toolbar with its menu entries, the four transfer buttons and the
// undo of the last move. Also the grid's keys and focus, and the search over
// the list or the grid.
#include "host/ShellRoutines.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMenuItem.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "screen/TfrmServCliente.h"
#include "screen/assign/ServiceLine.h"

namespace {
bool InactiveOrBrowsing(const TDataSet* DataSet)
{
    return DataSet->State() == TDataSetState::dsInactive || DataSet->State() == TDataSetState::dsBrowse;
}
} // namespace

void TfrmServCliente::HabilitaBotoes()
{
    sbtIncluir->SetEnabled(false);
    sbtExcluir->SetEnabled(false);
    sbtAlterar->SetEnabled(false);
    sbtConfirmar->SetEnabled(false);
    sbtCancelar->SetEnabled(false);
    sbtProcurar->SetEnabled(!cdsServico->IsEmpty() && ActiveControl() == lsbPossiveis);
    sbtVerificar->SetEnabled(ActiveControl() == dbgPadrao);
    for (TSpeedButton* button :
         {sbtIncluir, sbtExcluir, sbtAlterar, sbtConfirmar, sbtCancelar, sbtProcurar, sbtVerificar}) {
        MirrorOf(button)->SetEnabled(button->Enabled());
    }
}

void TfrmServCliente::EnabledBotoes()
{
    sbtEscolhido->SetEnabled(lsbPossiveis->Count() >= 1 && InactiveOrBrowsing(cdsServClie));
    sbtTodos->SetEnabled(lsbPossiveis->Count() >= 1 && InactiveOrBrowsing(cdsServClie));
    sbtUmEsquerda->SetEnabled(!cdsServClie->IsEmpty() && dtsPadrao->Enabled() && InactiveOrBrowsing(cdsServClie));
    sbtTodosEsquerda->SetEnabled(!cdsServClie->IsEmpty() && dtsPadrao->Enabled() && InactiveOrBrowsing(cdsServClie));
    mniDesfazer->SetEnabled(PodeDesfazer());
}

void TfrmServCliente::dtsPadraoStateChange(TObject* Sender)
{
    TfrmPadraoSimples::dtsPadraoStateChange(Sender);
    if (boEventos) {
        HabilitaBotoes();
        EnabledBotoes();
        return;
    }
    // A move command is inserting: the standard screen has just offered its
    // own commands for the row, which this screen never offers.
    for (TSpeedButton* button : {sbtIncluir, sbtExcluir, sbtAlterar, sbtConfirmar, sbtCancelar}) {
        button->SetEnabled(false);
        MirrorOf(button)->SetEnabled(false);
    }
}

void TfrmServCliente::dbgPadraoEnter(TObject* /*Sender*/)
{
    HabilitaBotoes();
    if (!EmptyString(lsbPossiveis->ItemsText())) {
        lsbPossiveis->SetSelected(lsbPossiveis->ItemIndex(), false);
    }
}

void TfrmServCliente::dbgPadraoExit(TObject* /*Sender*/)
{
    if (dtsPadrao->State() == TDataSetState::dsEdit || dtsPadrao->State() == TDataSetState::dsInsert) {
        TfrmPadraoSimples::sbtConfirmarClick(sbtConfirmar);
    }
    if (lsbPossiveis->Focused()) {
        sbtProcurar->SetEnabled(!dtsServico->DataSet()->IsEmpty());
    }
    TDBGridOptions options = dbgPadrao->Options();
    options.erase(TDBGridOption::dgAlwaysShowSelection);
    dbgPadrao->SetOptions(options);
}

void TfrmServCliente::dbgPadraoKeyPress(TObject* /*Sender*/, char& Key)
{
    TField* selected = dbgPadrao->SelectedField();
    if ((selected != nullptr && selected->Tag() == 99) || Key == ' ') {
        Key = 0;
        return;
    }
    if (Key == '\t' || Key == '\b') {
        return;
    }
    if (dtsPadrao->State() == TDataSetState::dsBrowse) {
        dtsPadrao->DataSet()->Edit();
    }
}

void TfrmServCliente::dbgPadraoCellClick(TColumn* /*Column*/)
{
    HabilitaBotoes();
}

void TfrmServCliente::lsbPossiveisClick(TObject* /*Sender*/)
{
    HabilitaBotoes();
}

void TfrmServCliente::sbtProcurarClick(TObject* Sender)
{
    if (ActiveControl() == lsbPossiveis) {
        procurado_.clear();
        Procura(cdsServico);
        return;
    }
    TDBGridOptions options = dbgPadrao->Options();
    options.insert(TDBGridOption::dgAlwaysShowSelection);
    dbgPadrao->SetOptions(options);
    TfrmPadraoSimples::sbtProcurarClick(Sender);
}

void TfrmServCliente::qryServiAfterScroll(TDataSet* /*DataSet*/)
{
    if (Application().ActiveForm() != frmProcurar) {
        return;
    }
    lsbPossiveis->SetSelected(lsbPossiveis->ItemIndex(), false);
    // A search that moves as the operator types finds several services on
    // its way: only the last one found stays selected.
    if (!procurado_.empty()) {
        lsbPossiveis->SetSelected(lsbPossiveis->IndexOf(procurado_), false);
    }
    std::string line = ServiceLine::Build(cdsServico->FieldByName("CDSERVFILI")->AsString(),
                                          cdsServico->FieldByName("NMSERVICO")->AsString());
    lsbPossiveis->SetSelected(lsbPossiveis->IndexOf(line), true);
    procurado_ = line;
}
