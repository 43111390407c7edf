#include "host/TBtnPesquisa.h"

#include "host/IShellUi.h"
#include "platform/core/Exception.h"
#include "platform/data/TDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/model/ClassRegistration.h"

namespace {

const ClassRegistration<TBtnPesquisa>
    btnPesquisaClass("TBtnPesquisa", "TSpeedButton", [](ClassBuilder<TBtnPesquisa>& c) {
        c.RegisterComponentProperty<TControl>("Associate", &TBtnPesquisa::Associate, &TBtnPesquisa::SetAssociate);
        c.RegisterProperty("Title", &TBtnPesquisa::Title, &TBtnPesquisa::SetTitle);
        c.RegisterComponentProperty<TDataSource>("DataSource", &TBtnPesquisa::DataSource, &TBtnPesquisa::SetDataSource);
        c.RegisterProperty("EmptyError", &TBtnPesquisa::EmptyError, &TBtnPesquisa::SetEmptyError);
        c.RegisterEvent<TPesqEvent>("OnBeforePesq", &TBtnPesquisa::SetOnBeforePesq);
        c.RegisterEvent<TNotifyEvent>("OnAfterPesq", &TBtnPesquisa::SetOnAfterPesq);
    });

std::string Quoted(const TComponent* c)
{
    return c->Name().empty() ? std::string("lookup button") : "lookup button '" + c->Name() + "'";
}

} // namespace

TBtnPesquisa::TBtnPesquisa(TComponent* AOwner) : TSpeedButton(AOwner)
{
    SetFlat(true);
}

TBtnPesquisa::~TBtnPesquisa()
{
    SetAssociate(nullptr);
    SetDataSource(nullptr);
}

void TBtnPesquisa::SetAssociate(TControl* value)
{
    if (associate_ == value) {
        return;
    }
    if (associate_ != nullptr) {
        associate_->RemoveFreeNotification(this);
    }
    associate_ = value;
    if (associate_ != nullptr) {
        associate_->FreeNotification(this);
    }
}

void TBtnPesquisa::SetDataSource(TDataSource* value)
{
    if (dataSource_ == value) {
        return;
    }
    if (dataSource_ != nullptr) {
        dataSource_->RemoveFreeNotification(this);
    }
    dataSource_ = value;
    if (dataSource_ != nullptr) {
        dataSource_->FreeNotification(this);
    }
}

void TBtnPesquisa::Notification(TComponent* AComponent, TOperation Operation)
{
    TSpeedButton::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove) {
        return;
    }
    if (AComponent == associate_) {
        associate_ = nullptr;
    }
    if (AComponent == dataSource_) {
        dataSource_ = nullptr;
    }
}

void TBtnPesquisa::Click()
{
    TSpeedButton::Click();

    bool cancel = false;
    if (onBeforePesq_) {
        onBeforePesq_(this, cancel);
    }
    if (cancel) {
        return;
    }
    // The data set is looked up only now: the before-lookup handler may have
    // reopened or replaced it.
    TDataSet* dataSet = dataSource_ != nullptr ? dataSource_->DataSet() : nullptr;
    if (dataSet == nullptr) {
        throw EInvalidOperation("The " + Quoted(this) + " has no data set to list");
    }
    IShellUi& ui = IShellUi::Current();
    if (!dataSet->Active() || dataSet->IsEmpty()) {
        ui.ShowEmptyLookup(this, emptyError_);
        return;
    }
    std::optional<int> row = ui.PickRow(this, title_, dataSet);
    if (!row) {
        return;
    }
    if (*row < 0 || *row >= dataSet->RecordCount()) {
        throw EInvalidOperation("The " + Quoted(this) + " has no row " + std::to_string(*row) + " to pick");
    }
    dataSet->SetRecNo(*row);
    if (onAfterPesq_) {
        onAfterPesq_(this);
    }
}
