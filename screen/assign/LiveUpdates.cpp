// What other operators store of the branch and client on screen reaches it
// while it is shown: a service another operator assigned leaves the list and
// appears in the grid, one taken back the reverse. The operator's selection,
// current row and waiting changes stay; nothing the operator is doing is
// interrupted: while a command runs or a grid row is edited the updates wait,
// and are applied with the first delivery after it ends.
#include "host/ShellRoutines.h"
#include "host/TMessages.h"
#include "host/TNetConnection.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/core/Exception.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "screen/TfrmServCliente.h"
#include "screen/assign/ServiceLine.h"

#include <algorithm>
#include <map>
#include <utility>

void TfrmServCliente::netSevClienteUpdate(TObject* /*Sender*/)
{
    // Left in the connection, the updates are offered again with the next
    // delivery: once the command, the edit or the message has ended, and a
    // reading of everything once no change of the operator's waits.
    if (!boEventos || ShowAviActive() || !dtsPadrao->Enabled() || !cdsServClie->Active() ||
        cdsServClie->State() != TDataSetState::dsBrowse ||
        (cdsServClie->GetChangeCount() > 0 && netSevCliente->HoldsReload())) {
        return;
    }
    atualizacoes_ = netSevCliente->TakeUpdates();
    AplicaAtualizacoes();
}

void TfrmServCliente::AplicaAtualizacoes()
{
    const std::string filial = CodigoFilial();
    const std::string cliente = ClienteValidado();
    const int campo = cdsServClie->FieldByName("CDSERVFILI")->Index();
    auto linhaDa = [&](const std::string& codigo) {
        for (int row = 0; row < cdsServClie->RecordCount(); ++row) {
            if (cdsServClie->RowValue(row, campo).value_or("") == codigo) {
                return row;
            }
        }
        return -1;
    };
    // The names of the services the updates of this client name, looked up
    // once.
    std::map<std::string, std::string> nomes;
    for (const Protocol::Update& update : atualizacoes_) {
        if (update.branch == filial && update.client == cliente) {
            for (const auto& change : update.changes) {
                nomes.emplace(change.second, std::string());
            }
        }
    }
    NomesDosServicos(nomes);
    bool releitura = false;
    std::string quem;
    std::string linhas;
    for (const Protocol::Update& update : std::exchange(atualizacoes_, {})) {
        // A service another operator changed is theirs: the last move no
        // longer undoes it.
        for (const auto& [status, codigo] : update.changes) {
            ultimoMovimento_.AlteradoPorOutro(update.branch, update.client, codigo);
        }
        if (!update.Reload() && (update.branch != filial || update.client != cliente)) {
            continue;
        }
        if (update.Reload() || update.changes.empty()) {
            releitura = true;
            continue;
        }
        quem = update.who;
        for (const auto& [status, codigo] : update.changes) {
            const auto servico = nomes.find(codigo);
            if (servico == nomes.end() || servico->second.empty()) {
                // A service the screen never saw: the views are read again.
                releitura = true;
                continue;
            }
            const int row = linhaDa(codigo);
            if (status == TUpdateStatus::usInserted && row < 0) {
                std::vector<FieldValue> values(static_cast<size_t>(cdsServClie->FieldCount()));
                values[static_cast<size_t>(cdsServClie->FieldByName("CDFILIAL")->Index())] = filial;
                values[static_cast<size_t>(cdsServClie->FieldByName("CDCLIENTE")->Index())] = cliente;
                values[static_cast<size_t>(campo)] = codigo;
                values[static_cast<size_t>(cdsServClie->FieldByName("NMSERVICO")->Index())] = servico->second;
                cdsServClie->InsertStored(values);
            } else if (status == TUpdateStatus::usDeleted && row >= 0) {
                // A row with a change of this operator's waiting keeps it.
                cdsServClie->DeleteStored(row);
                // Offered again, as the server's list would now.
                if (cdsServico->Active()) {
                    std::vector<FieldValue> offered(static_cast<size_t>(cdsServico->FieldCount()));
                    offered[static_cast<size_t>(cdsServico->FieldByName("CDSERVFILI")->Index())] = codigo;
                    offered[static_cast<size_t>(cdsServico->FieldByName("CDFILIAL")->Index())] = filial;
                    offered[static_cast<size_t>(cdsServico->FieldByName("NMSERVICO")->Index())] = servico->second;
                    cdsServico->InsertStored(offered);
                }
            }
            linhas += ServiceLine::Build(codigo, servico->second) + " (" +
                      msgPadrao->Msg(status == TUpdateStatus::usInserted ? "alt_inclusao" : "alt_exclusao") + ")\n";
        }
    }
    if (releitura && cdsServClie->GetChangeCount() < 1) {
        RelerMantendoSelecao();
    } else if (releitura) {
        // Reading again would drop the waiting changes: it waits for them.
        netSevCliente->KeepUpdate(Protocol::Update{});
    }
    MostraPendentes();
    EnabledBotoes();
    if (!linhas.empty()) {
        linhas.pop_back();
        MostraAviso(msgPadrao->Msg("atualizado_por", {quem}) + "\n" + linhas);
    }
}

void TfrmServCliente::RelerMantendoSelecao()
{
    std::vector<std::string> selecionados;
    for (int i : lsbPossiveis->SelectedIndexes()) {
        selecionados.push_back(ServiceLine::Code(lsbPossiveis->Item(i)));
    }
    const std::string corrente =
        lsbPossiveis->ItemIndex() >= 0 ? ServiceLine::Code(lsbPossiveis->Item(lsbPossiveis->ItemIndex())) : "";
    const std::string linha = !cdsServClie->IsEmpty() ? cdsServClie->FieldByName("CDSERVFILI")->AsString() : "";
    const std::vector<std::string> itens = lsbPossiveis->Items();
    try {
        MontaLista();
    } catch (const Exception&) {
        // Unread now, it is read by the operator's next command, which says
        // what went wrong; the list is shown as it was.
        lsbPossiveis->SetItems(itens);
        MostraPendentes();
    }
    for (int i = 0; i < lsbPossiveis->Count(); ++i) {
        const std::string codigo = ServiceLine::Code(lsbPossiveis->Item(i));
        if (codigo == corrente) {
            lsbPossiveis->SetItemIndex(i);
        }
        if (std::find(selecionados.begin(), selecionados.end(), codigo) != selecionados.end()) {
            lsbPossiveis->SetSelected(i, true);
        }
    }
    const int campo = cdsServClie->FieldByName("CDSERVFILI")->Index();
    for (int row = 0; row < cdsServClie->RecordCount(); ++row) {
        if (!linha.empty() && cdsServClie->RowValue(row, campo).value_or("") == linha) {
            cdsServClie->SetRecNo(row);
        }
    }
}

void TfrmServCliente::NomesDosServicos(std::map<std::string, std::string>& codigos) const
{
    for (TClientDataSet* DataSet : {cdsServico, cdsServClie}) {
        if (codigos.empty() || !DataSet->Active()) {
            continue;
        }
        const int codigo = DataSet->FieldByName("CDSERVFILI")->Index();
        const int nome = DataSet->FieldByName("NMSERVICO")->Index();
        for (int row = 0; row < DataSet->RecordCount(); ++row) {
            const auto found = codigos.find(DataSet->RowValue(row, codigo).value_or(""));
            if (found != codigos.end()) {
                found->second = DataSet->RowValue(row, nome).value_or("");
            }
        }
    }
}
