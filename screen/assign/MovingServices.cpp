// The four commands that move services between the list and the client's
// grid. Each change reaches the server through the grid data set's after-post
// and after-delete handlers; each command ends by rebuilding both views from
// the server and recomputing the commands.
//
// Whatever error ends a command, the screen is brought back to a usable state
// before the error goes on to the operator: the data sets' controls that the
// command suspended are resumed, a progress window it opened is closed, a row
// left half inserted is dropped, boEventos is true again and the commands are
// recomputed.
#include "host/ShellRoutines.h"
#include "host/TMessages.h"
#include "host/TNetConnection.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TField.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/net/RemoteArg.h"
#include "screen/Cli_Zel31500.h"
#include "screen/TfrmServCliente.h"
#include "screen/assign/ServiceLine.h"

void TfrmServCliente::RestauraAposErro(int servClieSuspensions, int servicoSuspensions, bool progressOpened)
{
    boEventos = true;
    if (cdsServClie->State() == TDataSetState::dsInsert || cdsServClie->State() == TDataSetState::dsEdit) {
        try {
            cdsServClie->Cancel();
        } catch (...) {
            // The original error is the one the operator must see.
        }
    }
    for (int i = 0; i < servClieSuspensions; ++i) {
        cdsServClie->EnableControls();
    }
    for (int i = 0; i < servicoSuspensions; ++i) {
        cdsServico->EnableControls();
    }
    if (progressOpened) {
        DeactiveShowAvi();
    }
    // The post that failed ran its state change while boEventos was false, so
    // only the standard toolbar reacted and left insert, change and delete
    // enabled; and the transfer buttons no longer match the list and the
    // grid. Both are set again from the focus and the data.
    try {
        HabilitaBotoes();
        EnabledBotoes();
    } catch (...) {
        // The original error is the one the operator must see.
    }
}

void TfrmServCliente::sbtEscolhidoClick(TObject* /*Sender*/)
{
    int suspended = 0;
    try {
        cdsServClie->DisableControls();
        ++suspended;
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
            lsbPossiveis->Delete(i);
            Recarrega(cdsServico, "GetServico");
            lsbPossiveis->Repaint();
        }
        cdsServClie->EnableControls();
        --suspended;
        Recarrega(cdsServClie, "GetServClie");
        HabilitaBotoes();
        EnabledBotoes();
        sbtVerificarClick(sbtVerificar);
    } catch (...) {
        RestauraAposErro(suspended, 0, false);
        throw;
    }
}

void TfrmServCliente::sbtTodosClick(TObject* /*Sender*/)
{
    int servicoSuspended = 0;
    int servClieSuspended = 0;
    bool progress = false;
    try {
        cdsServico->DisableControls();
        ++servicoSuspended;
        cdsServClie->DisableControls();
        ++servClieSuspended;
        ActiveShowAvi(frmServCliente, 6, msgPadrao->Msg("upd_cdsServClie"));
        progress = true;
        for (int i = 0; i <= lsbPossiveis->Count() - 1; i += 1) {
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
        }
        DeactiveShowAvi();
        progress = false;
        cdsServClie->EnableControls();
        --servClieSuspended;
        lsbPossiveis->Clear();
        HabilitaBotoes();
        EnabledBotoes();
        cdsServico->EnableControls();
        --servicoSuspended;
        sbtVerificarClick(sbtVerificar);
    } catch (...) {
        RestauraAposErro(servClieSuspended, servicoSuspended, progress);
        throw;
    }
}

void TfrmServCliente::sbtUmEsquerdaClick(TObject* /*Sender*/)
{
    int suspended = 0;
    try {
        boDelTodos = false;
        stnmservico = cdsServClie->FieldByName("NMSERVICO")->AsString();
        cdsServClie->DisableControls();
        ++suspended;
        if (cdsServClie->State() == TDataSetState::dsBrowse) {
            frmServCliente->Refresh();
            cdsServClie->Delete();
        }
        cdsServClie->EnableControls();
        --suspended;
        MontaLista();
        HabilitaBotoes();
        EnabledBotoes();
        boEventos = true;
        sbtVerificarClick(sbtVerificar);
    } catch (...) {
        RestauraAposErro(suspended, 0, false);
        throw;
    }
}

void TfrmServCliente::sbtTodosEsquerdaClick(TObject* /*Sender*/)
{
    int suspended = 0;
    bool progress = false;
    try {
        cdsServClie->DisableControls();
        ++suspended;
        frmServCliente->Refresh();
        cdsServClie->First();
        ActiveShowAvi(frmServCliente, 6, msgPadrao->Msg("get_cdsClientesFilial"));
        progress = true;
        std::vector<RemoteArg> args{RemoteArg::Text(CodigoFilial()), RemoteArg::Text(CodigoCliente())};
        Variant answer = netSevCliente->AppServer().Call("DelTodos", args);
        CheckResultServ(answer, true, 0);
        DeactiveShowAvi();
        progress = false;
        cdsServClie->EnableControls();
        --suspended;
        MontaLista();
        HabilitaBotoes();
        EnabledBotoes();
        lsbPossiveisClick(lsbPossiveis);
        boDelTodos = false;
        sbtVerificarClick(sbtVerificar);
    } catch (...) {
        RestauraAposErro(suspended, 0, progress);
        throw;
    }
}

void TfrmServCliente::lsbPossiveisDblClick(TObject* /*Sender*/)
{
    // The button's own binding runs, enabled or not.
    if (sbtEscolhido->OnClick()) {
        sbtEscolhido->OnClick()(sbtEscolhido);
    }
}
