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
#include "platform/controls/TMenuItem.h"
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
        t.Add("netSevClienteUpdate", &F::netSevClienteUpdate, owner);
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
        t.Add("mniDesfazerClick", &F::mniDesfazerClick, owner);
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
    BindField(mniDesfazer, "mniDesfazer");
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
    // Changes still waiting go before the connection closes. When they
    // cannot, the operator chooses: send them again, discard them (the
    // question names them) or stay on the screen.
    while (cdsServClie->Active() && cdsServClie->GetChangeCount() >= 1) {
        try {
            Envia();
        } catch (const EAbort&) {
            // A refusal, told already; what was not refused was stored.
            break;
        } catch (const Exception& e) {
            const int escolha = Pergunta(
                msgPadrao->Msg("fechar_pendentes") + "\n" + ServicosPendentes() + e.what() + "\n" +
                    msgPadrao->Msg("fechar_pergunta"),
                {msgPadrao->Msg("fechar_enviar"), msgPadrao->Msg("fechar_descartar"), msgPadrao->Msg("fechar_ficar")},
                2);
            if (escolha == 0) {
                continue;
            }
            if (escolha == 2) {
                Action = TCloseAction::caNone;
                return;
            }
            cdsServClie->CancelUpdates();
        }
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

std::string TfrmServCliente::ClienteValidado() const
{
    if (!cdsCliente->Active() || cdsCliente->IsEmpty()) {
        return {};
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
