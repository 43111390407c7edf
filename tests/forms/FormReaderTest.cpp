#include "FormSamples.h"
#include "TestComponents.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/core/ResourceTable.h"
#include "platform/forms/FormReader.h"
#include "platform/model/ClassRegistry.h"

#include <gtest/gtest.h>

namespace {

template <class T>
T* Find(TComponent& form, const char* name)
{
    auto* c = dynamic_cast<T*>(form.FindComponent(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

std::vector<std::string> ComponentNames(const TComponent& form)
{
    std::vector<std::string> names;
    for (int i = 0; i < form.ComponentCount(); ++i) {
        names.push_back(form.Components(i)->Name());
    }
    return names;
}

// Puts the two sample layouts in the resource table under their classes'
// resource names for the length of a test.
class RegisteredSamples {
public:
    RegisteredSamples()
    {
        ResourceTable::Register(FormReader::ResourceName("TTestForm"), kBaseForm);
        ResourceTable::Register(FormReader::ResourceName("TTestDerivedForm"), kDerivedForm);
    }
    ~RegisteredSamples()
    {
        ResourceTable::Unregister(FormReader::ResourceName("TTestDerivedForm"), kDerivedForm);
        ResourceTable::Unregister(FormReader::ResourceName("TTestForm"), kBaseForm);
    }
};

} // namespace

TEST(FormReader, BuildsTheBaseForm)
{
    TTestForm form;
    FormReader::ApplyText(&form, TTestForm::Handlers(), kBaseForm, "base.form");

    EXPECT_EQ(form.Name(), "frmBase");
    EXPECT_EQ(form.Left(), 387);
    EXPECT_EQ(form.Caption(), Cp1252::FromUtf8("Serviço por Cliente"));
    EXPECT_EQ(form.FontStyle(), TFontStyles{TFontStyle::fsBold});
    EXPECT_EQ(form.Color(), clInfoBk);
    EXPECT_EQ(ComponentNames(form), (std::vector<std::string>{"panFilial", "medCdFilial", "msgPadrao", "dtsPadrao",
                                                              "dbgPadrao", "sbtConfirmar"}));

    auto* panel = Find<TTestPanel>(form, "panFilial");
    auto* edit = Find<TTestEdit>(form, "medCdFilial");
    ASSERT_TRUE(panel && edit);
    EXPECT_EQ(panel->Align(), TAlign::alTop);
    EXPECT_EQ(panel->TabOrder(), 2);
    EXPECT_EQ(panel->Parent(), &form);
    EXPECT_EQ(edit->Parent(), panel);
    EXPECT_EQ(edit->Owner(), &form) << "nested components are owned by the form";
    EXPECT_EQ(edit->EditMask(), ">aaaa;0; ");
    EXPECT_EQ(form.ActiveControl(), edit) << "a reference written before its target exists";

    auto* messages = Find<TTestMessages>(form, "msgPadrao");
    ASSERT_TRUE(messages);
    EXPECT_EQ(messages->Lines(), (std::vector<std::string>{"filial_inf|Filial deve ser informada.",
                                                           Cp1252::FromUtf8("filial_nc|Filial não cadastrada.")}));
    auto* source = Find<TTestSource>(form, "dtsPadrao");
    ASSERT_TRUE(source);
    EXPECT_FALSE(source->Enabled());

    auto* grid = Find<TTestGrid>(form, "dbgPadrao");
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->DataSource(), source);
    EXPECT_EQ(grid->Options(), (TTestGridOptions{TTestGridOption::dgEditing, TTestGridOption::dgTitles,
                                                 TTestGridOption::dgAlwaysShowSelection}));
    ASSERT_EQ(grid->ColumnCount(), 2);
    EXPECT_EQ(grid->Column(0).FieldName(), "CDSERVFILI");
    EXPECT_EQ(grid->Column(0).Width(), 48);
    EXPECT_EQ(grid->Column(1).FieldName(), "NMSERVICO");
    EXPECT_EQ(grid->Column(1).Width(), 64) << "an unwritten property keeps its default";
    EXPECT_EQ(grid->Column(1).Source(), source) << "references inside collection items resolve too";
}

TEST(FormReader, BindsEventsToTheFormsHandlers)
{
    TTestForm form;
    FormReader::ApplyText(&form, TTestForm::Handlers(), kBaseForm, "base.form");
    auto* edit = Find<TTestEdit>(form, "medCdFilial");
    ASSERT_TRUE(edit && form.OnCreate() && form.OnClose() && edit->OnExit() && edit->OnKeyPress());

    form.OnCreate()(&form);
    TCloseAction action = TCloseAction::caHide;
    form.OnClose()(&form, action);
    edit->OnExit()(edit);
    char key = 'a';
    edit->OnKeyPress()(edit, key);

    EXPECT_EQ(form.Calls,
              (std::vector<std::string>{"TTestForm.FormCreate(frmBase)", "TTestForm.FormClose(frmBase)",
                                        "TTestForm.EditExit(medCdFilial)", "TTestForm.EditKeyPress(medCdFilial)"}));
    EXPECT_EQ(action, TCloseAction::caFree) << "a by-reference argument reaches the handler";
    EXPECT_EQ(key, 'X');
    EXPECT_FALSE(Find<TTestControl>(form, "sbtConfirmar")->OnExit()) << "an unbound event stays empty";
}

TEST(FormReader, DerivedResourceOverridesItsBase)
{
    TTestDerivedForm form;
    {
        FormReader reader(&form, TTestDerivedForm::Handlers());
        reader.ReadText(kBaseForm, "base.form");
        reader.ReadText(kDerivedForm, "derived.form");
        reader.Finish();
    }
    EXPECT_EQ(form.Name(), "frmDerived");
    EXPECT_EQ(form.Caption(), "Derivado");
    EXPECT_EQ(form.Left(), 387) << "what the derived resource does not write stays as the base wrote it";

    auto* button = Find<TTestControl>(form, "sbtConfirmar");
    auto* panel = Find<TTestPanel>(form, "panFilial");
    auto* client = Find<TTestEdit>(form, "medCliente");
    ASSERT_TRUE(button && panel && client);
    EXPECT_FALSE(button->Enabled());
    EXPECT_EQ(button->Caption(), "Confirmar");
    EXPECT_EQ(client->Parent(), panel) << "an object inside an inherited block joins the inherited component";
    EXPECT_EQ(client->EditMask(), "9999;0; ");
    EXPECT_EQ(form.ActiveControl(), client);
    EXPECT_EQ(panel->Controls().size(), 2u);

    // The base resource bound medCdFilial's exit to EditExit; the derived
    // class's handler of that name runs in its place and calls the base's.
    Find<TTestEdit>(form, "medCdFilial")->OnExit()(Find<TTestEdit>(form, "medCdFilial"));
    client->OnExit()(client);
    button->OnExit()(button);
    form.OnCreate()(&form);
    EXPECT_EQ(form.Calls, (std::vector<std::string>{
                              "TTestDerivedForm.EditExit(medCdFilial)", "TTestForm.EditExit(medCdFilial)",
                              "TTestDerivedForm.EditExit(medCliente)", "TTestForm.EditExit(medCliente)",
                              "TTestDerivedForm.ButtonClick(sbtConfirmar)", "TTestForm.FormCreate(frmDerived)"}));
}

TEST(FormReader, LoadedRunsOnceForEachComponentTheFormLast)
{
    TTestDerivedForm form;
    LoadedLog().clear();
    {
        FormReader reader(&form, TTestDerivedForm::Handlers());
        reader.ReadText(kBaseForm, "base.form");
        EXPECT_TRUE(LoadedLog().empty()) << "Loaded waits for the last resource";
        reader.ReadText(kDerivedForm, "derived.form");
        reader.Finish();
    }
    EXPECT_EQ(LoadedLog(), (std::vector<std::string>{"panFilial", "medCdFilial", "dtsPadrao", "dbgPadrao",
                                                     "sbtConfirmar", "medCliente", "frmDerived"}));
    EXPECT_EQ(Find<TTestControl>(form, "panFilial")->LoadedCount(), 1) << "changed by both resources, loaded once";
}

TEST(FormReader, LoadsTheClassChainFromTheResourceTable)
{
    RegisteredSamples samples;
    TTestDerivedForm derived;
    FormReader::Load(&derived, TTestDerivedForm::Handlers());
    EXPECT_EQ(derived.Name(), "frmDerived");
    EXPECT_NE(derived.FindComponent("medCliente"), nullptr);
    EXPECT_NE(derived.FindComponent("dbgPadrao"), nullptr);

    TTestForm base;
    FormReader::Load(&base, TTestForm::Handlers());
    EXPECT_EQ(base.Name(), "frmBase");
    EXPECT_EQ(base.FindComponent("medCliente"), nullptr) << "a base form does not read its descendants' resources";
}

TEST(FormReader, LoadNeedsARegisteredClassAndAResource)
{
    TTestUnregisteredForm unregistered;
    EXPECT_THROW(FormReader::Load(&unregistered, TTestForm::Handlers()), EResourceError);

    TTestForm form; // registered, but no resource of its chain is in the table
    try {
        FormReader::Load(&form, TTestForm::Handlers());
        FAIL() << "expected EResourceError";
    } catch (const EResourceError& e) {
        EXPECT_EQ(e.File(), "TTestForm.form");
        EXPECT_NE(e.Message().find("no form resource"), std::string::npos) << e.Message();
    }
    EXPECT_THROW(FormReader::Apply(&form, TTestForm::Handlers(), "Missing.form"), EResourceError);
}

TEST(FormReader, LanguageOverrideReplacesTheLayout)
{
    RegisteredSamples samples;
    const std::string path = ::testing::TempDir() + "forms_override.res";
    {
        std::string translated = kBaseForm;
        translated.replace(translated.find("Serviço por Cliente"), std::string("Serviço por Cliente").size(),
                           "Service per client");
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::string data = ResourceTable::FormatOverrides({{"TTestForm.form", translated}});
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
    ResourceTable::LoadOverrides(path);
    TTestForm translated;
    FormReader::Apply(&translated, TTestForm::Handlers(), "TTestForm.form");
    ResourceTable::ClearOverrides();
    TTestForm original;
    FormReader::Apply(&original, TTestForm::Handlers(), "TTestForm.form");
    std::remove(path.c_str());

    EXPECT_EQ(translated.Caption(), "Service per client");
    EXPECT_EQ(original.Caption(), Cp1252::FromUtf8("Serviço por Cliente"));
}

TEST(FormReader, LoadingAndUnloadingTwiceLeavesNoState)
{
    RegisteredSamples samples;
    std::vector<std::string> firstNames;
    std::vector<std::string> firstLoaded;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        LoadedLog().clear();
        auto form = std::make_unique<TTestDerivedForm>();
        FormReader::Load(form.get(), TTestDerivedForm::Handlers());
        auto* edit = Find<TTestEdit>(*form, "medCdFilial");
        ASSERT_TRUE(edit);
        edit->OnExit()(edit);
        EXPECT_EQ(form->Calls.size(), 2u) << "no handler bound twice";
        if (round == 0) {
            firstNames = ComponentNames(*form);
            firstLoaded = LoadedLog();
        } else {
            EXPECT_EQ(ComponentNames(*form), firstNames);
            EXPECT_EQ(LoadedLog(), firstLoaded);
        }
        form.reset();
    }
}

TEST(FormReader, AFailedReadDestroysWhatItCreated)
{
    TTestForm form;
    auto* kept = new TTestSource(&form);
    kept->SetName("dtsKept");
    const std::string broken = std::string(kBaseForm).replace(std::string(kBaseForm).find("DataSource = dtsPadrao"), 22,
                                                              "DataSource = dtsNada");
    EXPECT_THROW(FormReader::ApplyText(&form, TTestForm::Handlers(), broken, "broken.form"), EResourceError);
    EXPECT_EQ(ComponentNames(form), std::vector<std::string>{"dtsKept"});

    // The same form can read a sound resource afterwards.
    FormReader::ApplyText(&form, TTestForm::Handlers(), kBaseForm, "base.form");
    EXPECT_EQ(form.ComponentCount(), 7);
}

TEST(FormReader, ACollectionIsReplacedWhole)
{
    TTestDerivedForm form;
    FormReader reader(&form, TTestDerivedForm::Handlers());
    reader.ReadText(kBaseForm, "base.form");
    reader.ReadText(R"(inherited frmDerived: TTestDerivedForm
  inherited dbgPadrao: TTestGrid
    Columns = <
      item
        FieldName = 'NMSERVICO'
      end>
  end
end
)",
                    "derived.form");
    reader.Finish();
    auto* grid = Find<TTestGrid>(form, "dbgPadrao");
    ASSERT_TRUE(grid);
    ASSERT_EQ(grid->ColumnCount(), 1);
    EXPECT_EQ(grid->Column(0).FieldName(), "NMSERVICO");
}

TEST(FormReader, NilClearsReferencesAndEvents)
{
    TTestDerivedForm form;
    FormReader reader(&form, TTestDerivedForm::Handlers());
    reader.ReadText(kBaseForm, "base.form");
    reader.ReadText(R"(inherited frmDerived: TTestDerivedForm
  ActiveControl = nil
  OnCreate = nil
end
)",
                    "derived.form");
    reader.Finish();
    EXPECT_EQ(form.ActiveControl(), nullptr);
    EXPECT_FALSE(form.OnCreate());
}

TEST(FormReader, NamesAndKeywordsIgnoreCase)
{
    TTestForm form;
    FormReader::ApplyText(&form, TTestForm::Handlers(), R"(OBJECT frm: ttestform
  CAPTION = 'x'
  onCreate = formcreate
  activecontrol = EDT
  Object edt: TTESTEDIT
    align = ALCLIENT
    enabled = FALSE
  END
end)",
                          "case.form");
    auto* edit = Find<TTestEdit>(form, "edt");
    ASSERT_TRUE(edit);
    EXPECT_EQ(form.Caption(), "x");
    EXPECT_TRUE(form.OnCreate());
    EXPECT_EQ(form.ActiveControl(), edit);
    EXPECT_EQ(edit->Align(), TAlign::alClient);
    EXPECT_FALSE(edit->Enabled());
}

TEST(FormReader, ValuesOfEveryKind)
{
    TTestForm form;
    FormReader::ApplyText(&form, TTestForm::Handlers(), R"(object frm: TTestForm
  Left = -2147483648
  Caption = 'It''s'#13#10'two lines' +
    ' and more'#$E9
  Color = $00E1FFFF
  Font.Style = []
  object btn: TTestControl
    TabOrder = -32768
    Glyph.Data = {
      0001FF
      7f}
  end
  object msg: TTestMessages
    Lines.Strings = ()
  end
end)",
                          "kinds.form");
    EXPECT_EQ(form.Left(), std::numeric_limits<int>::min());
    EXPECT_EQ(form.Caption(), "It's\r\ntwo lines and more\xE9");
    EXPECT_EQ(form.Color(), 0x00E1FFFF);
    EXPECT_TRUE(form.FontStyle().empty());
    auto* button = Find<TTestControl>(form, "btn");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->TabOrder(), -32768);
    EXPECT_EQ(button->Glyph(), std::string("\x00\x01\xFF\x7F", 4));
    EXPECT_TRUE(Find<TTestMessages>(form, "msg")->Lines().empty());
}
