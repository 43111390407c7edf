// The desktop shell: `shell --headless --session FILE [--script FILE] [--trace]`
// drives the screen from a script; without --headless it opens the main window.
#include "host/Session.h"
#include "host/TdtmDBGeral.h"
#include "platform/controls/TApplication.h"
#include "platform/core/Cp1252.h"
#include "shell/PackageHost.h"
#include "shell/ScriptDriver.h"
#include "shell/ShellMainForm.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <unistd.h>

#ifdef SERVCLIENTE_GUI
int RunGui(PackageHost& package, bool openAtStart, int argc, char** argv);
#endif

namespace {

std::string ExeDir()
{
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : p.parent_path().string();
}

// The screen package beside the program (the build tree), else in the
// project's library folder of an installed tree, found from the program's own
// place so that the tree works wherever it is unpacked.
std::string DefaultPackagePath()
{
    const std::string beside = ExeDir() + "/PKG_ZEL31500.so";
    std::error_code ec;
    if (std::filesystem::exists(beside, ec)) {
        return beside;
    }
    return ExeDir() + "/" SERVCLIENTE_LIB_FROM_BIN "/PKG_ZEL31500.so";
}

// The operator's own session file when none is named (a desktop menu starts
// the shell without arguments).
std::string DefaultSessionFile()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string folder = config && *config ? config : std::string(home ? home : ".") + "/.config";
    return folder + "/servcliente/session.ini";
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Serviço por Cliente shell"};
    bool headless = false;
    bool trace = false;
    bool openAtStart = false;
    std::string sessionFile = DefaultSessionFile();
    std::string scriptFile;
    std::string packagePath = DefaultPackagePath();
    app.set_version_flag("--version", SERVCLIENTE_VERSION);
    app.add_flag("--headless", headless, "Drive the screen from a script, no window");
    app.add_option("--session", sessionFile, "Session file (INI; default ~/.config/servcliente/session.ini)");
    app.add_option("--script", scriptFile, "Script file (default: standard input)");
    app.add_flag("--trace", trace, "Print every remote call as it is sent");
    app.add_flag("--open", openAtStart, "Open the screen at start");
    app.add_option("--package", packagePath,
                   "The screen package (default: beside the shell, else in its library "
                   "folder)");
    CLI11_PARSE(app, argc, argv);

    try {
        Session::Current().LoadFromFile(sessionFile);
        for (const auto& warning : Session::Current().Warnings()) {
            std::cerr << "shell: warning: " << Cp1252::ToUtf8Lossy(warning) << "\n";
        }
        TdtmDBGeral::Instance().SetDatabase(Cp1252::ToUtf8(Session::Current().LocalDatabase()));
    } catch (const std::exception& e) {
        std::string text = e.what();
        try {
            text = Cp1252::ToUtf8(text);
        } catch (const std::exception&) {
        }
        std::cerr << "shell: " << text << "\n";
        return 2;
    }

    auto* mainForm = new ShellMainForm(&Application());
    Application().SetMainForm(mainForm);
    int status = 0;
    {
        PackageHost package(packagePath);
        if (headless) {
            mainForm->Show();
            std::ifstream file;
            std::istream* in = &std::cin;
            if (!scriptFile.empty()) {
                file.open(scriptFile);
                if (!file) {
                    std::cerr << "shell: cannot read script " << scriptFile << "\n";
                    return 2;
                }
                in = &file;
            }
            ScriptDriver driver(*in, std::cout, package, trace);
            driver.Run();
        } else {
#ifdef SERVCLIENTE_GUI
            status = RunGui(package, openAtStart, argc, argv);
#else
            std::cerr << "shell: built without the GUI; use --headless\n";
            status = 2;
#endif
        }
    }
    std::cout.flush();
    // Skip static destruction: the package is gone and the process ends here.
    _exit(status);
}
