// The two views of the services: the list of the branch's services that the
// client does not have, rebuilt from the server, and the client's services in
// the grid.
#include "host/TNetConnection.h"
#include "platform/controls/TListBox.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "screen/TfrmServCliente.h"
#include "screen/assign/ServiceLine.h"

void TfrmServCliente::MontaLista()
{
    EnviaPendentes();
    lsbPossiveis->Clear();
    Recarrega(cdsServico, "GetServico");
    Recarrega(cdsServClie, "GetServClie");
    // The last move of another branch or client is no longer undone.
    if (!ultimoMovimento_.De(CodigoFilial(), ClienteValidado())) {
        ultimoMovimento_.Limpa();
    }
    if (cdsServico->IsEmpty()) {
        return;
    }
    cdsServico->DisableControls();
    try {
        TField* codigo = cdsServico->FieldByName("CDSERVFILI");
        TField* nome = cdsServico->FieldByName("NMSERVICO");
        cdsServico->First();
        while (!cdsServico->Eof()) {
            lsbPossiveis->Add(ServiceLine::Build(codigo->AsString(), nome->AsString()));
            cdsServico->Next();
        }
    } catch (...) {
        cdsServico->EnableControls();
        throw;
    }
    cdsServico->EnableControls();
}

void TfrmServCliente::sbtVerificarClick(TObject* /*Sender*/)
{
    MontaLista();
    EnabledBotoes();
    dtsPadrao->SetEnabled(true);
    // The rebuild may have emptied the possible services, and nothing else
    // would take the search away from an empty list.
    HabilitaBotoes();
}
