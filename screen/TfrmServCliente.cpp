#include "screen/TfrmServCliente.h"

#include "host/ShellRoutines.h"
#include "host/TADOIBQuery.h"
#include "host/TBtnPesquisa.h"
#include "host/TMessages.h"
#include "host/TNetConnection.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TEdit.h"
#include "platform/controls/TLabel.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/controls/TPanel.h"
#include "platform/controls/TScrollBox.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/controls/TSplitter.h"
#include "platform/core/Exception.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "platform/forms/HandlerTable.h"
#include "platform/model/ClassRegistration.h"
#include "platform/net/RemoteArg.h"
#include "platform/net/ServClienteContract.h"
#include "screen/Cli_Zel31500.h"
#include "screen/assign/ServiceLine.h"

#include <set>

namespace {
const ClassRegistration<TfrmServCliente> screenClass("TfrmServCliente", "TfrmPadraoSimples");

// A data set's persistent fields must be the fields the server sends it, of
// the sizes it declares: a form out of step fails when it is read, not when a
// text is cut or a field found missing in front of the operator.
void CheckAgainstServer(const TClientDataSet* DataSet, const char* dataSetName)
{
    std::vector<std::pair<std::string, int>> fields;
    for (const TField* f : DataSet->Fields()) {
        fields.emplace_back(f->FieldName(), f->Size());
    }
    ServClienteContract::Get().CheckFields(dataSetName, fields, DataSet->Name());
}
} // namespace

TfrmServCliente::TfrmServCliente(TComponent* AOwner) : TfrmPadraoSimples(AOwner) {}

const HandlerTable& TfrmServCliente::Handlers()
{
    static const HandlerTable table(&TfrmPadraoSimples::Handlers(), [](HandlerTable& t) {
        using F = TfrmServCliente;
        const std::string owner = "TfrmServCliente";
        t.Add("FormCreate", &F::FormCreate, owner);
        t.Add("FormClose", &F::FormClose, owner);
        t.Add("netSevClienteBeforeConnect", &F::netSevClienteBeforeConnect, owner);
        t.Add("medCdFilialChange", &F::medCdFilialChange, owner);
        t.Add("medCdFilialExit", &F::medCdFilialExit, owner);
        t.Add("medClienteChange", &F::medClienteChange, owner);
        t.Add("medClienteExit", &F::medClienteExit, owner);
        t.Add("panFilialEnter", &F::panFilialEnter, owner);
        t.Add("panFilialExit", &F::panFilialExit, owner);
        t.Add("btpFilialBeforePesq", &F::btpFilialBeforePesq, owner);
        t.Add("btpFilialAfterPesq", &F::btpFilialAfterPesq, owner);
        t.Add("btnClienteBeforePesq", &F::btnClienteBeforePesq, owner);
        t.Add("btnClienteAfterPesq", &F::btnClienteAfterPesq, owner);
        t.Add("FormShow", &F::FormShow, owner);
        t.Add("FormActivate", &F::FormActivate, owner);
        t.Add("dtsPadraoDataChange", &F::dtsPadraoDataChange, owner);
        t.Add("sbtVerificarClick", &F::sbtVerificarClick, owner);
        t.Add("sbtEscolhidoClick", &F::sbtEscolhidoClick, owner);
        t.Add("sbtTodosClick", &F::sbtTodosClick, owner);
        t.Add("sbtUmEsquerdaClick", &F::sbtUmEsquerdaClick, owner);
        t.Add("sbtTodosEsquerdaClick", &F::sbtTodosEsquerdaClick, owner);
        t.Add("lsbPossiveisDblClick", &F::lsbPossiveisDblClick, owner);
        t.Add("cdsServClieAfterPost", &F::cdsServClieAfterPost, owner);
        t.Add("cdsServClieAfterDelete", &F::cdsServClieAfterDelete, owner);
        t.Add("cdsServClieAfterCancel", &F::cdsServClieAfterCancel, owner);
        t.Add("cdsServClieNewRecord", &F::cdsServClieNewRecord, owner);
        t.Add("dtsPadraoStateChange", &F::dtsPadraoStateChange, owner);
        t.Add("dbgPadraoEnter", &F::dbgPadraoEnter, owner);
        t.Add("dbgPadraoExit", &F::dbgPadraoExit, owner);
        t.Add("dbgPadraoKeyPress", &F::dbgPadraoKeyPress, owner);
        t.Add("dbgPadraoCellClick", &F::dbgPadraoCellClick, owner);
        t.Add("lsbPossiveisClick", &F::lsbPossiveisClick, owner);
        t.Add("sbtProcurarClick", &F::sbtProcurarClick, owner);
        t.Add("qryServiAfterScroll", &F::qryServiAfterScroll, owner);
    });
    return table;
}

void TfrmServCliente::ResourcesLoaded()
{
    TfrmPadraoSimples::ResourcesLoaded();
    BindField(panFilial, "panFilial");
    BindField(lblFilial, "lblFilial");
    BindField(medCdFilial, "medCdFilial");
    BindField(btpFilial, "btpFilial");
    BindField(edtNmFilial, "edtNmFilial");
    BindField(lblCliente, "lblCliente");
    BindField(medCliente, "medCliente");
    BindField(btnCliente, "btnCliente");
    BindField(edtCliente, "edtCliente");
    BindField(panDbgPadrao, "panDbgPadrao");
    BindField(scbFolhaDados, "scbFolhaDados");
    BindField(panCaption, "panCaption");
    BindField(lblServ, "lblServ");
    BindField(lblServCli, "lblServCli");
    BindField(panClie, "panClie");
    BindField(scbClie, "scbClie");
    BindField(lsbPossiveis, "lsbPossiveis");
    BindField(splClientes, "splClientes");
    BindField(panBotoes, "panBotoes");
    BindField(sbtEscolhido, "sbtEscolhido");
    BindField(sbtTodos, "sbtTodos");
    BindField(sbtUmEsquerda, "sbtUmEsquerda");
    BindField(sbtTodosEsquerda, "sbtTodosEsquerda");
    BindField(panClienFilial, "panClienFilial");
    BindField(scbClienFilial, "scbClienFilial");
    BindField(panClieFili, "panClieFili");
    BindField(dbgPadrao, "dbgPadrao");
    BindField(dtsFilial, "dtsFilial");
    BindField(dtsServico, "dtsServico");
    BindField(dtsCliente, "dtsCliente");
    BindField(netSevCliente, "netSevCliente");
    BindField(cdsServClie, "cdsServClie");
    BindField(cdsServico, "cdsServico");
    BindField(cdsCliente, "cdsCliente");
    BindField(qryFilial, "qryFilial");
    CheckAgainstServer(cdsServClie, ServClienteContract::kAssigned);
    CheckAgainstServer(cdsServico, ServClienteContract::kServices);
    CheckAgainstServer(cdsCliente, ServClienteContract::kClients);
}

void TfrmServCliente::FormCreate(TObject* Sender)
{
    TfrmPadraoSimples::FormCreate(Sender);
    boEventos = true;
    netSevCliente->SetConnected(true);
}

void TfrmServCliente::FormClose(TObject* Sender, TCloseAction& Action)
{
    // Changes still waiting go before the connection closes; those that
    // cannot are named to the operator, who would otherwise never know.
    try {
        EnviaPendentes();
    } catch (const Exception&) {
        // Told already; the screen closes all the same.
    }
    TfrmPadraoSimples::FormClose(Sender, Action);
    bopesq = false;
    boidcriado = false;
    frmServCliente = nullptr;
    netSevCliente->SetConnected(false);
}

void TfrmServCliente::netSevClienteBeforeConnect(TObject* /*Sender*/)
{
    netSevCliente->SetHost(WebURL());
    netSevCliente->SetPort(WebPort());
}

std::string TfrmServCliente::CodigoFilial() const
{
    return medCdFilial->Text();
}

std::string TfrmServCliente::CodigoCliente() const
{
    // Without a validated client (a session tied to one branch never gets
    // one) the operator is told so, rather than meeting a data-set error.
    if (!cdsCliente->Active() || cdsCliente->IsEmpty()) {
        MensErro(msgPadrao->Msg("cliente_inf"), true);
    }
    return cdsCliente->FieldByName("CDCLIENTE")->AsString();
}

void TfrmServCliente::Busca(TClientDataSet* DataSet, const std::string& method, const std::string& branch,
                            const std::string& second)
{
    std::vector<RemoteArg> args{RemoteArg::Text(branch), RemoteArg::Text(second)};
    Variant answer = netSevCliente->AppServer().Call(method, args);
    DataSet->SetData(answer);
}

void TfrmServCliente::Recarrega(TClientDataSet* DataSet, const std::string& method)
{
    if (DataSet == cdsServClie) {
        EnviaPendentes();
    }
    std::string branch = CodigoFilial();
    std::string client = CodigoCliente();
    Busca(DataSet, method, branch, client);
}

void TfrmServCliente::EnviaAlteracoes()
{
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
        } catch (const Exception& e) {
            if (recusas.empty()) {
                throw;
            }
            // The changes not refused stay in the log for the next change.
            MensErro(recusas + e.what(), true);
        }
    }
    if (recusas.empty()) {
        return;
    }
    // Both views show the database again, without the refused change.
    try {
        sbtVerificarClick(sbtVerificar);
    } catch (const Exception& e) {
        recusas += e.what();
    }
    while (!recusas.empty() && recusas.back() == '\n') {
        recusas.pop_back();
    }
    MensErro(recusas, true);
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
    const PacketRow& row = delta->rows[entry - 1];
    auto text = [&](const char* field) {
        int index = delta->FieldIndex(field);
        return index < 0 ? std::string() : row.values[static_cast<size_t>(index)].value_or("");
    };
    const std::string line = ServiceLine::Build(text("CDSERVFILI"), text("NMSERVICO"));
    cdsServClie->RevertChange(static_cast<int>(entry) - 1);
    return msgPadrao->Msg("srv_recusado") + " " + line + "\n" + refusal.what() + "\n";
}

void TfrmServCliente::EnviaPendentes()
{
    if (cdsServClie->GetChangeCount() < 1) {
        return;
    }
    const std::string servicos = ServicosPendentes();
    try {
        EnviaAlteracoes();
    } catch (const EAbort&) {
        // A refusal: the operator was told, and the views were rebuilt.
        throw;
    } catch (const Exception& e) {
        // The grid is about to show the server's rows: the changes it could
        // not take are undone and named, rather than vanishing with the load.
        DesfazPendentes();
        MensErro(msgPadrao->Msg("alt_nao_gravadas") + "\n" + servicos + e.what(), false);
    }
}

std::string TfrmServCliente::ServicosPendentes() const
{
    const Variant packet = cdsServClie->GetDelta();
    const DataPacket& delta = *packet.AsPacket();
    const int code = delta.FieldIndex("CDSERVFILI");
    const int name = delta.FieldIndex("NMSERVICO");
    auto text = [](const PacketRow& row, int index) {
        return index < 0 ? std::string() : row.values[static_cast<size_t>(index)].value_or("");
    };
    std::string lines;
    for (const PacketRow& row : delta.rows) {
        const char* what = row.status == TUpdateStatus::usInserted  ? "alt_inclusao"
                           : row.status == TUpdateStatus::usDeleted ? "alt_exclusao"
                                                                    : "alt_alteracao";
        lines += ServiceLine::Build(text(row, code), text(row, name)) + " (" + msgPadrao->Msg(what) + ")\n";
    }
    return lines;
}

void TfrmServCliente::RetiraDaListaOsDoCliente()
{
    if (!cdsServClie->Active()) {
        return;
    }
    const int field = cdsServClie->FieldByName("CDSERVFILI")->Index();
    std::set<std::string> doCliente;
    for (int row = 0; row < cdsServClie->RecordCount(); ++row) {
        doCliente.insert(cdsServClie->RowValue(row, field).value_or(""));
    }
    for (int i = lsbPossiveis->Count() - 1; i >= 0; --i) {
        if (doCliente.count(ServiceLine::Code(lsbPossiveis->Item(i))) != 0) {
            lsbPossiveis->Delete(i);
        }
    }
}

void TfrmServCliente::DesfazPendentes()
{
    std::vector<std::pair<std::string, std::string>> devolvidos;
    if (cdsServClie->Active() && cdsServClie->GetChangeCount() >= 1) {
        const Variant packet = cdsServClie->GetDelta();
        const DataPacket& delta = *packet.AsPacket();
        const int code = delta.FieldIndex("CDSERVFILI");
        const int name = delta.FieldIndex("NMSERVICO");
        for (const PacketRow& row : delta.rows) {
            if (row.status == TUpdateStatus::usInserted && code >= 0 && name >= 0) {
                devolvidos.emplace_back(row.values[static_cast<size_t>(code)].value_or(""),
                                        row.values[static_cast<size_t>(name)].value_or(""));
            }
        }
    }
    cdsServClie->CancelUpdates();
    for (const auto& [codigo, nome] : devolvidos) {
        int i = 0;
        while (i < lsbPossiveis->Count() && ServiceLine::Code(lsbPossiveis->Item(i)) < codigo) {
            i += 1;
        }
        if (i < lsbPossiveis->Count() && ServiceLine::Code(lsbPossiveis->Item(i)) == codigo) {
            continue;
        }
        lsbPossiveis->Insert(i, ServiceLine::Build(codigo, nome));
    }
}
