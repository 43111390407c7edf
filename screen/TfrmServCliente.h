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
//   assign/UndoingMoves.cpp       undoing the last move command
//   assign/SavingAssignments.cpp  sending every change to the server
//   assign/WaitingChanges.cpp     changes not yet on the server
//   assign/LiveUpdates.cpp        other operators' changes, shown live
//   assign/CommandState.cpp       toolbar, transfer buttons, grid keys, search
#include "host/TfrmPadraoSimples.h"

#include "platform/core/DataPacket.h"
#include "platform/net/Protocol.h"
#include "screen/assign/UltimoMovimento.h"

#include <map>
#include <string>
#include <vector>

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
    TMenuItem* mniDesfazer = nullptr;
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

    // Undoing the last move command.
    void mniDesfazerClick(TObject* Sender);

    // What other operators store, shown live.
    void netSevClienteUpdate(TObject* Sender);

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
    // One entry of the change log of cdsServClie, as the operator is told of it.
    struct Alteracao {
        TUpdateStatus status = TUpdateStatus::usUnmodified;
        std::string filial;
        std::string cliente;
        std::string servico;
        std::string nome;
        bool emDuvida = false;
    };

    // Sends the change log of cdsServClie after a post or a deletion (see
    // Envia). A send that fails tells the operator that the change was kept
    // and goes with the next one, or, when the answer was lost, that it may
    // not have been stored and will be checked; then raises EAbort.
    void EnviaAlteracoes();
    // Sends the changes still in the log before the grid is loaded again, so
    // that a reload (another client, another branch, a rebuild) never drops
    // them unseen. When they cannot go, nothing is undone: the operator is
    // told that the server cannot be reached and that they were kept, and
    // EAbort ends the reload with the views as they were.
    void EnviaPendentes();
    // Settles the changes in doubt with the server, then sends the change log
    // (Null when empty) and merges it once the call returned. A change the
    // server refuses for good leaves the log, the rest is sent again, both
    // views are rebuilt from the server and the operator is told which
    // service was refused and why (EAbort). Any other failure raises and
    // leaves the log; a call whose answer was lost (ECallInDoubt) marks
    // every change it carried as in doubt.
    void Envia();
    // When the log holds changes in doubt, reads the server's assignments of
    // their branch and client and settles every change of those against
    // them: an insert the server holds and a deletion of what it does not
    // hold are done (merged); the rest is still to send. Returns whether it
    // read the server; raises when it could not.
    bool AcertaComServidor();
    // Takes the refused change out of the log (every change, when the server
    // did not say which) and returns the line that tells the operator.
    std::string DescartaRecusada(const Variant& packet, const ERemoteRefusal& refusal);
    std::vector<Alteracao> Alteracoes() const;
    // The services of the log's entries, one ServiceLine a line, each with
    // what was not done to it, whether it is in doubt, and the client and
    // branch when they are not the ones shown.
    std::string ServicosPendentes() const;
    // " - client X, branch Y" for a change made for another client or branch
    // than the one the header shows; empty otherwise.
    std::string DeOutroCliente(const Alteracao& alteracao) const;
    // The names of the services codes (the keys) that either view holds;
    // a code neither holds keeps an empty name.
    void NomesDosServicos(std::map<std::string, std::string>& codigos) const;
    // Brings the list in line with the grid and the log: every service the
    // grid does not hold is offered once, in code order, and a service
    // whose removal is waiting is marked pending; a service the grid holds,
    // stored or waiting, is not offered.
    void MostraPendentes();
    // Marks pending the list's services whose removal is waiting.
    void MarcaPendentes();
    // Applies the updates waiting, unless a command runs or a grid row is
    // edited (they then wait for the next delivery).
    void AplicaAtualizacoes();
    // Reads both views again, the list's selection and the grid's current
    // row kept by service.
    void RelerMantendoSelecao();
    // Undoes the changes not yet sent (the operator cancelled). Changes in
    // doubt are settled first; when the server cannot be reached they are
    // kept, and the operator is told. The list then offers again what the
    // grid no longer holds.
    void DesfazPendentes();
    // The branch code (text of medCdFilial) and the validated client's code.
    std::string CodigoFilial() const;
    std::string CodigoCliente() const;
    // The validated client's code, empty when there is none.
    std::string ClienteValidado() const;
    // Gives the focus to edit unless it is already inside the header.
    void EntraNoCabecalho(TMaskEdit* edit);
    // Brings the screen back to a usable state after a move command failed.
    void RestauraAposErro();
    // Whether the last move command of the branch and client shown can be
    // undone now: the views are shown and no row is being edited.
    bool PodeDesfazer() const;
    // Inserts and posts a row of the client's services, which the after-post
    // handler sends.
    void IncluiServico(const std::string& codigo, const std::string& nome);

    bool boEventos = false;
    // Updates of other operators' changes not applied yet.
    std::vector<Protocol::Update> atualizacoes_;
    // The list's entry the running search selected last.
    std::string procurado_;
    // The names of the clients validated in the header, by code.
    std::map<std::string, std::string> nomesClientes_;
    // The last move command that stored something, for its undo.
    UltimoMovimento ultimoMovimento_;
};
