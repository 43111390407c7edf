// The changes of the client's services that have not reached the server yet:
// how the change log is sent, settled with the server when an answer was
// lost, kept while the server cannot be reached, shown in the two views and
// named to the operator.
//
// A change is undone only when the operator cancels it or the server refused
// it for good. A change whose answer was lost is in doubt: before it is sent
// again or undone, the server's assignments for its branch and client are
// read back, and it is taken as stored, as done, or as still to send.
#include "host/ShellRoutines.h"
#include "host/TMessages.h"
#include "host/TNetConnection.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/core/Exception.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "platform/net/RemoteArg.h"
#include "screen/TfrmServCliente.h"
#include "screen/assign/ServiceLine.h"

#include <map>
#include <set>
#include <utility>

namespace {
std::string SemQuebraNoFim(std::string text)
{
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}
} // namespace

void TfrmServCliente::EnviaAlteracoes()
{
    try {
        Envia();
    } catch (const EAbort&) {
        throw;
    } catch (const ECallInDoubt& e) {
        MensErro(std::string(e.what()) + "\n" + msgPadrao->Msg("alt_duvida"), true);
    } catch (const Exception& e) {
        MensErro(std::string(e.what()) + "\n" + msgPadrao->Msg("alt_mantida"), true);
    }
}

void TfrmServCliente::EnviaPendentes()
{
    if (!cdsServClie->Active() || cdsServClie->GetChangeCount() < 1) {
        return;
    }
    try {
        Envia();
    } catch (const EAbort&) {
        // A refusal: the operator was told, and the views were rebuilt.
        throw;
    } catch (const Exception& e) {
        // Nothing is undone and the views stay as they are, so the reload
        // ends here; the changes go once the server answers.
        const std::string quantas = std::to_string(cdsServClie->GetChangeCount());
        MensErro(std::string(e.what()) + "\n" + msgPadrao->Msg("alt_mantidas", {quantas}) + "\n" +
                     SemQuebraNoFim(ServicosPendentes()),
                 true);
    }
}

void TfrmServCliente::Envia()
{
    try {
        if (AcertaComServidor() && cdsServClie->GetChangeCount() < 1) {
            // Everything in doubt had reached the server.
            return;
        }
    } catch (const ECallInDoubt& e) {
        // Only the reading back was lost: nothing new went out.
        throw ESocketError(e.what(), e.Cause());
    }
    std::string recusas;
    for (;;) {
        Variant packet;
        if (cdsServClie->GetChangeCount() >= 1) {
            packet = cdsServClie->GetDelta();
        }
        std::vector<RemoteArg> args{RemoteArg::ByRef(packet)};
        try {
            Variant answer = netSevCliente->AppServer().Call("ApCoServClie", args);
            (void)answer.AsString(); // the answer is read as text and discarded
            cdsServClie->MergeChangeLog();
            break;
        } catch (const ERemoteRefusal& e) {
            // Sent again, the refused change would be refused again and take
            // every later change down with it: it leaves the log, and the
            // others go again at once.
            recusas += DescartaRecusada(packet, e);
            if (cdsServClie->GetChangeCount() < 1) {
                break;
            }
        } catch (const ECallInDoubt&) {
            cdsServClie->MarkChangesInDoubt();
            if (!recusas.empty()) {
                MensErro(SemQuebraNoFim(recusas), false);
            }
            throw;
        } catch (const Exception&) {
            // The changes not refused stay in the log.
            if (!recusas.empty()) {
                MensErro(SemQuebraNoFim(recusas), false);
            }
            throw;
        }
    }
    if (recusas.empty()) {
        return;
    }
    // Both views show the database again, without the refused change.
    try {
        sbtVerificarClick(sbtVerificar);
    } catch (const EAbort&) {
        // Told already.
    } catch (const Exception& e) {
        recusas += e.what();
    }
    MensErro(SemQuebraNoFim(recusas), true);
}

bool TfrmServCliente::AcertaComServidor()
{
    if (!cdsServClie->Active() || cdsServClie->ChangesInDoubt() < 1) {
        return false;
    }
    const std::vector<Alteracao> alteracoes = Alteracoes();
    std::map<std::pair<std::string, std::string>, std::set<std::string>> noServidor;
    for (const Alteracao& a : alteracoes) {
        const auto chave = std::make_pair(a.filial, a.cliente);
        if (!a.emDuvida || noServidor.count(chave) != 0) {
            continue;
        }
        std::vector<RemoteArg> args{RemoteArg::Text(a.filial), RemoteArg::Text(a.cliente)};
        const Variant answer = netSevCliente->AppServer().Call("GetServClie", args);
        if (answer.GetKind() != Variant::Kind::Packet || !answer.AsPacket()) {
            throw EDatabaseError("GetServClie: the server's answer holds no data packet");
        }
        const DataPacket& servidor = *answer.AsPacket();
        const int codigo = servidor.FieldIndex("CDSERVFILI");
        if (codigo < 0) {
            throw EDatabaseError("GetServClie: the server's answer has no field CDSERVFILI");
        }
        std::set<std::string>& codigos = noServidor[chave];
        for (const PacketRow& row : servidor.rows) {
            codigos.insert(row.values[static_cast<size_t>(codigo)].value_or(""));
        }
    }
    for (int i = static_cast<int>(alteracoes.size()) - 1; i >= 0; --i) {
        const Alteracao& a = alteracoes[static_cast<size_t>(i)];
        const auto lido = noServidor.find(std::make_pair(a.filial, a.cliente));
        if (lido == noServidor.end()) {
            continue;
        }
        const bool tem = lido->second.count(a.servico) != 0;
        if ((a.status == TUpdateStatus::usInserted && tem) || (a.status == TUpdateStatus::usDeleted && !tem)) {
            cdsServClie->MergeChange(i);
        }
    }
    cdsServClie->ClearChangesInDoubt();
    MarcaPendentes();
    return true;
}

std::string TfrmServCliente::DescartaRecusada(const Variant& packet, const ERemoteRefusal& refusal)
{
    const DataPacket* delta = packet.GetKind() == Variant::Kind::Packet ? packet.AsPacket().get() : nullptr;
    const unsigned entry = refusal.Entry();
    if (delta == nullptr || entry < 1 || entry > delta->rows.size() ||
        static_cast<int>(entry) > cdsServClie->GetChangeCount()) {
        // The server could not say which change it refused: none can go.
        cdsServClie->CancelUpdates();
        return msgPadrao->Msg("alt_recusadas") + "\n" + refusal.what() + "\n";
    }
    const Alteracao recusada = Alteracoes()[entry - 1];
    cdsServClie->RevertChange(static_cast<int>(entry) - 1);
    return msgPadrao->Msg("srv_recusado") + " " + ServiceLine::Build(recusada.servico, recusada.nome) +
           DeOutroCliente(recusada) + "\n" + refusal.what() + "\n";
}

std::vector<TfrmServCliente::Alteracao> TfrmServCliente::Alteracoes() const
{
    std::vector<Alteracao> alteracoes;
    if (!cdsServClie->Active() || cdsServClie->GetChangeCount() < 1) {
        return alteracoes;
    }
    const Variant packet = cdsServClie->GetDelta();
    const DataPacket& delta = *packet.AsPacket();
    auto text = [&delta](const PacketRow& row, const char* field) {
        const int index = delta.FieldIndex(field);
        return index < 0 ? std::string() : row.values[static_cast<size_t>(index)].value_or("");
    };
    for (size_t i = 0; i < delta.rows.size(); ++i) {
        const PacketRow& row = delta.rows[i];
        alteracoes.push_back(Alteracao{row.status, text(row, "CDFILIAL"), text(row, "CDCLIENTE"),
                                       text(row, "CDSERVFILI"), text(row, "NMSERVICO"),
                                       cdsServClie->ChangeInDoubt(static_cast<int>(i))});
    }
    return alteracoes;
}

std::string TfrmServCliente::ServicosPendentes() const
{
    std::string lines;
    for (const Alteracao& a : Alteracoes()) {
        const char* what = a.status == TUpdateStatus::usInserted  ? "alt_inclusao"
                           : a.status == TUpdateStatus::usDeleted ? "alt_exclusao"
                                                                  : "alt_alteracao";
        lines += ServiceLine::Build(a.servico, a.nome) + " (" + msgPadrao->Msg(what);
        if (a.emDuvida) {
            lines += "; " + msgPadrao->Msg("alt_em_duvida");
        }
        lines += ")" + DeOutroCliente(a) + "\n";
    }
    return lines;
}

std::string TfrmServCliente::DeOutroCliente(const Alteracao& alteracao) const
{
    if (alteracao.filial == CodigoFilial() && alteracao.cliente == ClienteValidado()) {
        return {};
    }
    const auto nome = nomesClientes_.find(alteracao.cliente);
    const std::string cliente = nome != nomesClientes_.end() ? nome->second : alteracao.cliente;
    return " - " + msgPadrao->Msg("alt_cliente", {cliente, alteracao.filial});
}

void TfrmServCliente::DesfazPendentes()
{
    if (!cdsServClie->Active()) {
        return;
    }
    std::string mantidas;
    if (cdsServClie->ChangesInDoubt() >= 1) {
        try {
            AcertaComServidor();
        } catch (const Exception& e) {
            // Undone, a change the server may hold would vanish from the
            // screen: those wait to be checked, and only the others go.
            for (int i = cdsServClie->GetChangeCount() - 1; i >= 0; --i) {
                if (!cdsServClie->ChangeInDoubt(i)) {
                    cdsServClie->RevertChange(i);
                }
            }
            mantidas = msgPadrao->Msg("desfazer_duvida") + "\n" + ServicosPendentes() + e.what();
        }
    }
    if (mantidas.empty()) {
        cdsServClie->CancelUpdates();
    }
    MostraPendentes();
    if (!mantidas.empty()) {
        MensErro(mantidas, false);
    }
}

void TfrmServCliente::MostraPendentes()
{
    // While the header is being edited the views are empty on purpose.
    if (!cdsServClie->Active() || !dtsPadrao->Enabled()) {
        return;
    }
    const int campo = cdsServClie->FieldByName("CDSERVFILI")->Index();
    std::set<std::string> naGrade;
    for (int row = 0; row < cdsServClie->RecordCount(); ++row) {
        naGrade.insert(cdsServClie->RowValue(row, campo).value_or(""));
    }
    // The branch's services the server does not assign (as last read, and
    // those others took back since), and those of the waiting changes.
    std::map<std::string, std::string> fora;
    if (cdsServico->Active()) {
        const int codigo = cdsServico->FieldByName("CDSERVFILI")->Index();
        const int nome = cdsServico->FieldByName("NMSERVICO")->Index();
        for (int row = 0; row < cdsServico->RecordCount(); ++row) {
            fora.emplace(cdsServico->RowValue(row, codigo).value_or(""), cdsServico->RowValue(row, nome).value_or(""));
        }
    }
    for (const Alteracao& a : Alteracoes()) {
        fora.emplace(a.servico, a.nome);
    }
    std::erase_if(fora, [&naGrade](const auto& s) { return naGrade.count(s.first) != 0; });
    // What is not a line of a service outside the grid leaves the list (a
    // service the grid holds, a bare name appended before a failure)...
    for (int i = lsbPossiveis->Count() - 1; i >= 0; --i) {
        const std::string& item = lsbPossiveis->Item(i);
        const auto servico = fora.find(ServiceLine::Code(item));
        if (servico == fora.end() || ServiceLine::Build(servico->first, servico->second) != item) {
            lsbPossiveis->Delete(i);
        }
    }
    // ...and every such service the list lacks comes in, in code order.
    for (const auto& [codigo, nome] : fora) {
        int i = 0;
        while (i < lsbPossiveis->Count() && ServiceLine::Code(lsbPossiveis->Item(i)) < codigo) {
            i += 1;
        }
        if (i < lsbPossiveis->Count() && ServiceLine::Code(lsbPossiveis->Item(i)) == codigo) {
            continue;
        }
        lsbPossiveis->Insert(i, ServiceLine::Build(codigo, nome));
    }
    MarcaPendentes();
}

void TfrmServCliente::MarcaPendentes()
{
    std::set<std::string> aRetirar;
    for (const Alteracao& a : Alteracoes()) {
        if (a.status == TUpdateStatus::usDeleted) {
            aRetirar.insert(a.servico);
        }
    }
    for (int i = 0; i < lsbPossiveis->Count(); ++i) {
        lsbPossiveis->SetItemPending(i, aRetirar.count(ServiceLine::Code(lsbPossiveis->Item(i))) != 0);
    }
}
