#include "shell/ScreenDump.h"

#include "platform/controls/TApplication.h"
#include "platform/controls/TControl.h"
#include "platform/controls/TCustomEdit.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TLabel.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMainMenu.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/controls/TMenuItem.h"
#include "platform/core/Cp1252.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "shell/PackageHost.h"

using nlohmann::json;

namespace {

std::string U(const std::string& cp1252)
{
    return Cp1252::ToUtf8Lossy(cp1252);
}

const char* StateName(TDataSetState s)
{
    switch (s) {
    case TDataSetState::dsInactive: return "inactive";
    case TDataSetState::dsBrowse: return "browse";
    case TDataSetState::dsEdit: return "edit";
    case TDataSetState::dsInsert: return "insert";
    }
    return "inactive";
}

const char* WindowStateName(TWindowState s)
{
    switch (s) {
    case TWindowState::wsNormal: return "normal";
    case TWindowState::wsMinimized: return "minimized";
    case TWindowState::wsMaximized: return "maximized";
    }
    return "normal";
}

json GridOptions(const TDBGridOptions& options)
{
    static const std::pair<TDBGridOption, const char*> names[] = {
        {TDBGridOption::dgEditing, "dgEditing"},
        {TDBGridOption::dgAlwaysShowEditor, "dgAlwaysShowEditor"},
        {TDBGridOption::dgTitles, "dgTitles"},
        {TDBGridOption::dgIndicator, "dgIndicator"},
        {TDBGridOption::dgColumnResize, "dgColumnResize"},
        {TDBGridOption::dgColLines, "dgColLines"},
        {TDBGridOption::dgRowLines, "dgRowLines"},
        {TDBGridOption::dgTabs, "dgTabs"},
        {TDBGridOption::dgRowSelect, "dgRowSelect"},
        {TDBGridOption::dgAlwaysShowSelection, "dgAlwaysShowSelection"},
        {TDBGridOption::dgConfirmDelete, "dgConfirmDelete"},
        {TDBGridOption::dgCancelOnExit, "dgCancelOnExit"},
        {TDBGridOption::dgMultiSelect, "dgMultiSelect"},
    };
    json out = json::array();
    for (const auto& [o, name] : names) {
        if (options.count(o) != 0) {
            out.push_back(name);
        }
    }
    return out;
}

// The toolbar button a main-menu entry mirrors: entries are named "mni" plus
// the button's role ("mniProcurar" mirrors "sbtProcurar").
std::string MirroredButton(const std::string& entry)
{
    if (entry.rfind("mni", 0) == 0) {
        return "sbt" + entry.substr(3);
    }
    return entry;
}

// The texts of a control or a menu entry that the operator reads (caption
// and hint), so that scripts see the language shown.
void AddShownTexts(json& j, const TComponent* c)
{
    if (auto* ctl = dynamic_cast<const TControl*>(c)) {
        if (!ctl->Caption().empty()) {
            j["caption"] = U(ctl->Caption());
        }
        if (!ctl->Hint().empty()) {
            j["hint"] = U(ctl->Hint());
        }
    } else if (auto* item = dynamic_cast<const TMenuItem*>(c)) {
        j["caption"] = U(item->Caption());
    }
}

} // namespace

json ScreenDump::DumpComponent(const TComponent* c)
{
    json j;
    j["class"] = c->ClassName();
    if (auto* ctl = dynamic_cast<const TControl*>(c)) {
        j["enabled"] = ctl->Enabled();
        j["visible"] = ctl->Visible();
    }
    AddShownTexts(j, c);
    if (auto* edit = dynamic_cast<const TCustomEdit*>(c)) {
        j["text"] = U(edit->Text());
        if (auto* med = dynamic_cast<const TMaskEdit*>(c)) {
            j["editMask"] = U(med->EditMask());
            j["displayText"] = U(med->DisplayText());
        } else {
            j["editMask"] = "";
        }
    }
    if (auto* label = dynamic_cast<const TLabel*>(c)) {
        j["caption"] = U(label->Caption());
    }
    if (auto* list = dynamic_cast<const TListBox*>(c)) {
        json items = json::array();
        for (const auto& item : list->Items()) {
            items.push_back(U(item));
        }
        j["items"] = items;
        j["selected"] = list->SelectedIndexes();
        j["itemIndex"] = list->ItemIndex();
        // Entries standing for a change not yet on the server.
        j["pending"] = list->PendingIndexes();
    }
    if (auto* grid = dynamic_cast<const TDBGrid*>(c)) {
        j["options"] = GridOptions(grid->Options());
        json cols = json::array();
        for (TColumn* col : grid->VisibleColumns()) {
            cols.push_back({{"fieldName", col->FieldName()}, {"title", U(col->Title())}, {"width", col->Width()}});
        }
        j["columns"] = cols;
    }
    if (auto* source = dynamic_cast<const TDataSource*>(c)) {
        j["enabled"] = source->Enabled();
        j["state"] = StateName(source->State());
    }
    if (auto* ds = dynamic_cast<const TDataSet*>(c)) {
        j["active"] = ds->Active();
        j["state"] = StateName(ds->State());
        j["recNo"] = ds->Active() && !ds->IsEmpty() ? ds->RecNo() : -1;
        if (auto* cds = dynamic_cast<const TClientDataSet*>(c)) {
            j["changeCount"] = cds->GetChangeCount();
        } else {
            j["changeCount"] = 0;
        }
        json fields = json::array();
        for (TField* f : ds->Fields()) {
            fields.push_back(f->FieldName());
        }
        j["fields"] = fields;
        json rows = json::array();
        if (ds->Active()) {
            for (int r = 0; r < ds->RecordCount(); ++r) {
                json row = json::array();
                for (int f = 0; f < ds->FieldCount(); ++f) {
                    auto v = ds->RowValue(r, f);
                    row.push_back(U(v.value_or("")));
                }
                rows.push_back(row);
            }
        }
        j["rows"] = rows;
        // The rows whose change has not reached the server yet.
        json pending = json::array();
        for (int r = 0; ds->Active() && r < ds->RecordCount(); ++r) {
            if (ds->RowUpdateStatus(r) != TUpdateStatus::usUnmodified) {
                pending.push_back(r);
            }
        }
        j["pending"] = pending;
        // The rows whose change went out and lost its answer, and the
        // deletions waiting to go (their rows are no longer held).
        json doubt = json::array();
        for (int r = 0; ds->Active() && r < ds->RecordCount(); ++r) {
            if (ds->RowInDoubt(r)) {
                doubt.push_back(r);
            }
        }
        j["doubt"] = doubt;
        json deleted = json::array();
        if (auto* cds = dynamic_cast<const TClientDataSet*>(c)) {
            for (const auto& entry : cds->Log().Entries()) {
                if (entry.op == TUpdateStatus::usDeleted) {
                    json row = json::array();
                    for (const auto& v : entry.current) {
                        row.push_back(U(v.value_or("")));
                    }
                    deleted.push_back(row);
                }
            }
        }
        j["deleted"] = deleted;
    }
    return j;
}

json ScreenDump::DumpForm(const TCustomForm* form)
{
    json s;
    s["caption"] = U(form->Caption());
    s["windowState"] = WindowStateName(form->WindowState());
    s["activeControl"] = form->ActiveControl() != nullptr ? json(form->ActiveControl()->Name()) : json(nullptr);
    json comps = json::object();
    json menu = json::object();
    for (int i = 0; i < form->ComponentCount(); ++i) {
        const TComponent* c = form->Components(i);
        if (c->Name().empty()) {
            continue;
        }
        comps[c->Name()] = DumpComponent(c);
        if (auto* item = dynamic_cast<const TMenuItem*>(c)) {
            if (item->ParentItem() != nullptr && item->Count() == 0) {
                menu[MirroredButton(item->Name())] = item->Enabled();
            }
        }
    }
    s["components"] = comps;
    s["menu"] = menu;
    return s;
}

json ScreenDump::Dump(const PackageHost& package)
{
    json d;
    d["package"] = package.Loaded();
    json globals = json::object();
    TCustomForm* screen = nullptr;
    if (package.Loaded()) {
        screen = package.ScreenGlobal();
        globals["frmServCliente"] = screen != nullptr;
        globals["boidcriado"] = package.BoolGlobal("boidcriado");
        globals["bopesq"] = package.BoolGlobal("bopesq");
        globals["boDelTodos"] = package.BoolGlobal("boDelTodos");
        globals["stnmservico"] = U(package.TextGlobal("stnmservico"));
        globals["stServFili"] = U(package.TextGlobal("stServFili"));
    }
    d["globals"] = globals;
    d["cursor"] = Application().Cursor();
    TCustomForm* active = Application().ActiveForm();
    d["activeForm"] = active != nullptr ? json(active->Name()) : json(nullptr);
    json forms = json::array();
    for (TCustomForm* f : Application().Forms()) {
        forms.push_back(f->Name());
    }
    d["forms"] = forms;
    d["screen"] = screen != nullptr ? DumpForm(screen) : json(nullptr);
    return d;
}
