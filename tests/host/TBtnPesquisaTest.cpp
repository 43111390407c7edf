#include "host/TBtnPesquisa.h"
#include "host/IShellUi.h"
#include "host/TMessages.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TEdit.h"
#include "platform/controls/TForm.h"
#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "platform/forms/FormReader.h"
#include "platform/forms/HandlerTable.h"
#include "platform/model/ClassRegistration.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

DataPacket Branches(int rows)
{
    DataPacket p;
    p.fields = {{"CDFILIAL", TFieldType::ftString, 4, false}, {"NMFILIAL", TFieldType::ftString, 30, false}};
    for (int i = 1; i <= rows; ++i) {
        PacketRow r;
        r.values = {FieldValue("000" + std::to_string(i)), FieldValue("Filial " + std::to_string(i))};
        p.rows.push_back(r);
    }
    return p;
}

// Plays the operator: answers lookup lists with a prepared pick and notes
// everything the shell was asked to show.
class ScriptedUi : public IShellUi {
public:
    ScriptedUi() { previous_ = IShellUi::SetCurrent(this); }
    ~ScriptedUi() override { IShellUi::SetCurrent(previous_); }

    void ShowProgress(TComponent*, int, const std::string&) override {}
    void HideProgress() override {}
    std::optional<int> PickRow(TComponent* listedFor, const std::string& title, TDataSet* dataSet) override
    {
        log->push_back("list " + title + " " + std::to_string(dataSet->RecordCount()));
        sender = listedFor;
        return pick;
    }
    void ShowEmptyLookup(TComponent* shownFor, const std::string& text) override
    {
        log->push_back("empty " + text);
        sender = shownFor;
    }
    void Search(TDataSet*) override {}

    std::vector<std::string>* log = nullptr;
    std::optional<int> pick;
    TComponent* sender = nullptr;

private:
    IShellUi* previous_ = nullptr;
};

class TBtnPesquisaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui.log = &log;
        btn.SetName("btpFilial");
        btn.SetTitle("Filial");
        btn.SetEmptyError(Cp1252::FromUtf8("Não há filial cadastrada."));
        dts.SetDataSet(&cds);
        btn.SetDataSource(&dts);
        btn.SetOnBeforePesq([this](TObject* Sender, bool&) {
            EXPECT_EQ(Sender, &btn);
            log.push_back("before");
            cds.SetData(Branches(rows));
        });
        btn.SetOnAfterPesq([this](TObject* Sender) {
            EXPECT_EQ(Sender, &btn);
            log.push_back("after " + cds.FieldByName("CDFILIAL")->AsString());
        });
    }

    std::vector<std::string> log;
    ScriptedUi ui;
    TComponent owner{nullptr};
    TClientDataSet cds{&owner};
    TDataSource dts{&owner};
    TBtnPesquisa btn{&owner};
    int rows = 3;
};

TEST_F(TBtnPesquisaTest, BeforeLookupFillsTheListAndAfterLookupSeesThePickedRow)
{
    ui.pick = 2;
    btn.Click();
    EXPECT_EQ(log, (std::vector<std::string>{"before", "list Filial 3", "after 0003"}));
    EXPECT_EQ(ui.sender, &btn);
    EXPECT_EQ(cds.RecNo(), 2);

    log.clear();
    ui.pick = 0;
    btn.Click();
    EXPECT_EQ(log, (std::vector<std::string>{"before", "list Filial 3", "after 0001"}));
}

TEST_F(TBtnPesquisaTest, AnEmptyDataSetShowsTheEmptyListError)
{
    rows = 0;
    ui.pick = 0;
    btn.Click();
    EXPECT_EQ(log, (std::vector<std::string>{"before", "empty " + Cp1252::FromUtf8("Não há filial cadastrada.")}));
}

TEST_F(TBtnPesquisaTest, AClosedDataSetCountsAsEmpty)
{
    btn.SetOnBeforePesq(nullptr);
    ui.pick = 0;
    btn.Click();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("empty ", 0), 0u);
}

TEST_F(TBtnPesquisaTest, ACancelledListRunsNothingMore)
{
    btn.Click();
    EXPECT_EQ(log, (std::vector<std::string>{"before", "list Filial 3"}));
    EXPECT_EQ(cds.RecNo(), 0) << "the data set stays where loading left it";
}

TEST_F(TBtnPesquisaTest, TheBeforeHandlerCanEndTheLookup)
{
    ui.pick = 1;
    btn.SetOnBeforePesq([this](TObject*, bool& Cancel) {
        cds.SetData(Branches(3));
        Cancel = true;
    });
    btn.Click();
    EXPECT_TRUE(log.empty()) << "a cancelled lookup lists nothing";

    btn.SetOnBeforePesq([](TObject*, bool&) { throw ERemoteError("server down"); });
    EXPECT_THROW(btn.Click(), ERemoteError);
    EXPECT_TRUE(log.empty()) << "a failed lookup lists nothing";
}

TEST_F(TBtnPesquisaTest, APickOutsideTheRowsIsRefused)
{
    ui.pick = 3;
    EXPECT_THROW(btn.Click(), EInvalidOperation);
    EXPECT_EQ(cds.RecNo(), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"before", "list Filial 3"}));
}

TEST_F(TBtnPesquisaTest, WithoutADataSetTheButtonNamesItself)
{
    btn.SetDataSource(nullptr);
    try {
        btn.Click();
        FAIL() << "the click should fail";
    } catch (const EInvalidOperation& e) {
        EXPECT_NE(std::string(e.what()).find("btpFilial"), std::string::npos) << e.what();
    }
}

TEST_F(TBtnPesquisaTest, ReferencesToDestroyedComponentsAreDropped)
{
    auto* edit = new TEdit(&owner);
    auto* source = new TDataSource(&owner);
    btn.SetAssociate(edit);
    btn.SetDataSource(source);
    delete edit;
    delete source;
    EXPECT_EQ(btn.Associate(), nullptr);
    EXPECT_EQ(btn.DataSource(), nullptr);
}

TEST(TBtnPesquisa, ALookupNeverMovesTheFocus)
{
    ScriptedUi ui;
    std::vector<std::string> log;
    ui.log = &log;
    ui.pick = 1;

    auto* form = new TForm(&Application());
    auto* medCdFilial = new TEdit(form);
    medCdFilial->SetName("medCdFilial");
    medCdFilial->SetParent(form);
    auto* medCliente = new TEdit(form);
    medCliente->SetName("medCliente");
    medCliente->SetParent(form);
    auto* cds = new TClientDataSet(form);
    auto* dts = new TDataSource(form);
    dts->SetDataSet(cds);
    auto* btn = new TBtnPesquisa(form);
    btn->SetParent(form);
    btn->SetAssociate(medCdFilial);
    btn->SetDataSource(dts);
    btn->SetOnBeforePesq([cds](TObject*, bool&) { cds->SetData(Branches(2)); });
    for (TEdit* e : {medCdFilial, medCliente}) {
        e->SetOnExit([&log](TObject* s) { log.push_back("exit " + static_cast<TComponent*>(s)->Name()); });
        e->SetOnEnter([&log](TObject* s) { log.push_back("enter " + static_cast<TComponent*>(s)->Name()); });
    }
    form->SetActiveControl(medCliente);
    form->Show();
    log.clear();

    btn->OperatorClick();
    EXPECT_EQ(form->ActiveControl(), medCliente);
    EXPECT_EQ(log, (std::vector<std::string>{"list  2"})) << "no exit or enter handler ran";
    EXPECT_EQ(cds->RecNo(), 1);
    delete form;
}

// The screen's form resource writes the button's and the message table's
// properties by name.
class TfrmLookupTest : public TForm {
public:
    DECLARE_CLASS_NAME(TfrmLookupTest)
    explicit TfrmLookupTest(TComponent* AOwner) : TForm(AOwner) {}

    static const HandlerTable& Handlers()
    {
        static const HandlerTable table(nullptr, [](HandlerTable& t) {
            t.Add("btpFilialBeforePesq", &TfrmLookupTest::btpFilialBeforePesq);
            t.Add("btpFilialAfterPesq", &TfrmLookupTest::btpFilialAfterPesq);
        });
        return table;
    }
    void btpFilialBeforePesq(TObject*, bool&) { Calls.push_back("before"); }
    void btpFilialAfterPesq(TObject*) { Calls.push_back("after"); }

    std::vector<std::string> Calls;
};

const ClassRegistration<TfrmLookupTest> lookupTestFormClass("TfrmLookupTest", "TForm");

const char* const kLookupForm = R"(object frmLookupTest: TfrmLookupTest
  object medCdFilial: TEdit
  end
  object cdsFilial: TClientDataSet
  end
  object dtsFilial: TDataSource
    DataSet = cdsFilial
  end
  object btpFilial: TBtnPesquisa
    Hint = 'Pesquisar'
    Flat = True
    Associate = medCdFilial
    Title = 'Filial'
    DataSource = dtsFilial
    EmptyError = 'Não há filial cadastrada.'
    Glyph = 'pesquisar'
    NumGlyphs = 2
    OnBeforePesq = btpFilialBeforePesq
    OnAfterPesq = btpFilialAfterPesq
  end
  object msgPadrao: TMessages
    Lines.Strings = (
      'filial_inf|Filial deve ser informada.'
      'filial_nc|Filial não cadastrada.')
  end
end
)";

TEST(TBtnPesquisa, TheFormResourceSetsItsPropertiesAndEvents)
{
    TfrmLookupTest form(nullptr);
    FormReader::ApplyText(&form, TfrmLookupTest::Handlers(), kLookupForm, "lookup.form");

    auto* btn = dynamic_cast<TBtnPesquisa*>(form.FindComponent("btpFilial"));
    ASSERT_NE(btn, nullptr);
    EXPECT_EQ(btn->Associate(), form.FindComponent("medCdFilial"));
    EXPECT_EQ(btn->DataSource(), form.FindComponent("dtsFilial"));
    EXPECT_EQ(btn->Title(), "Filial");
    EXPECT_EQ(btn->EmptyError(), Cp1252::FromUtf8("Não há filial cadastrada."));
    EXPECT_EQ(btn->Hint(), "Pesquisar");
    EXPECT_EQ(btn->NumGlyphs(), 2);

    ScriptedUi ui;
    std::vector<std::string> log;
    ui.log = &log;
    btn->Click();
    EXPECT_EQ(form.Calls, std::vector<std::string>{"before"}) << "the closed data set gives the empty-list error";
    EXPECT_EQ(log, std::vector<std::string>{"empty " + btn->EmptyError()});

    auto* msg = dynamic_cast<TMessages*>(form.FindComponent("msgPadrao"));
    ASSERT_NE(msg, nullptr);
    EXPECT_EQ(msg->Msg("Filial_nc"), Cp1252::FromUtf8("Filial não cadastrada."));
}

} // namespace
