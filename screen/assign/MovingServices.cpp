// The four commands that move services between the list and the client's
// grid. Each change reaches the server through the grid data set's after-post
// and after-delete handlers; each command ends by rebuilding both views from
// the server and recomputing the commands.
//
// Whatever error ends a command, the screen is brought back to a usable state
// before the error goes on to the operator: the guards resume the data sets'
// controls that the command suspended and close a progress window it opened,
// and RestauraAposErro drops a row left half inserted, sets boEventos again,
// brings the list in line with the grid (a row whose call failed stays in the
// grid, waiting to go with the next change, and a service whose removal
// failed comes back to the list marked pending) and recomputes the commands.
//
// Each command remembers the services it stored, as they went, for its undo
// (UndoingMoves.cpp). Move-all offers the operator a Cancel: it stops before
// its next service, what was stored stays and the rest stays offered.
#include "host/ProgressShown.h"
#include "host/ShellRoutines.h"
#include "host/TMessages.h"
#include "host/TNetConnection.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/core/ScopeFailure.h"
#include "platform/data/ControlsSuspended.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TField.h"
#include "platform/net/RemoteArg.h"
#include "screen/Cli_Zel31500.h"
#include "screen/TfrmServCliente.h"
#include "screen/assign/ServiceLine.h"

#include <map>
#include <string>

void TfrmServCliente::RestauraAposErro()
{
    boEventos = true;
    if (cdsServClie->State() == TDataSetState::dsInsert || cdsServClie->State() == TDataSetState::dsEdit) {
        try {
            cdsServClie->Cancel();
        } catch (...) {
            // The commands are recomputed all the same.
        }
    }
    MostraPendentes();
    // The post that failed ran its state change while boEventos was false, so
    // only the standard toolbar reacted and left insert, change and delete
    // enabled; and the transfer buttons no longer match the list and the
    // grid. Both are set again from the focus and the data.
    HabilitaBotoes();
    EnabledBotoes();
}

void TfrmServCliente::sbtEscolhidoClick(TObject* /*Sender*/)
{
    ScopeFailure recovery([this] { RestauraAposErro(); });
    ControlsSuspended servClie(cdsServClie);
    ultimoMovimento_.Inicia(CodigoFilial(), ClienteValidado(), true);
    int i = 0;
    while (i <= lsbPossiveis->Count() - 1) {
        if (!lsbPossiveis->Selected(i)) {
            i += 1;
            continue;
        }
        boEventos = false;
        cdsServClie->Insert();
        std::string entry = lsbPossiveis->Item(i);
        cdsServClie->FieldByName("CDFILIAL")->SetAsString(medCdFilial->Text());
        cdsServClie->FieldByName("CDCLIENTE")->SetAsString(CodigoCliente());
        cdsServClie->FieldByName("CDSERVFILI")->SetAsString(ServiceLine::Code(entry));
        cdsServClie->FieldByName("NMSERVICO")->SetAsString(ServiceLine::Name(entry));
        cdsServClie->Post();
        boEventos = true;
        ultimoMovimento_.Registra(ServiceLine::Code(entry), ServiceLine::Name(entry));
        lsbPossiveis->Delete(i);
        Recarrega(cdsServico, "GetServico");
        lsbPossiveis->Repaint();
    }
    servClie.Resume();
    Recarrega(cdsServClie, "GetServClie");
    HabilitaBotoes();
    EnabledBotoes();
    sbtVerificarClick(sbtVerificar);
}

void TfrmServCliente::sbtTodosClick(TObject* /*Sender*/)
{
    ScopeFailure recovery([this] { RestauraAposErro(); });
    ControlsSuspended servico(cdsServico);
    ControlsSuspended servClie(cdsServClie);
    ProgressShown progress(frmServCliente, 6, msgPadrao->Msg("upd_cdsServClie"));
    progress.OfferCancel();
    ultimoMovimento_.Inicia(CodigoFilial(), ClienteValidado(), true);
    int i = 0;
    for (; i <= lsbPossiveis->Count() - 1; i += 1) {
        progress.Count(i + 1, lsbPossiveis->Count());
        // Asked once the window has taken the operator's input: a Cancel
        // pressed while the last service was on its way stops here.
        if (progress.Cancelled()) {
            break;
        }
        boEventos = false;
        cdsServClie->Insert();
        std::string entry = lsbPossiveis->Item(i);
        stServFili = ServiceLine::Code(entry);
        cdsServClie->FieldByName("CDFILIAL")->SetAsString(medCdFilial->Text());
        cdsServClie->FieldByName("CDCLIENTE")->SetAsString(CodigoCliente());
        cdsServClie->FieldByName("CDSERVFILI")->SetAsString(stServFili);
        cdsServClie->FieldByName("NMSERVICO")->SetAsString(ServiceLine::Name(entry));
        cdsServClie->Post();
        boEventos = true;
        ultimoMovimento_.Registra(stServFili, ServiceLine::Name(entry));
    }
    const int oferecidos = lsbPossiveis->Count();
    progress.Close();
    servClie.Resume();
    lsbPossiveis->Clear();
    HabilitaBotoes();
    EnabledBotoes();
    servico.Resume();
    // The rebuild offers again what was not moved.
    sbtVerificarClick(sbtVerificar);
    if (i < oferecidos) {
        MostraAviso(msgPadrao->Msg("interrompido_incluidos", {std::to_string(i), std::to_string(oferecidos)}));
    }
}

void TfrmServCliente::sbtUmEsquerdaClick(TObject* /*Sender*/)
{
    ScopeFailure recovery([this] { RestauraAposErro(); });
    boDelTodos = false;
    stnmservico = cdsServClie->FieldByName("NMSERVICO")->AsString();
    ControlsSuspended servClie(cdsServClie);
    if (cdsServClie->State() == TDataSetState::dsBrowse) {
        frmServCliente->Refresh();
        const std::string codigo = cdsServClie->FieldByName("CDSERVFILI")->AsString();
        ultimoMovimento_.Inicia(CodigoFilial(), ClienteValidado(), false);
        cdsServClie->Delete();
        ultimoMovimento_.Registra(codigo, stnmservico);
    }
    servClie.Resume();
    MontaLista();
    HabilitaBotoes();
    EnabledBotoes();
    boEventos = true;
    sbtVerificarClick(sbtVerificar);
}

void TfrmServCliente::sbtTodosEsquerdaClick(TObject* /*Sender*/)
{
    ScopeFailure recovery([this] { RestauraAposErro(); });
    ControlsSuspended servClie(cdsServClie);
    frmServCliente->Refresh();
    cdsServClie->First();
    // What its undo brings back: the services the grid shows as stored (a
    // row whose insert has not reached the server was never stored).
    std::map<std::string, std::string> retirados;
    const int codigo = cdsServClie->FieldByName("CDSERVFILI")->Index();
    const int nome = cdsServClie->FieldByName("NMSERVICO")->Index();
    for (int row = 0; row < cdsServClie->RecordCount(); ++row) {
        if (cdsServClie->RowUpdateStatus(row) != TUpdateStatus::usInserted) {
            retirados[cdsServClie->RowValue(row, codigo).value_or("")] = cdsServClie->RowValue(row, nome).value_or("");
        }
    }
    ProgressShown progress(frmServCliente, 6, msgPadrao->Msg("get_cdsClientesFilial"));
    std::vector<RemoteArg> args{RemoteArg::Text(CodigoFilial()), RemoteArg::Text(CodigoCliente())};
    ultimoMovimento_.Inicia(CodigoFilial(), ClienteValidado(), false);
    Variant answer = netSevCliente->AppServer().Call("DelTodos", args);
    CheckResultServ(answer, true, 0);
    for (const auto& [servico, nomeServico] : retirados) {
        ultimoMovimento_.Registra(servico, nomeServico);
    }
    // Changes still waiting in the log are moot once the server removed every
    // service: sent after this, an unsent insert would bring one back.
    cdsServClie->CancelUpdates();
    progress.Close();
    servClie.Resume();
    MontaLista();
    HabilitaBotoes();
    EnabledBotoes();
    lsbPossiveisClick(lsbPossiveis);
    boDelTodos = false;
    sbtVerificarClick(sbtVerificar);
}

void TfrmServCliente::lsbPossiveisDblClick(TObject* /*Sender*/)
{
    // The button's own binding runs, enabled or not.
    if (sbtEscolhido->OnClick()) {
        sbtEscolhido->OnClick()(sbtEscolhido);
    }
}
