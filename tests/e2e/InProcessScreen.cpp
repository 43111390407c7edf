#include "InProcessScreen.h"

#include "host/Session.h"
#include "host/TdtmDBGeral.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TForm.h"
#include "platform/core/ErrorSink.h"

#include <fstream>
#include <sstream>

void InProcessScreen::SetUp()
{
    ShellTest::SetUp();
    Session::Current().LoadFromFile(sessionPath_);
    TdtmDBGeral::Instance().SetDatabase(localDbPath_);
    auto* main = new TForm(&Application());
    main->SetName("frmPrincipal");
    main->SetFormStyle(TFormStyle::fsMDIForm);
    main->Show();
    Application().SetMainForm(main);
    main_ = main;
    ErrorSink::Set([this](const std::string& text) { errors_.push_back(text); });
}

void InProcessScreen::TearDown()
{
    if (package_.Loaded()) {
        for (TCustomForm* f : std::vector<TCustomForm*>(Application().Forms())) {
            if (f != main_) {
                delete f;
            }
        }
        package_.Unload();
    }
    delete main_;
    ErrorSink::Set(nullptr);
    TdtmDBGeral::Instance().Close();
    ShellTest::TearDown();
}

void InProcessScreen::Open()
{
    if (!package_.Loaded()) {
        package_.Load(std::string(TEST_BIN_DIR) + "/PKG_ZEL31500.so", "pt_BR");
    }
    auto iniProc = reinterpret_cast<void (*)()>(package_.Resolve("IniProc"));
    Application().Dispatch(iniProc);
}

TCustomForm* InProcessScreen::Screen() const
{
    auto** ref = static_cast<TCustomForm**>(package_.Find("frmServCliente"));
    return ref == nullptr ? nullptr : *ref;
}

TComponent* InProcessScreen::Find(const std::string& name) const
{
    TCustomForm* screen = Screen();
    if (screen == nullptr) {
        return nullptr;
    }
    if (name == screen->Name()) {
        return screen;
    }
    return screen->FindComponent(name);
}

int InProcessScreen::ConnectionsTo(int port) const
{
    std::ifstream f("/proc/net/tcp");
    std::string line;
    std::getline(f, line); // header
    int n = 0;
    char hexPort[8];
    std::snprintf(hexPort, sizeof hexPort, "%04X", port);
    while (std::getline(f, line)) {
        std::istringstream in(line);
        std::string slot, local, remote, state;
        in >> slot >> local >> remote >> state;
        if (remote.size() > 5 && remote.substr(remote.size() - 4) == hexPort && state == "01") {
            ++n;
        }
    }
    return n;
}
