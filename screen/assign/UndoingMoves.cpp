// Undoing the last move command that stored something: the opposite changes
// go through the same path as the moves' own (one posted insert or one
// deletion a service, each sent by the after-post and after-delete
// handlers) under the same progress window, which offers a Cancel. A
// move-all-back, which the server did in one call, is undone by inserting
// every service it took.
//
// Before anything is sent, the client's services are read from the server:
// when another operator changed any of the move's services since (the server
// no longer holds them as the move left them, or their change reached this
// screen live), nothing is undone and the operator is told which.
#include "host/ProgressShown.h"
#include "host/ShellRoutines.h"
#include "host/TMessages.h"
#include "host/TNetConnection.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/controls/TMenuItem.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/core/ScopeFailure.h"
#include "platform/data/ControlsSuspended.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "screen/Cli_Zel31500.h"
#include "screen/TfrmServCliente.h"
#include "screen/assign/ServiceLine.h"

#include <set>
#include <string>

bool TfrmServCliente::PodeDesfazer() const
{
    return dtsPadrao->Enabled() && cdsServClie->State() == TDataSetState::dsBrowse &&
           ultimoMovimento_.De(CodigoFilial(), ClienteValidado());
}

void TfrmServCliente::IncluiServico(const std::string& codigo, const std::string& nome)
{
    boEventos = false;
    cdsServClie->Insert();
    cdsServClie->FieldByName("CDFILIAL")->SetAsString(medCdFilial->Text());
    cdsServClie->FieldByName("CDCLIENTE")->SetAsString(CodigoCliente());
    cdsServClie->FieldByName("CDSERVFILI")->SetAsString(codigo);
    cdsServClie->FieldByName("NMSERVICO")->SetAsString(nome);
    cdsServClie->Post();
    boEventos = true;
}

void TfrmServCliente::mniDesfazerClick(TObject* /*Sender*/)
{
    if (!PodeDesfazer()) {
        return;
    }
    // An undo that fails once it sends leaves nothing more to undo: a change
    // it left waiting would make the rest look changed by someone else.
    bool enviando = false;
    ScopeFailure recovery([this, &enviando] {
        if (enviando) {
            ultimoMovimento_.Limpa();
        }
        RestauraAposErro();
    });
    // Other operators' changes waiting in the connection count as seen.
    netSevClienteUpdate(netSevCliente);
    ControlsSuspended servClie(cdsServClie);
    Recarrega(cdsServClie, "GetServClie");
    std::set<std::string> noServidor;
    const int campo = cdsServClie->FieldByName("CDSERVFILI")->Index();
    for (int row = 0; row < cdsServClie->RecordCount(); ++row) {
        noServidor.insert(cdsServClie->RowValue(row, campo).value_or(""));
    }
    const auto conflitos = ultimoMovimento_.Conflitos(noServidor);
    if (!conflitos.empty()) {
        ultimoMovimento_.Limpa();
        servClie.Resume();
        // Both views show what the other operators did.
        sbtVerificarClick(sbtVerificar);
        std::string linhas;
        for (const auto& [codigo, nome] : conflitos) {
            linhas += "\n" + ServiceLine::Build(codigo, nome);
        }
        MensErro(msgPadrao->Msg("desfazer_recusado") + linhas, true);
    }
    const bool retirar = ultimoMovimento_.ParaCliente();
    const int total = static_cast<int>(ultimoMovimento_.Servicos().size());
    int feitos = 0;
    ProgressShown progress(frmServCliente, 6, msgPadrao->Msg("desfazer_progresso"));
    progress.OfferCancel();
    enviando = true;
    if (retirar) {
        // From the last row, so that a deletion moves no row still to visit.
        for (int row = cdsServClie->RecordCount() - 1; row >= 0; --row) {
            const std::string codigo = cdsServClie->RowValue(row, campo).value_or("");
            const auto servico = ultimoMovimento_.Servicos().find(codigo);
            if (servico == ultimoMovimento_.Servicos().end()) {
                continue;
            }
            progress.Count(feitos + 1, total);
            if (progress.Cancelled()) {
                break;
            }
            cdsServClie->SetRecNo(row);
            stnmservico = servico->second;
            cdsServClie->Delete();
            ultimoMovimento_.Desfeito(codigo);
            feitos += 1;
        }
    } else {
        const auto servicos = ultimoMovimento_.Servicos();
        for (const auto& [codigo, nome] : servicos) {
            progress.Count(feitos + 1, total);
            if (progress.Cancelled()) {
                break;
            }
            IncluiServico(codigo, nome);
            ultimoMovimento_.Desfeito(codigo);
            feitos += 1;
        }
    }
    progress.Close();
    servClie.Resume();
    sbtVerificarClick(sbtVerificar);
    if (feitos < total) {
        const char* linha = retirar ? "interrompido_retirados" : "interrompido_incluidos";
        MostraAviso(msgPadrao->Msg(linha, {std::to_string(feitos), std::to_string(total)}));
    }
}
