#include "TestComponents.h"

#include "platform/core/Exception.h"
#include "platform/model/ClassRegistration.h"

std::vector<std::string>& LoadedLog()
{
    static std::vector<std::string> log;
    return log;
}

TTestControl::~TTestControl()
{
    SetParent(nullptr);
}

void TTestControl::SetParent(TTestPanel* value)
{
    if (parent_ != nullptr) {
        parent_->RemoveControl(this);
    }
    parent_ = value;
    if (parent_ != nullptr) {
        parent_->InsertControl(this);
    }
}

void TTestControl::Loaded()
{
    ++loadedCount_;
    LoadedLog().push_back(Name());
}

TTestPanel::~TTestPanel()
{
    for (TTestControl* c : std::vector<TTestControl*>(controls_)) {
        c->SetParent(nullptr);
    }
}

void TTestFragile::Loaded()
{
    throw EInvalidOperation("not today");
}

void TTestSource::Loaded()
{
    LoadedLog().push_back(Name());
}

void TTestForm::FormCreate(TObject* Sender)
{
    Calls.push_back("TTestForm.FormCreate(" + dynamic_cast<TComponent*>(Sender)->Name() + ")");
}

void TTestForm::FormClose(TObject* Sender, TCloseAction& Action)
{
    Calls.push_back("TTestForm.FormClose(" + dynamic_cast<TComponent*>(Sender)->Name() + ")");
    Action = TCloseAction::caFree;
}

void TTestForm::EditExit(TObject* Sender)
{
    Calls.push_back("TTestForm.EditExit(" + dynamic_cast<TComponent*>(Sender)->Name() + ")");
}

void TTestForm::EditKeyPress(TObject* Sender, char& Key)
{
    Calls.push_back("TTestForm.EditKeyPress(" + dynamic_cast<TComponent*>(Sender)->Name() + ")");
    Key = 'X';
}

void TTestDerivedForm::EditExit(TObject* Sender)
{
    Calls.push_back("TTestDerivedForm.EditExit(" + dynamic_cast<TComponent*>(Sender)->Name() + ")");
    TTestForm::EditExit(Sender);
}

void TTestDerivedForm::ButtonClick(TObject* Sender)
{
    Calls.push_back("TTestDerivedForm.ButtonClick(" + dynamic_cast<TComponent*>(Sender)->Name() + ")");
}

const HandlerTable& TTestForm::Handlers()
{
    static const HandlerTable table(nullptr, [](HandlerTable& t) {
        t.Add("FormCreate", &TTestForm::FormCreate);
        t.Add("FormClose", &TTestForm::FormClose);
        t.Add("EditExit", &TTestForm::EditExit);
        t.Add("EditKeyPress", &TTestForm::EditKeyPress);
    });
    return table;
}

const HandlerTable& TTestDerivedForm::Handlers()
{
    static const HandlerTable table(&TTestForm::Handlers(), [](HandlerTable& t) {
        t.Add("EditExit", &TTestDerivedForm::EditExit);
        t.Add("ButtonClick", &TTestDerivedForm::ButtonClick);
    });
    return table;
}

namespace {

const EnumNames<TAlign> alignNames = {
    {"alNone", TAlign::alNone}, {"alTop", TAlign::alTop},     {"alBottom", TAlign::alBottom},
    {"alLeft", TAlign::alLeft}, {"alRight", TAlign::alRight}, {"alClient", TAlign::alClient},
};

const EnumNames<TFontStyle> fontStyleNames = {
    {"fsBold", TFontStyle::fsBold},
    {"fsItalic", TFontStyle::fsItalic},
    {"fsUnderline", TFontStyle::fsUnderline},
    {"fsStrikeOut", TFontStyle::fsStrikeOut},
};

const EnumNames<TTestGridOption> gridOptionNames = {
    {"dgEditing", TTestGridOption::dgEditing},
    {"dgTitles", TTestGridOption::dgTitles},
    {"dgAlwaysShowSelection", TTestGridOption::dgAlwaysShowSelection},
};

const ClassRegistration<TTestControl> controlClass("TTestControl", "TComponent", [](ClassBuilder<TTestControl>& c) {
    c.RegisterProperty("Left", &TTestControl::Left, &TTestControl::SetLeft);
    c.RegisterProperty("TabOrder", &TTestControl::TabOrder, &TTestControl::SetTabOrder);
    c.RegisterProperty("Enabled", &TTestControl::Enabled, &TTestControl::SetEnabled);
    c.RegisterProperty("Caption", &TTestControl::Caption, &TTestControl::SetCaption);
    c.RegisterEnumProperty("Align", alignNames, &TTestControl::Align, &TTestControl::SetAlign);
    c.RegisterSetProperty("Font.Style", fontStyleNames, &TTestControl::FontStyle, &TTestControl::SetFontStyle);
    c.RegisterIntegerProperty("Color", &TTestControl::Color, &TTestControl::SetColor,
                              IntegerConstants{{"clBtnFace", clBtnFace}, {"clInfoBk", clInfoBk}});
    c.RegisterBinaryProperty("Glyph.Data", &TTestControl::Glyph, &TTestControl::SetGlyph);
    c.RegisterEvent<TNotifyEvent>("OnExit", &TTestControl::SetOnExit);
    c.RegisterEvent<TKeyPressEvent>("OnKeyPress", &TTestControl::SetOnKeyPress);
});

const ClassRegistration<TTestPanel> panelClass("TTestPanel", "TTestControl", [](ClassBuilder<TTestPanel>& c) {
    c.SetAdoptChild([](TTestPanel& panel, TComponent& child) {
        auto* control = dynamic_cast<TTestControl*>(&child);
        if (control == nullptr) {
            return false;
        }
        control->SetParent(&panel);
        return true;
    });
});

const ClassRegistration<TTestEdit> editClass("TTestEdit", "TTestControl", [](ClassBuilder<TTestEdit>& c) {
    c.RegisterProperty("EditMask", &TTestEdit::EditMask, &TTestEdit::SetEditMask);
});

const ClassRegistration<TTestFragile> fragileClass("TTestFragile", "TComponent");

const ClassRegistration<TTestSource> sourceClass("TTestSource", "TComponent", [](ClassBuilder<TTestSource>& c) {
    c.RegisterProperty("Enabled", &TTestSource::Enabled, &TTestSource::SetEnabled);
});

const ClassRegistration<TTestMessages> messagesClass("TTestMessages", "TComponent", [](ClassBuilder<TTestMessages>& c) {
    c.RegisterStringListProperty("Lines.Strings", &TTestMessages::Lines, &TTestMessages::SetLines);
});

const ClassRegistration<TTestColumn> columnClass("TTestColumn", "TObject", nullptr, [](ClassBuilder<TTestColumn>& c) {
    c.RegisterProperty("FieldName", &TTestColumn::FieldName, &TTestColumn::SetFieldName);
    c.RegisterProperty("Width", &TTestColumn::Width, &TTestColumn::SetWidth);
    c.RegisterComponentProperty<TTestSource>("Source", &TTestColumn::Source, &TTestColumn::SetSource);
});

const ClassRegistration<TTestGrid> gridClass("TTestGrid", "TTestControl", [](ClassBuilder<TTestGrid>& c) {
    c.RegisterComponentProperty<TTestSource>("DataSource", &TTestGrid::DataSource, &TTestGrid::SetDataSource);
    c.RegisterSetProperty("Options", gridOptionNames, &TTestGrid::Options, &TTestGrid::SetOptions);
    c.RegisterCollectionProperty<TTestColumn>("Columns", "TTestColumn", &TTestGrid::ClearColumns,
                                              &TTestGrid::AddColumn);
});

const ClassRegistration<TTestForm> formClass("TTestForm", "TTestPanel", [](ClassBuilder<TTestForm>& c) {
    c.RegisterComponentProperty<TTestControl>("ActiveControl", &TTestForm::ActiveControl, &TTestForm::SetActiveControl);
    c.RegisterEvent<TNotifyEvent>("OnCreate", &TTestForm::SetOnCreate);
    c.RegisterEvent<TCloseEvent>("OnClose", &TTestForm::SetOnClose);
});

const ClassRegistration<TTestDerivedForm> derivedFormClass("TTestDerivedForm", "TTestForm");

} // namespace
