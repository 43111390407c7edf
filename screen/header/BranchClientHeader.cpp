// Branch and client selection: filling the branch from the session, checking
// what the operator types or picks, showing the names and the client's mask,
// emptying the lists when the header is entered and loading them when it is
// left, and locking the header while a grid row is edited.
#include "host/ShellRoutines.h"
#include "host/TADOIBQuery.h"
#include "host/TBtnPesquisa.h"
#include "host/TMessages.h"
#include "platform/controls/TEdit.h"
#include "platform/controls/TLabel.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/controls/TMenuItem.h"
#include "platform/controls/TPanel.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "platform/data/TParam.h"
#include "screen/Cli_Zel31500.h"
#include "screen/TfrmServCliente.h"

void TfrmServCliente::vd_filial(bool required)
{
    try {
        if (EmptyString(medCdFilial->Text())) {
            if (required) {
                MensErro(msgPadrao->Msg("filial_inf"), true);
            }
            return;
        }
        medCdFilial->SetText(Ajusta(medCdFilial->Text(), 4));
        qryFilial->Close();
        qryFilial->ParamByName("P_CDFILIAL")->SetAsString(medCdFilial->Text());
        qryFilial->Open();
        if (qryFilial->IsEmpty()) {
            MensErro(msgPadrao->Msg("Filial_nc"), true);
        }
        edtNmFilial->SetText(qryFilial->FieldByName("NMFILIAL")->AsString());
    } catch (...) {
        medCdFilial->SetFocus();
        throw;
    }
}

void TfrmServCliente::vd_cliente(bool required)
{
    try {
        if (EmptyString(medCliente->Text())) {
            if (required) {
                MensErro(msgPadrao->Msg("cliente_inf"), true);
            }
            return;
        }
        std::string inscricao = medCliente->Text();
        Ajusta_Inscricao(inscricao);
        medCliente->SetText(inscricao);
        std::string numero = medCliente->Text();
        std::string filial = medCdFilial->Text();
        Busca(cdsCliente, "GetCliente", filial, numero);
        if (cdsCliente->IsEmpty()) {
            MensErro(msgPadrao->Msg("Cliente_nc"), true);
        }
        medCliente->SetEditMask(PictPess(cdsCliente->FieldByName("IDTPIJURCLIE")->AsString()));
        edtCliente->SetText(cdsCliente->FieldByName("NMRAZSOCCLIE")->AsString());
        nomesClientes_[cdsCliente->FieldByName("CDCLIENTE")->AsString()] = edtCliente->Text();
    } catch (...) {
        medCliente->SetFocus();
        throw;
    }
}

void TfrmServCliente::medCdFilialChange(TObject* /*Sender*/)
{
    edtNmFilial->Clear();
    medCliente->Clear();
    edtCliente->Clear();
}

void TfrmServCliente::medCdFilialExit(TObject* /*Sender*/)
{
    vd_filial(false);
}

void TfrmServCliente::medClienteChange(TObject* /*Sender*/)
{
    edtCliente->Clear();
}

void TfrmServCliente::medClienteExit(TObject* /*Sender*/)
{
    if (!bopesq) {
        vd_cliente(false);
    }
}

void TfrmServCliente::panFilialEnter(TObject* /*Sender*/)
{
    HabilitaBotoes();
    dtsPadrao->SetEnabled(false);
    lsbPossiveis->Clear();
    sbtEscolhido->SetEnabled(false);
    sbtTodos->SetEnabled(false);
    sbtUmEsquerda->SetEnabled(false);
    sbtTodosEsquerda->SetEnabled(false);
    mniDesfazer->SetEnabled(false);
}

void TfrmServCliente::panFilialExit(TObject* /*Sender*/)
{
    vd_filial(true);
    vd_cliente(true);
    MontaLista();
    EnabledBotoes();
    dtsPadrao->SetEnabled(true);
}

void TfrmServCliente::EntraNoCabecalho(TMaskEdit* edit)
{
    // A lookup changes the header: while the lists are shown it would leave
    // them, and the moves, acting on the client validated before. Entering
    // the header empties them (panFilialEnter); leaving it validates the
    // branch and the client again and loads the lists for them.
    if (!panFilial->ContainsControl(ActiveControl())) {
        edit->SetFocus();
    }
}

void TfrmServCliente::btpFilialBeforePesq(TObject* /*Sender*/, bool& /*cancel*/)
{
    EntraNoCabecalho(medCdFilial);
    qryFilial->Close();
    qryFilial->ParamByName("P_CDFILIAL")->SetAsString("");
    qryFilial->Open();
}

void TfrmServCliente::btpFilialAfterPesq(TObject* /*Sender*/)
{
    medCdFilial->SetText(qryFilial->FieldByName("CDFILIAL")->AsString());
    edtNmFilial->SetText(qryFilial->FieldByName("NMFILIAL")->AsString());
}

void TfrmServCliente::btnClienteBeforePesq(TObject* /*Sender*/, bool& /*cancel*/)
{
    EntraNoCabecalho(medCliente);
    Busca(cdsCliente, "GetCliente", medCdFilial->Text(), "");
}

void TfrmServCliente::btnClienteAfterPesq(TObject* /*Sender*/)
{
    bopesq = true;
    medCliente->SetText(cdsCliente->FieldByName("NRINSJURCLIE")->AsString());
    edtCliente->SetText(cdsCliente->FieldByName("NMRAZSOCCLIE")->AsString());
}

void TfrmServCliente::FormShow(TObject* /*Sender*/)
{
    lblFilial->SetEnabled(!ModuFili());
    medCdFilial->SetEnabled(!ModuFili());
    btpFilial->SetEnabled(!ModuFili());
    medCdFilial->SetText(FiliProcFat());
    edtNmFilial->SetText(NomeFiliProcFat());
    lblCliente->SetEnabled(!ModuFili());
    medCliente->SetEnabled(!ModuFili());
    btnCliente->SetEnabled(!ModuFili());
    if (ModuloAtiv() == 15 || ModuloAtiv() == 14 || ModuloAtiv() == 16) {
        medCdFilial->SetText(FiliProcFat());
    } else {
        medCdFilial->SetText(FiliProc());
    }
}

void TfrmServCliente::FormActivate(TObject* /*Sender*/)
{
    Refresh();
    if (ModuFili()) {
        // Every header control is disabled in such a session, so the focus can
        // neither enter nor leave the header: the screen is put into the
        // header-editing state directly, through the panel's own binding.
        if (panFilial->OnEnter()) {
            panFilial->OnEnter()(panFilial);
        }
    }
}

void TfrmServCliente::dtsPadraoDataChange(TObject* /*Sender*/, TField* /*Field*/)
{
    if (!boEventos) {
        return;
    }
    if (ModuFili()) {
        return;
    }
    lblFilial->SetEnabled(dtsPadrao->State() == TDataSetState::dsBrowse);
    medCdFilial->SetEnabled(lblFilial->Enabled());
    btpFilial->SetEnabled(lblFilial->Enabled());
    lblCliente->SetEnabled(dtsPadrao->State() == TDataSetState::dsBrowse);
    medCliente->SetEnabled(lblCliente->Enabled());
    btnCliente->SetEnabled(lblCliente->Enabled());
}
