#pragma once
// The lookup button beside an edit: a flat button that never takes the focus.
// A click runs OnBeforePesq, whose handler fills the data set behind
// DataSource; when that data set has no row the shell shows EmptyError,
// otherwise it lists the rows under Title for the operator to pick one. After
// a pick the data set is positioned on the picked row and OnAfterPesq runs.
// A cancelled list runs nothing more.
//
// Associate records the edit the button serves; the button never moves the
// focus to it, so no exit or enter handler runs because of a lookup.
//
// Failure behaviour: an error raised by OnBeforePesq or OnAfterPesq goes on
// to the caller (the application's report). A button without a data source,
// or whose data source has no data set, raises EInvalidOperation naming the
// button. A data set that is closed counts as empty. A pick outside the data
// set's rows raises EInvalidOperation, leaving the data set where it was.
#include "platform/controls/TSpeedButton.h"
#include "platform/model/Events.h"

#include <string>

class TDataSource;

class TBtnPesquisa : public TSpeedButton {
public:
    DECLARE_CLASS_NAME(TBtnPesquisa)
    explicit TBtnPesquisa(TComponent* AOwner);
    ~TBtnPesquisa() override;

    TControl* Associate() const { return associate_; }
    void SetAssociate(TControl* value);
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& value) { title_ = value; }
    TDataSource* DataSource() const { return dataSource_; }
    void SetDataSource(TDataSource* value);
    const std::string& EmptyError() const { return emptyError_; }
    void SetEmptyError(const std::string& value) { emptyError_ = value; }

    const TPesqEvent& OnBeforePesq() const { return onBeforePesq_; }
    void SetOnBeforePesq(TPesqEvent value) { onBeforePesq_ = std::move(value); }
    const TNotifyEvent& OnAfterPesq() const { return onAfterPesq_; }
    void SetOnAfterPesq(TNotifyEvent value) { onAfterPesq_ = std::move(value); }

    // Runs OnClick first, as every button does, then the lookup.
    void Click() override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TControl* associate_ = nullptr;
    TDataSource* dataSource_ = nullptr;
    std::string title_;
    std::string emptyError_;
    TPesqEvent onBeforePesq_;
    TNotifyEvent onAfterPesq_;
};
