#include "TestScreen.h"

#include "GuiTestSupport.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TColumn.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TEdit.h"
#include "platform/controls/TForm.h"
#include "platform/controls/TLabel.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/controls/TPanel.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/controls/TSplitter.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TStringField.h"
#include "shell/ShellMainForm.h"
#include "shell/gui/FormView.h"
#include "shell/gui/ShellWindow.h"

#include <QApplication>
#include <QSettings>
#include <QTest>

namespace {

template <class T>
T* Make(TForm* form, const std::string& name, TWinControl* parent)
{
    T* c = new T(form);
    c->SetName(name);
    c->SetParent(parent);
    return c;
}

} // namespace

TestScreen::TestScreen(bool freshSettings)
{
    GuiTest::EnsureApp();
    // Each test starts with the splitters' shares as a first start has them.
    if (freshSettings) {
        QSettings().remove("Splitters");
    }
    mainForm = new ShellMainForm(&Application());
    Application().SetMainForm(mainForm);
    shell = std::make_unique<ShellWindow>(nullptr);
    shell->show();
    shell->activateWindow();
    (void)QTest::qWaitForWindowActive(shell.get());

    form = new TForm(&Application());
    form->SetName("frmTest");
    form->SetCaption(GuiTest::Cp("Serviço de teste"));
    form->SetFormStyle(TFormStyle::fsMDIChild);
    form->SetBounds(10, 10, 600, 380);

    header = Make<TPanel>(form, "panHeader", form);
    header->SetBounds(0, 0, 600, 57);
    header->SetAlign(TAlign::alTop);
    lblCode = Make<TLabel>(form, "lblCode", header);
    lblCode->SetBounds(6, 8, 45, 13);
    lblCode->SetCaption("&Filial");
    lblCode->SetFontStyle({TFontStyle::fsBold});
    medCode = Make<TMaskEdit>(form, "medCode", header);
    medCode->SetBounds(53, 5, 52, 21);
    medCode->SetEditMask(">aaaa;0; ");
    medCode->SetMaxLength(4);
    medCode->SetColor(clInfoBk);
    lblCode->SetFocusControl(medCode);
    edtName = Make<TEdit>(form, "edtName", header);
    edtName->SetBounds(110, 5, 300, 21);

    work = Make<TPanel>(form, "panWork", form);
    work->SetBevelOuter(TBevelCut::bvNone);
    work->SetBevelInner(TBevelCut::bvLowered);
    work->SetBorderWidth(3);
    work->SetAlign(TAlign::alClient);
    list = Make<TListBox>(form, "lsbList", work);
    list->SetBounds(0, 0, 200, 100);
    list->SetMultiSelect(true);
    list->SetAlign(TAlign::alLeft);
    splitter = Make<TSplitter>(form, "splList", work);
    splitter->SetLeft(210);
    buttons = Make<TPanel>(form, "panButtons", work);
    buttons->SetBevelOuter(TBevelCut::bvNone);
    buttons->SetBounds(220, 0, 26, 100);
    buttons->SetAlign(TAlign::alLeft);
    const char* glyphs[] = {"direita", "direita_todos", "esquerda", "esquerda_todos"};
    const char* keys[] = {"Ctrl+Right", "Ctrl+Shift+Right", "Ctrl+Left", "Ctrl+Shift+Left"};
    clicks.assign(4, 0);
    for (int i = 0; i < 4; ++i) {
        auto* b = Make<TSpeedButton>(form, "sbtMove" + std::to_string(i), buttons);
        b->SetBounds(2, 50 + i * 25, 22, 25);
        b->SetGlyph(glyphs[i]);
        b->SetNumGlyphs(2);
        b->SetShortCut(keys[i]);
        b->SetHint("Move " + std::to_string(i));
        b->SetOnClick([this, i](TObject*) { ++clicks[static_cast<size_t>(i)]; });
        transfer.push_back(b);
    }

    data = new TClientDataSet(form);
    data->SetName("cdsData");
    fldCode = new TStringField(form);
    fldCode->SetFieldName("CODE");
    fldCode->SetSize(5);
    fldCode->SetDisplayLabel(GuiTest::Cp("Código"));
    fldCode->SetDataSet(data);
    fldName = new TStringField(form);
    fldName->SetFieldName("NAME");
    fldName->SetSize(40);
    fldName->SetDisplayLabel("Nome");
    fldName->SetDataSet(data);
    fldHidden = new TStringField(form);
    fldHidden->SetFieldName("HIDDEN");
    fldHidden->SetVisible(false);
    fldHidden->SetDataSet(data);
    source = new TDataSource(form);
    source->SetName("dtsData");
    source->SetDataSet(data);
    grid = Make<TDBGrid>(form, "dbgData", work);
    grid->SetColor(clInfoBk);
    grid->SetReadOnly(true);
    grid->SetAlign(TAlign::alClient);
    grid->AddColumn()->SetFieldName("CODE");
    grid->Columns(0)->SetWidth(48);
    grid->AddColumn()->SetFieldName("NAME");
    grid->SetDataSource(source);
    data->SetData(
        Rows({{"00001", GuiTest::Cp("Lavagem")}, {"00002", GuiTest::Cp("Manutenção")}, {"00003", "Pintura"}}));

    form->SetActiveControl(medCode);
    form->Show();
    GuiTest::Settle();
}

TestScreen::~TestScreen()
{
    shell.reset();
    for (TCustomForm* f : std::vector<TCustomForm*>(Application().Forms())) {
        if (f == form || f == mainForm) {
            delete f;
        }
    }
    Application().SetMainForm(nullptr);
    GuiTest::Settle();
}

DataPacket TestScreen::Rows(const std::vector<std::pair<std::string, std::string>>& rows)
{
    DataPacket p;
    p.fields = {{"CODE", TFieldType::ftString, 5, false},
                {"NAME", TFieldType::ftString, 40, false},
                {"HIDDEN", TFieldType::ftString, 20, false}};
    for (const auto& [code, name] : rows) {
        PacketRow r;
        r.values = {code, name, std::string("x")};
        p.rows.push_back(r);
    }
    return p;
}

QWidget* TestScreen::WidgetOf(const TControl* control) const
{
    FormView* view = View();
    return view != nullptr ? view->WidgetOf(control) : nullptr;
}

FormView* TestScreen::View() const
{
    return shell != nullptr ? shell->ViewOf(form) : nullptr;
}
