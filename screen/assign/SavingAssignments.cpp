// Every posted insert or change and every deletion of the client's services is
// sent to the application server at once, as the whole change log; the log is
// merged only after the call returned, so a failed call leaves its change to
// go again with the next one. A cancel throws unsent changes away (those in
// doubt once settled), and the services the grid no longer holds are offered
// in the list again.
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TField.h"
#include "screen/Cli_Zel31500.h"
#include "screen/TfrmServCliente.h"

void TfrmServCliente::cdsServClieAfterPost(TDataSet* /*DataSet*/)
{
    EnviaAlteracoes();
}

void TfrmServCliente::cdsServClieAfterDelete(TDataSet* /*DataSet*/)
{
    EnviaAlteracoes();
    lsbPossiveis->Add(stnmservico);
}

void TfrmServCliente::cdsServClieAfterCancel(TDataSet* /*DataSet*/)
{
    DesfazPendentes();
    // Undoing an unsent deletion brings a row back after the state change
    // recomputed the transfer buttons for the grid without it.
    if (boEventos) {
        EnabledBotoes();
    }
}

void TfrmServCliente::cdsServClieNewRecord(TDataSet* /*DataSet*/)
{
    if (dynamic_cast<TDBGrid*>(ActiveControl()) != nullptr && boEventos) {
        cdsServClie->Cancel();
        return;
    }
    cdsServClie->FieldByName("CDFILIAL")->SetAsString(medCdFilial->Text());
}
