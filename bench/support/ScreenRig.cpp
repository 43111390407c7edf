#include "bench/support/ScreenRig.h"

#include "bench/support/BenchData.h"
#include "host/Session.h"
#include "host/TdtmDBGeral.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomEdit.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TForm.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/controls/TWinControl.h"
#include "platform/core/Cp1252.h"
#include "platform/core/ErrorSink.h"
#include "platform/core/Exception.h"

#include <filesystem>
#include <fstream>

ScreenRig::ScreenRig(const std::string& dir, int port, const std::string& branch) : dir_(dir)
{
    std::filesystem::create_directories(dir);
    const std::string local = dir + "/local.db";
    BenchData::SeedLocal(local);
    const std::string session = dir + "/session.ini";
    {
        std::ofstream f(session);
        f << "[session]\n"
          << "FiliProc = " << branch << "\nFiliProcFat = " << branch << "\nNomeFiliProcFat = Filial de medida\n"
          << "ModuFili = 0\nModuloAtiv = 15\nWebURL = 127.0.0.1\nWebPort = " << port << "\n"
          << "LocalDatabase = " << local << "\n";
    }
    Session::Current().LoadFromFile(session);
    TdtmDBGeral::Instance().SetDatabase(local);
    previousUi_ = IShellUi::SetCurrent(this);
    ErrorSink::Set([this](const std::string& text) { errors_.push_back(text); });
    main_ = new TForm(&Application());
    main_->SetName("frmPrincipal");
    main_->SetFormStyle(TFormStyle::fsMDIForm);
    main_->Show();
    Application().SetMainForm(main_);
    package_ = std::make_unique<PackageHost>(std::string(BENCH_BIN_DIR) + "/PKG_ZEL31500.so");
}

ScreenRig::~ScreenRig()
{
    if (package_->Loaded()) {
        Application().Dispatch([this] { package_->Unload(); });
    }
    package_.reset();
    Application().SetMainForm(nullptr);
    delete main_;
    Application().ProcessReleases();
    ErrorSink::Set(nullptr);
    IShellUi::SetCurrent(previousUi_);
    TdtmDBGeral::Instance().Close();
}

void ScreenRig::Run(const std::string& what, const std::function<void()>& step)
{
    errors_.clear();
    Application().Dispatch(step);
    if (!errors_.empty()) {
        std::string text;
        try {
            text = Cp1252::ToUtf8(errors_.front());
        } catch (const std::exception&) {
            text = errors_.front();
        }
        throw EInvalidOperation(what + ": the screen reported: " + text);
    }
}

void ScreenRig::Open()
{
    Run("open", [this] { package_->Open(); });
    if (package_->ScreenGlobal() == nullptr) {
        throw EInvalidOperation("open: no screen after IniProc");
    }
}

TComponent* ScreenRig::Find(const std::string& name) const
{
    TCustomForm* screen = package_->Loaded() ? package_->ScreenGlobal() : nullptr;
    if (screen == nullptr) {
        return nullptr;
    }
    return name == screen->Name() ? screen : screen->FindComponent(name);
}

void ScreenRig::Focus(const std::string& name)
{
    auto* control = Get<TWinControl>(name);
    if (control == nullptr) {
        throw EInvalidOperation("focus: no control named " + name);
    }
    Run("focus " + name, [control] { control->SetFocus(); });
}

void ScreenRig::Click(const std::string& name)
{
    auto* button = Get<TSpeedButton>(name);
    if (button == nullptr) {
        throw EInvalidOperation("click: no button named " + name);
    }
    Run("click " + name, [button] { button->OperatorClick(); });
}

void ScreenRig::PickClient()
{
    Click("btnCliente");
}

void ScreenRig::LeaveHeader()
{
    Focus("dbgPadrao");
}

void ScreenRig::EnterHeader()
{
    Focus("medCdFilial");
}

void ScreenRig::ChangeBranch(const std::string& branch)
{
    auto* edit = Get<TCustomEdit>("medCdFilial");
    auto* screen = package_->ScreenGlobal();
    if (edit == nullptr || screen == nullptr) {
        throw EInvalidOperation("change branch: no branch edit");
    }
    Run("focus medCdFilial", [edit] {
        edit->SetFocus();
        edit->SelectAll();
    });
    for (char c : branch) {
        Run("type the branch", [screen, c] { screen->DispatchKey(c); });
    }
    ChooseClient();
}

void ScreenRig::ChooseClient()
{
    PickClient();
    LeaveHeader();
}

void ScreenRig::ShowProgress(TComponent*, int, const std::string&) {}

void ScreenRig::HideProgress() {}

std::optional<int> ScreenRig::PickRow(TComponent*, const std::string&, TDataSet*)
{
    return 0;
}

void ScreenRig::ShowEmptyLookup(TComponent*, const std::string& text)
{
    errors_.push_back(text);
}

void ScreenRig::Search(TDataSet*) {}
