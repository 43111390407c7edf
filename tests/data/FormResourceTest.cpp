// The data classes as a form resource declares them: nested persistent
// fields join their data set, references and handlers are bound by name.
#include "host/TADOIBQuery.h"
#include "host/TADOIBStringField.h"
#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TStringField.h"
#include "platform/forms/FormReader.h"
#include "platform/forms/HandlerTable.h"
#include "platform/model/ClassRegistration.h"
#include "platform/net/ServClienteContract.h"

#include <gtest/gtest.h>

namespace {

class TDataForm : public TComponent {
public:
    DECLARE_CLASS_NAME(TDataForm)
    using TComponent::TComponent;

    std::vector<std::string> Calls;

    void dtsPadraoStateChange(TObject* /*Sender*/) { Calls.push_back("StateChange"); }
    void dtsPadraoDataChange(TObject* /*Sender*/, TField* /*Field*/) { Calls.push_back("DataChange"); }
    void cdsServClieAfterPost(TDataSet* /*DataSet*/) { Calls.push_back("AfterPost"); }
    void cdsServClieAfterDelete(TDataSet* /*DataSet*/) { Calls.push_back("AfterDelete"); }
    void cdsServClieAfterCancel(TDataSet* /*DataSet*/) { Calls.push_back("AfterCancel"); }
    void cdsServClieNewRecord(TDataSet* /*DataSet*/) { Calls.push_back("NewRecord"); }
    void cdsServClieAfterScroll(TDataSet* /*DataSet*/) { Calls.push_back("AfterScroll"); }

    static const HandlerTable& Handlers()
    {
        static const HandlerTable table(nullptr, [](HandlerTable& t) {
            t.Add("dtsPadraoStateChange", &TDataForm::dtsPadraoStateChange);
            t.Add("dtsPadraoDataChange", &TDataForm::dtsPadraoDataChange);
            t.Add("cdsServClieAfterPost", &TDataForm::cdsServClieAfterPost);
            t.Add("cdsServClieAfterDelete", &TDataForm::cdsServClieAfterDelete);
            t.Add("cdsServClieAfterCancel", &TDataForm::cdsServClieAfterCancel);
            t.Add("cdsServClieNewRecord", &TDataForm::cdsServClieNewRecord);
            t.Add("cdsServClieAfterScroll", &TDataForm::cdsServClieAfterScroll);
        });
        return table;
    }
};

const ClassRegistration<TDataForm> dataFormClass("TDataForm", "TComponent");

const char* const kDataForm = R"(object frmDados: TDataForm
  object dtsPadrao: TDataSource
    DataSet = cdsServClie
    Enabled = False
    OnStateChange = dtsPadraoStateChange
    OnDataChange = dtsPadraoDataChange
  end
  object cdsServClie: TClientDataSet
    ProviderName = 'dspServClie'
    AfterPost = cdsServClieAfterPost
    AfterDelete = cdsServClieAfterDelete
    AfterCancel = cdsServClieAfterCancel
    OnNewRecord = cdsServClieNewRecord
    AfterScroll = cdsServClieAfterScroll
    object cdsServClieCDFILIAL: TStringField
      FieldName = 'CDFILIAL'
      DisplayLabel = 'Filial'
      EditMask = '>aaaa;0; '
      Size = 4
    end
    object cdsServClieCDSERVFILI: TStringField
      Tag = 99
      FieldName = 'CDSERVFILI'
      DisplayLabel = 'Código'
      Visible = False
      Required = True
      Size = 5
    end
  end
  object qryFilial: TADOIBQuery
    SQL.Strings = (
      'SELECT'
      '   CDFILIAL'
      'FROM'
      '   FILIAL, PARAM (:P_CDFILIAL)  CFILIAL')
    Params = <
      item
        DataType = ftString
        Name = 'P_CDFILIAL'
        ParamType = ptInput
      end>
    object qryFilialCDFILIAL: TADOIBStringField
      FieldName = 'CDFILIAL'
      DisplayLabel = 'Código'
      Required = True
      Size = 4
    end
  end
end
)";

} // namespace

TEST(DataFormResource, NestedFieldsJoinTheirDataSetWithTheirSettings)
{
    TDataForm form(nullptr);
    FormReader::ApplyText(&form, TDataForm::Handlers(), kDataForm, "dados.form");

    auto* cds = dynamic_cast<TClientDataSet*>(form.FindComponent("cdsServClie"));
    ASSERT_NE(cds, nullptr);
    EXPECT_EQ(cds->ProviderName(), "dspServClie");
    ASSERT_EQ(cds->FieldCount(), 2);
    TField* filial = cds->Fields()[0];
    EXPECT_EQ(filial, form.FindComponent("cdsServClieCDFILIAL")); // owned by the form
    EXPECT_EQ(filial->Owner(), &form);
    EXPECT_EQ(filial->ClassName(), "TStringField");
    EXPECT_EQ(filial->Size(),
              ServClienteContract::Get().DataSet(ServClienteContract::kAssigned).Field("CDFILIAL").size);
    EXPECT_EQ(filial->EditMask(), ">aaaa;0; ");
    EXPECT_EQ(filial->DisplayName(), "Filial");
    EXPECT_TRUE(filial->Visible());
    TField* code = cds->FieldByName("CDSERVFILI");
    EXPECT_EQ(code->Tag(), 99);
    EXPECT_FALSE(code->Visible());
    EXPECT_TRUE(code->Required());
    EXPECT_EQ(code->DisplayLabel(), Cp1252::FromUtf8("Código"));

    auto* qry = dynamic_cast<TADOIBQuery*>(form.FindComponent("qryFilial"));
    ASSERT_NE(qry, nullptr);
    EXPECT_EQ(qry->SQL().size(), 4u);
    EXPECT_EQ(qry->SQL()[3], "   FILIAL, PARAM (:P_CDFILIAL)  CFILIAL");
    ASSERT_EQ(qry->Params().Count(), 1);
    EXPECT_EQ(qry->ParamByName("P_CDFILIAL")->ParamType(), TParamType::ptInput);
    ASSERT_EQ(qry->FieldCount(), 1);
    EXPECT_EQ(qry->Fields()[0]->ClassName(), "TADOIBStringField");
    EXPECT_TRUE(qry->Fields()[0]->Required());
}

TEST(DataFormResource, EventsAndTheDataSourceAreBoundByName)
{
    TDataForm form(nullptr);
    FormReader::ApplyText(&form, TDataForm::Handlers(), kDataForm, "dados.form");
    auto* cds = dynamic_cast<TClientDataSet*>(form.FindComponent("cdsServClie"));
    auto* dts = dynamic_cast<TDataSource*>(form.FindComponent("dtsPadrao"));
    ASSERT_NE(dts, nullptr);
    EXPECT_EQ(dts->DataSet(), cds);
    EXPECT_FALSE(dts->Enabled());
    EXPECT_TRUE(form.Calls.empty()); // reading the form ran no handler

    dts->SetEnabled(true);
    DataPacket p;
    const auto assigned = ServClienteContract::Get().DataSet(ServClienteContract::kAssigned).PacketFields();
    p.fields = {assigned[0], assigned[1]}; // the form's two fields
    p.rows.push_back(PacketRow{TUpdateStatus::usUnmodified, {"0001", "00010"}, {}});
    cds->SetData(p);
    cds->Insert();
    cds->FieldByName("CDSERVFILI")->SetAsString("00020");
    cds->Post();
    cds->Delete();
    cds->Edit();
    cds->Cancel();
    EXPECT_EQ(form.Calls,
              (std::vector<std::string>{"StateChange", "StateChange", "DataChange", "AfterScroll", // enable, load
                                        "StateChange", "DataChange", "NewRecord", "DataChange",    // insert
                                        "StateChange", "DataChange", "AfterPost",                  // post
                                        "DataChange", "AfterDelete", "AfterScroll",                // delete
                                        "StateChange", "DataChange", "StateChange", "DataChange",  // edit, cancel
                                        "AfterCancel"}));
}

TEST(DataFormResource, AFieldNestedInAnythingButADataSetIsRefused)
{
    TDataForm form(nullptr);
    const char* text = R"(object frmDados: TDataForm
  object dtsPadrao: TDataSource
    object campo: TStringField
      FieldName = 'X'
    end
  end
end
)";
    EXPECT_THROW(FormReader::ApplyText(&form, TDataForm::Handlers(), text, "ruim.form"), EResourceError);
    EXPECT_EQ(form.ComponentCount(), 0);
}
