#pragma once
// The "Serviço por Cliente" screen: the branch and client header on top, the
// branch's services the client does not have on the left, the client's
// services in the grid on the right, and the four commands that move services
// between them. Every change goes to the application server at once.
//
// The class's handlers are grouped by concern:
//   TfrmServCliente.cpp          creation, closing, the two data paths
//   header/BranchClientHeader.cpp branch and client selection
//   assign/ServiceLists.cpp       the two service views
//   assign/MovingServices.cpp     the four move commands
//   assign/SavingAssignments.cpp  sending every change to the server
//   assign/CommandState.cpp       toolbar, transfer buttons, grid keys, search
#include "host/TfrmPadraoSimples.h"

#include <string>

class ERemoteRefusal;
class TADOIBQuery;
class Variant;
class TBtnPesquisa;
class TClientDataSet;
class TColumn;
class TDataSet;
class TDBGrid;
class TEdit;
class TField;
class TListBox;
class TMaskEdit;
class TNetConnection;
class TScrollBox;
class TSplitter;

class TfrmServCliente : public TfrmPadraoSimples {
public:
    DECLARE_CLASS_NAME(TfrmServCliente)
    explicit TfrmServCliente(TComponent* AOwner);

    static const HandlerTable& Handlers();
    const HandlerTable& GetHandlerTable() const override { return Handlers(); }
    void ResourcesLoaded() override;

    // Header.
    TPanel* panFilial = nullptr;
    TLabel* lblFilial = nullptr;
    TMaskEdit* medCdFilial = nullptr;
    TBtnPesquisa* btpFilial = nullptr;
    TEdit* edtNmFilial = nullptr;
    TLabel* lblCliente = nullptr;
    TMaskEdit* medCliente = nullptr;
    TBtnPesquisa* btnCliente = nullptr;
    TEdit* edtCliente = nullptr;
    // Work area.
    TPanel* panDbgPadrao = nullptr;
    TScrollBox* scbFolhaDados = nullptr;
    TPanel* panCaption = nullptr;
    TLabel* lblServ = nullptr;
    TLabel* lblServCli = nullptr;
    TPanel* panClie = nullptr;
    TScrollBox* scbClie = nullptr;
    TListBox* lsbPossiveis = nullptr;
    TSplitter* splClientes = nullptr;
    TPanel* panBotoes = nullptr;
    TSpeedButton* sbtEscolhido = nullptr;
    TSpeedButton* sbtTodos = nullptr;
    TSpeedButton* sbtUmEsquerda = nullptr;
    TSpeedButton* sbtTodosEsquerda = nullptr;
    TPanel* panClienFilial = nullptr;
    TScrollBox* scbClienFilial = nullptr;
    TPanel* panClieFili = nullptr;
    TDBGrid* dbgPadrao = nullptr;
    // Data.
    TDataSource* dtsFilial = nullptr;
    TDataSource* dtsServico = nullptr;
    TDataSource* dtsCliente = nullptr;
    TNetConnection* netSevCliente = nullptr;
    TClientDataSet* cdsServClie = nullptr;
    TClientDataSet* cdsServico = nullptr;
    TClientDataSet* cdsCliente = nullptr;
    TADOIBQuery* qryFilial = nullptr;

    // Lifecycle.
    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void netSevClienteBeforeConnect(TObject* Sender);

    // Branch and client header.
    void vd_filial(bool required);
    void vd_cliente(bool required);
    void medCdFilialChange(TObject* Sender);
    void medCdFilialExit(TObject* Sender);
    void medClienteChange(TObject* Sender);
    void medClienteExit(TObject* Sender);
    void panFilialEnter(TObject* Sender);
    void panFilialExit(TObject* Sender);
    void btpFilialBeforePesq(TObject* Sender, bool& cancel);
    void btpFilialAfterPesq(TObject* Sender);
    void btnClienteBeforePesq(TObject* Sender, bool& cancel);
    void btnClienteAfterPesq(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormActivate(TObject* Sender);
    void dtsPadraoDataChange(TObject* Sender, TField* Field);

    // Service lists.
    void MontaLista();
    void sbtVerificarClick(TObject* Sender);

    // Moving services.
    void sbtEscolhidoClick(TObject* Sender);
    void sbtTodosClick(TObject* Sender);
    void sbtUmEsquerdaClick(TObject* Sender);
    void sbtTodosEsquerdaClick(TObject* Sender);
    void lsbPossiveisDblClick(TObject* Sender);

    // Saving assignments.
    void cdsServClieAfterPost(TDataSet* DataSet);
    void cdsServClieAfterDelete(TDataSet* DataSet);
    void cdsServClieAfterCancel(TDataSet* DataSet);
    void cdsServClieNewRecord(TDataSet* DataSet);

    // Command state and search.
    void HabilitaBotoes();
    void EnabledBotoes();
    void dtsPadraoStateChange(TObject* Sender);
    void dbgPadraoEnter(TObject* Sender);
    void dbgPadraoExit(TObject* Sender);
    void dbgPadraoKeyPress(TObject* Sender, char& Key);
    void dbgPadraoCellClick(TColumn* Column);
    void lsbPossiveisClick(TObject* Sender);
    void sbtProcurarClick(TObject* Sender);
    void qryServiAfterScroll(TDataSet* DataSet);

    bool Eventos() const { return boEventos; }

private:
    // The two data paths every call site uses.
    // Calls method with the branch code and the client code read now, and
    // loads the answer whole into DataSet.
    void Recarrega(TClientDataSet* DataSet, const std::string& method);
    // Calls method with two texts and loads the answer into DataSet.
    void Busca(TClientDataSet* DataSet, const std::string& method, const std::string& branch,
               const std::string& second);
    // Sends the change log of cdsServClie (Null when empty) and merges it once
    // the call returned. A change the server refuses for good leaves the log,
    // the rest is sent again, both views are rebuilt from the server and the
    // operator is told which service was refused and why; any other failure
    // leaves the log for the next change.
    void EnviaAlteracoes();
    // Takes the refused change out of the log (every change, when the server
    // did not say which) and returns the line that tells the operator.
    std::string DescartaRecusada(const Variant& packet, const ERemoteRefusal& refusal);
    // Sends the changes still in the log before the grid is loaded again, so
    // that a reload (another client, another branch, a rebuild) never drops
    // them unseen. Changes that cannot be sent even now are undone, and the
    // operator is told once which services were not stored.
    void EnviaPendentes();
    // The services of the log's entries, one ServiceLine a line, each with
    // what was not done to it.
    std::string ServicosPendentes() const;
    // Takes out of the list every service the grid holds, stored or waiting
    // to be sent, so that no service is offered and the client's at once.
    void RetiraDaListaOsDoCliente();
    // Undoes every change not yet sent (CancelUpdates) and offers again, in
    // code order, the services whose unsent insert it undid.
    void DesfazPendentes();
    // The branch code (text of medCdFilial) and the validated client's code.
    std::string CodigoFilial() const;
    std::string CodigoCliente() const;
    // Gives the focus to edit unless it is already inside the header.
    void EntraNoCabecalho(TMaskEdit* edit);
    // Brings the screen back to a usable state after a move command failed.
    void RestauraAposErro();

    bool boEventos = false;
};
