#include "shell/ScriptDriver.h"

#include "host/HostMessages.h"
#include "host/Session.h"
#include "host/ShellRoutines.h"
#include "host/TNetConnection.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomEdit.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TForm.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMenuItem.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/core/Cp1252.h"
#include "platform/core/ErrorSink.h"
#include "platform/core/Exception.h"
#include "platform/data/TDataSet.h"
#include "platform/data/TField.h"
#include "platform/net/CallTrace.h"
#include "shell/ScreenDump.h"
#include "shell/ScriptLine.h"
#include "shell/SearchMatch.h"
#include "shell/ShellKeys.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

using nlohmann::json;

namespace {

std::string U(const std::string& cp1252)
{
    return Cp1252::ToUtf8Lossy(cp1252);
}

json VariantJson(const Variant& v)
{
    switch (v.GetKind()) {
    case Variant::Kind::Null: return nullptr;
    case Variant::Kind::Bool: return v.AsBool();
    case Variant::Kind::Int: return v.AsInt();
    case Variant::Kind::String: return U(v.AsString());
    case Variant::Kind::Packet: {
        const DataPacket& p = *v.AsPacket();
        json rows = json::array();
        static const char* status[] = {"unmodified", "modified", "inserted", "deleted"};
        for (const auto& r : p.rows) {
            json values = json::array();
            for (const auto& val : r.values) {
                values.push_back(val ? json(U(*val)) : json(nullptr));
            }
            json row = {{"status", status[static_cast<int>(r.status) & 3]}, {"values", values}};
            if (!r.original.empty()) {
                json orig = json::array();
                for (const auto& val : r.original) {
                    orig.push_back(val ? json(U(*val)) : json(nullptr));
                }
                row["original"] = orig;
            }
            rows.push_back(row);
        }
        json fields = json::array();
        for (const auto& f : p.fields) {
            fields.push_back(f.name);
        }
        return json{{"fields", fields}, {"rows", rows}};
    }
    }
    return nullptr;
}

std::string Hex(const std::string& bytes)
{
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        if (!out.empty()) {
            out += ' ';
        }
        out += buf;
    }
    return out;
}

// Clicks the menu entry or speed button of form whose shortcut is keys
// ("Ctrl+Z"), as the desktop shell's shortcuts do; one that is disabled
// takes no click. False when none has that shortcut.
bool RunShortCut(TCustomForm& form, const std::string& keys)
{
    auto same = [&keys](const std::string& shortCut) {
        return shortCut.size() == keys.size() &&
               std::equal(shortCut.begin(), shortCut.end(), keys.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
               });
    };
    for (int i = 0; i < form.ComponentCount(); ++i) {
        TComponent* c = form.Components(i);
        if (auto* item = dynamic_cast<TMenuItem*>(c); item != nullptr && same(item->ShortCut())) {
            Application().Dispatch([item] { item->Click(); });
            return true;
        }
        if (auto* button = dynamic_cast<TSpeedButton*>(c); button != nullptr && same(button->ShortCut())) {
            Application().Dispatch([button] { button->OperatorClick(); });
            return true;
        }
    }
    return false;
}

bool ParseInt(const std::string& s, int& out)
{
    try {
        size_t used = 0;
        out = std::stoi(s, &used);
        return used == s.size();
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

ScriptDriver::ScriptDriver(std::istream& in, std::ostream& out, PackageHost& package, bool trace)
    : in_(in), out_(out), package_(package)
{
    previousUi_ = IShellUi::SetCurrent(this);
    ErrorSink::Set([this](const std::string& text) { ShowError(text); });
    if (trace) {
        CallTrace::Set(
            [this](const std::string& method, const std::string& descriptor, const std::vector<Variant>& args) {
                json a = json::array();
                for (const auto& v : args) {
                    a.push_back(VariantJson(v));
                }
                Emit({{"call", method}, {"descriptor", Hex(descriptor)}, {"args", a}});
            });
    }
}

ScriptDriver::~ScriptDriver()
{
    CallTrace::Set(nullptr);
    ErrorSink::Set(nullptr);
    IShellUi::SetCurrent(previousUi_);
}

void ScriptDriver::Emit(const json& line)
{
    out_ << line.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
    out_.flush();
}

void ScriptDriver::ScriptError(const std::string& text)
{
    Emit({{"script-error", text}});
}

void ScriptDriver::ShowError(const std::string& text)
{
    Emit({{"error", U(text)}});
}

void ScriptDriver::Run()
{
    RunUntil([] { return false; });
    Application().ProcessReleases();
}

bool ScriptDriver::RunUntil(const std::function<bool()>& done)
{
    std::string line;
    while (!done()) {
        if (!std::getline(in_, line)) {
            return false;
        }
        std::vector<std::string> words;
        try {
            words = ScriptLine::Split(line);
        } catch (const std::exception& e) {
            ScriptError(std::string(e.what()) + ": " + line);
            continue;
        }
        if (words.empty()) {
            continue;
        }
        try {
            for (auto& w : words) {
                w = Cp1252::FromUtf8(w);
            }
        } catch (const std::exception& e) {
            ScriptError(e.what());
            continue;
        }
        DeliverUpdates();
        Execute(words);
        deliveredMark_ = TNetConnection::Delivered();
        out_.flush();
    }
    return true;
}

TCustomForm* ScriptDriver::TargetForm() const
{
    if (search_ != nullptr && search_->form != nullptr) {
        return search_->form;
    }
    TCustomForm* screen = package_.Loaded() ? package_.ScreenGlobal() : nullptr;
    if (screen != nullptr) {
        return screen;
    }
    return Application().ActiveForm();
}

TComponent* ScriptDriver::FindNamed(const std::string& name) const
{
    if (TCustomForm* f = TargetForm()) {
        if (TComponent* c = f->FindComponent(name)) {
            return c;
        }
    }
    for (TCustomForm* f : Application().Forms()) {
        if (TComponent* c = f->FindComponent(name)) {
            return c;
        }
    }
    return nullptr;
}

// A command of the script: its name, how many words it takes at the least
// (itself included), and what runs it.
struct ScriptDriver::Command {
    const char* name;
    size_t words;
    void (ScriptDriver::*run)(const std::vector<std::string>& w);
};

const ScriptDriver::Command* ScriptDriver::FindCommand(const std::string& name)
{
    static const Command commands[] = {
        {"open", 1, &ScriptDriver::CmdOpen},
        {"close", 1, &ScriptDriver::CmdClose},
        {"unload", 1, &ScriptDriver::CmdUnload},
        {"focus", 2, &ScriptDriver::CmdFocus},
        {"tab", 1, &ScriptDriver::CmdTab},
        {"backtab", 1, &ScriptDriver::CmdTab},
        {"type", 2, &ScriptDriver::CmdType},
        {"key", 2, &ScriptDriver::CmdKey},
        {"click", 2, &ScriptDriver::CmdClick},
        {"dblclick", 2, &ScriptDriver::CmdDblClick},
        {"listclick", 3, &ScriptDriver::CmdListClick},
        {"cellclick", 3, &ScriptDriver::CmdCellClick},
        {"pick", 2, &ScriptDriver::CmdPick},
        {"answer", 2, &ScriptDriver::CmdAnswer},
        {"wait", 2, &ScriptDriver::CmdWait},
        {"cancel", 2, &ScriptDriver::CmdCancel},
        {"search", 2, &ScriptDriver::CmdSearch},
        {"windowstate", 2, &ScriptDriver::CmdWindowState},
        {"session", 3, &ScriptDriver::CmdSession},
        {"dump", 1, &ScriptDriver::CmdDump},
    };
    for (const Command& command : commands) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

void ScriptDriver::Execute(const std::vector<std::string>& w)
{
    const Command* command = FindCommand(w[0]);
    if (command == nullptr) {
        ScriptError("unknown command: " + U(w[0]));
        return;
    }
    if (w.size() < command->words) {
        ScriptError(w[0] + ": missing argument");
        return;
    }
    (this->*command->run)(w);
}

void ScriptDriver::CmdOpen(const std::vector<std::string>&)
{
    Application().Dispatch([this] { package_.Open(); });
}

void ScriptDriver::CmdUnload(const std::vector<std::string>&)
{
    Application().Dispatch([this] { package_.Unload(); });
}

void ScriptDriver::CmdTab(const std::vector<std::string>& w)
{
    TCustomForm* f = TargetForm();
    if (f == nullptr) {
        ScriptError("no form to tab in");
        return;
    }
    Application().Dispatch([f, forward = w[0] == "tab"] { f->SelectNext(f->ActiveControl(), forward); });
}

void ScriptDriver::CmdSession(const std::vector<std::string>& w)
{
    try {
        Session::Current().Set(w[1], w[2]);
    } catch (const std::exception& e) {
        ScriptError(U(e.what()));
    }
}

void ScriptDriver::CmdDump(const std::vector<std::string>&)
{
    Emit({{"dump", ScreenDump::Dump(package_)}});
}

void ScriptDriver::CmdClose(const std::vector<std::string>&)
{
    TCustomForm* screen = package_.Loaded() ? package_.ScreenGlobal() : nullptr;
    if (screen == nullptr) {
        ScriptError("close: no screen is open");
        return;
    }
    Application().Dispatch([screen] { screen->Close(); });
}

void ScriptDriver::CmdFocus(const std::vector<std::string>& w)
{
    auto* control = dynamic_cast<TWinControl*>(FindNamed(w[1]));
    if (control == nullptr) {
        ScriptError("focus: no control named " + U(w[1]));
        return;
    }
    if (!control->CanFocus()) {
        ScriptError("focus: " + U(w[1]) + " cannot take the focus");
        return;
    }
    Application().Dispatch([control] {
        control->SetFocus();
        // Brought there by Tab: an edit's whole text is selected, so that
        // typing replaces it.
        if (control->Focused()) {
            if (auto* edit = dynamic_cast<TCustomEdit*>(control)) {
                edit->SelectAll();
            }
        }
    });
}

void ScriptDriver::CmdType(const std::vector<std::string>& w)
{
    std::string text = w[1];
    for (size_t i = 2; i < w.size(); ++i) {
        text += " " + w[i];
    }
    if (lookup_ != nullptr) {
        FilterLookup(lookup_->filter + text);
        return;
    }
    TCustomForm* f = TargetForm();
    if (f == nullptr) {
        ScriptError("type: no form");
        return;
    }
    for (char c : text) {
        Application().Dispatch([f, c] { f->DispatchKey(c); });
    }
}

void ScriptDriver::CmdKey(const std::vector<std::string>& w)
{
    const std::string& k = w[1];
    if (lookup_ != nullptr) {
        // The lookup list's keys: Backspace widens the filter, Enter picks
        // the first row left, Escape cancels.
        if (k == "Backspace") {
            if (!lookup_->filter.empty()) {
                FilterLookup(lookup_->filter.substr(0, lookup_->filter.size() - 1));
            }
        } else if (k == "Enter") {
            if (!lookup_->shown.empty()) {
                lookup_->answered = true;
                lookup_->pick = lookup_->shown.front();
            }
        } else if (k == "Escape") {
            lookup_->answered = true;
            lookup_->pick.reset();
        } else {
            ScriptError("key: " + U(k) + " does nothing in a lookup list");
        }
        return;
    }
    TCustomForm* f = TargetForm();
    if (f == nullptr) {
        ScriptError("key: no form");
        return;
    }
    if (k == "Delete") {
        Application().Dispatch([f] { f->DispatchDelete(); });
        return;
    }
    if (k == "F6") {
        Application().Dispatch([f] { ShellKeys::FocusNextList(*f); });
        return;
    }
    if (k == "F2" || k == "Alt+Down") {
        Application().Dispatch([f] { ShellKeys::OpenLookup(*f); });
        return;
    }
    if (k.size() > 1 && k.find('+') != std::string::npos) {
        if (!RunShortCut(*f, k)) {
            ScriptError("key: no command has the shortcut " + U(k));
        }
        return;
    }
    char c = 0;
    if (k == "Space") {
        c = ' ';
    } else if (k == "Tab") {
        c = '\t';
    } else if (k == "Backspace") {
        c = '\b';
    } else if (k == "Enter") {
        c = '\r';
    } else if (k == "Escape") {
        c = 27;
    } else if (k.size() == 1) {
        c = k[0];
    } else {
        ScriptError("key: unknown key " + U(k));
        return;
    }
    Application().Dispatch([f, c] { f->DispatchKey(c); });
}

void ScriptDriver::CmdClick(const std::vector<std::string>& w)
{
    TComponent* c = FindNamed(w[1]);
    if (auto* button = dynamic_cast<TSpeedButton*>(c)) {
        Application().Dispatch([button] { button->OperatorClick(); });
    } else if (auto* item = dynamic_cast<TMenuItem*>(c)) {
        Application().Dispatch([item] { item->Click(); });
    } else if (auto* control = dynamic_cast<TControl*>(c)) {
        Application().Dispatch([control] {
            if (control->IsEnabledInChain()) {
                if (auto* wc = dynamic_cast<TWinControl*>(control); wc != nullptr && wc->CanFocus()) {
                    wc->SetFocus();
                }
                control->Click();
            }
        });
    } else {
        ScriptError("click: no button or menu entry named " + U(w[1]));
    }
}

void ScriptDriver::CmdDblClick(const std::vector<std::string>& w)
{
    auto* control = dynamic_cast<TControl*>(FindNamed(w[1]));
    if (control == nullptr) {
        ScriptError("dblclick: no control named " + U(w[1]));
        return;
    }
    Application().Dispatch([control] {
        if (!control->IsEnabledInChain()) {
            return;
        }
        if (auto* wc = dynamic_cast<TWinControl*>(control); wc != nullptr && wc->CanFocus()) {
            wc->SetFocus();
        }
        control->DblClick();
    });
}

void ScriptDriver::CmdListClick(const std::vector<std::string>& w)
{
    auto* list = dynamic_cast<TListBox*>(FindNamed(w[1]));
    int index = 0;
    if (list == nullptr) {
        ScriptError("listclick: no list named " + U(w[1]));
        return;
    }
    if (!ParseInt(w[2], index) || index < 0 || index >= list->Count()) {
        ScriptError("listclick: no entry " + U(w[2]) + " in " + U(w[1]));
        return;
    }
    TShiftState shift = TShiftState::ssNone;
    if (w.size() > 3) {
        if (w[3] == "ctrl") {
            shift = TShiftState::ssCtrl;
        } else if (w[3] == "shift") {
            shift = TShiftState::ssShift;
        } else {
            ScriptError("listclick: unknown modifier " + U(w[3]));
            return;
        }
    }
    Application().Dispatch([list, index, shift] { list->MouseClick(index, shift); });
}

void ScriptDriver::CmdCellClick(const std::vector<std::string>& w)
{
    auto* grid = dynamic_cast<TDBGrid*>(FindNamed(w[1]));
    int row = 0;
    if (grid == nullptr) {
        ScriptError("cellclick: no grid named " + U(w[1]));
        return;
    }
    TDataSet* ds = grid->ShownDataSet();
    if (!ParseInt(w[2], row) || ds == nullptr || row < 0 || row >= ds->RecordCount()) {
        ScriptError("cellclick: no row " + U(w[2]) + " in " + U(w[1]));
        return;
    }
    Application().Dispatch([grid, row] { grid->CellClick(row); });
}

void ScriptDriver::CmdPick(const std::vector<std::string>& w)
{
    if (lookup_ == nullptr) {
        ScriptError("pick: no lookup list is open");
        return;
    }
    if (w[1] == "cancel") {
        lookup_->answered = true;
        lookup_->pick.reset();
        return;
    }
    int row = 0;
    if (!ParseInt(w[1], row) || row < 0 || row >= static_cast<int>(lookup_->shown.size())) {
        ScriptError("pick: no row " + U(w[1]) + " in the lookup list");
        return;
    }
    lookup_->answered = true;
    lookup_->pick = lookup_->shown[static_cast<size_t>(row)];
}

void ScriptDriver::DeliverUpdates()
{
    if (lookup_ != nullptr || search_ != nullptr || question_ != nullptr || progressDepth_ > 0) {
        return;
    }
    Application().Dispatch([] { TNetConnection::DeliverUpdates(); });
}

void ScriptDriver::CmdWait(const std::vector<std::string>& w)
{
    int ms = 0;
    if (!ParseInt(w[1], ms) || ms < 0) {
        ScriptError("wait: " + U(w[1]) + " is no number of milliseconds");
        return;
    }
    // An update delivered since the last command, just before this one
    // too, is the one waited for.
    const int before = deliveredMark_;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        DeliverUpdates();
        if (TNetConnection::Delivered() != before) {
            Emit({{"wait", "update"}});
            return;
        }
        if (std::chrono::steady_clock::now() >= until) {
            Emit({{"wait", "timeout"}});
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void ScriptDriver::CmdCancel(const std::vector<std::string>& w)
{
    int items = 0;
    if (!ParseInt(w[1], items) || items < 0) {
        ScriptError("cancel: " + U(w[1]) + " is no number of items");
        return;
    }
    cancelAfter_ = items;
}

void ScriptDriver::ShowNote(const std::string& text)
{
    Emit({{"note", U(text)}});
}

void ScriptDriver::CmdAnswer(const std::vector<std::string>& w)
{
    if (question_ == nullptr) {
        ScriptError("answer: no question is open");
        return;
    }
    if (w[1] == "cancel") {
        question_->answer = question_->escapeChoice;
        return;
    }
    int choice = 0;
    if (!ParseInt(w[1], choice) || choice < 0 || choice >= static_cast<int>(question_->choices)) {
        ScriptError("answer: no choice " + U(w[1]) + " in the question");
        return;
    }
    question_->answer = choice;
}

void ScriptDriver::CmdSearch(const std::vector<std::string>& w)
{
    if (search_ == nullptr) {
        ScriptError("search: no search window is open");
        return;
    }
    if (w[1] == "close" && w.size() == 2) {
        search_->closed = true;
        return;
    }
    std::string text = w[1];
    for (size_t i = 2; i < w.size(); ++i) {
        text += " " + w[i];
    }
    TDataSet* ds = search_->data;
    Application().Dispatch([ds, text] {
        int row = SearchMatch::FirstMatch(ds, text);
        if (row >= 0) {
            SearchMatch::MoveTo(ds, row);
        }
    });
}

void ScriptDriver::CmdWindowState(const std::vector<std::string>& w)
{
    TCustomForm* screen = package_.Loaded() ? package_.ScreenGlobal() : nullptr;
    if (screen == nullptr) {
        ScriptError("windowstate: no screen is open");
        return;
    }
    TWindowState state;
    if (w[1] == "normal") {
        state = TWindowState::wsNormal;
    } else if (w[1] == "minimized") {
        state = TWindowState::wsMinimized;
    } else if (w[1] == "maximized") {
        state = TWindowState::wsMaximized;
    } else {
        ScriptError("windowstate: unknown state " + U(w[1]));
        return;
    }
    Application().Dispatch([screen, state] { screen->SetWindowState(state); });
}

// IShellUi

void ScriptDriver::ShowProgress(TComponent* /*owner*/, int /*kind*/, const std::string& text)
{
    ++progressDepth_;
    progressItem_ = 0;
    Emit({{"progress", "open"}, {"text", U(text)}});
}

void ScriptDriver::HideProgress()
{
    if (progressDepth_ > 0) {
        --progressDepth_;
    }
    if (cancelOffered_) {
        cancelOffered_ = false;
        cancelPressed_ = false;
        cancelAfter_.reset();
    }
    progressItem_ = 0;
    Emit({{"progress", "close"}});
}

void ScriptDriver::ShowProgressCount(int done, int /*total*/)
{
    progressItem_ = done;
}

void ScriptDriver::OfferProgressCancel()
{
    cancelOffered_ = true;
}

bool ScriptDriver::ProgressCancelled()
{
    if (!cancelPressed_ && cancelOffered_ && cancelAfter_ && progressItem_ > *cancelAfter_) {
        cancelPressed_ = true;
        Emit({{"progress", "cancel"}, {"done", progressItem_ - 1}});
    }
    return cancelPressed_;
}

int ScriptDriver::Ask(TComponent* /*owner*/, const std::string& text, const std::vector<std::string>& choices,
                      int escapeChoice)
{
    json shown = json::array();
    for (const std::string& choice : choices) {
        shown.push_back(U(choice));
    }
    Emit({{"question", U(text)}, {"choices", shown}});
    Question question{choices.size(), escapeChoice, std::nullopt};
    Question* outer = question_;
    question_ = &question;
    // The input ending leaves the question as closed without a choice.
    RunUntil([&question] { return question.answer.has_value(); });
    question_ = outer;
    return question.answer.value_or(escapeChoice);
}

std::optional<int> ScriptDriver::PickRow(TComponent* Sender, const std::string& /*title*/, TDataSet* DataSet)
{
    json rows = json::array();
    std::vector<TField*> visible;
    for (TField* f : DataSet->Fields()) {
        if (f->Visible()) {
            visible.push_back(f);
        }
    }
    int count = 0;
    {
        DataSet->DisableControls();
        int keep = DataSet->RecNo();
        DataSet->First();
        while (!DataSet->Eof()) {
            json row = json::array();
            for (TField* f : visible) {
                row.push_back(U(f->AsString()));
            }
            rows.push_back(row);
            ++count;
            DataSet->Next();
        }
        if (keep >= 0 && keep < DataSet->RecordCount()) {
            DataSet->SetRecNo(keep);
        }
        DataSet->EnableControls();
    }
    Lookup lookup;
    lookup.name = Sender != nullptr ? Sender->Name() : "";
    lookup.data = DataSet;
    lookup.rows = std::move(rows);
    for (int r = 0; r < count; ++r) {
        lookup.shown.push_back(r);
    }
    Lookup* outer = lookup_;
    lookup_ = &lookup;
    EmitLookup();
    RunUntil([&lookup] { return lookup.answered; });
    lookup_ = outer;
    return lookup.pick;
}

void ScriptDriver::FilterLookup(const std::string& filter)
{
    lookup_->filter = filter;
    lookup_->shown = SearchMatch::MatchingRows(lookup_->data, filter);
    EmitLookup();
}

void ScriptDriver::EmitLookup()
{
    json rows = json::array();
    for (int r : lookup_->shown) {
        if (r >= 0 && r < static_cast<int>(lookup_->rows.size())) {
            rows.push_back(lookup_->rows[static_cast<size_t>(r)]);
        }
    }
    json line = {{"lookup", lookup_->name}, {"rows", rows}};
    if (!lookup_->filter.empty()) {
        line["filter"] = U(lookup_->filter);
    }
    Emit(line);
}

void ScriptDriver::ShowEmptyLookup(TComponent* /*Sender*/, const std::string& text)
{
    Emit({{"lookup-empty", U(text)}});
}

void ScriptDriver::Search(TDataSet* DataSet)
{
    // The search window is a real form, so that it is the application's active
    // form while it is open.
    TForm* window = nullptr;
    window = new TForm(&Application());
    window->SetName("frmProcurar");
    window->SetCaption(HostMessages::Text("shell.procurar"));
    SearchWindow search;
    search.data = DataSet;
    search.form = window;
    SearchWindow* outer = search_;
    search_ = &search;
    TCustomForm* previous = frmProcurar;
    frmProcurar = window;
    Emit({{"search", "open"}});
    try {
        window->Show();
        RunUntil([&search] { return search.closed; });
    } catch (...) {
        frmProcurar = previous;
        search_ = outer;
        delete window;
        throw;
    }
    frmProcurar = previous;
    search_ = outer;
    window->Hide();
    delete window;
    Emit({{"search", "close"}});
}
