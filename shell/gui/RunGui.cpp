#include "shell/gui/RunGui.h"

#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomForm.h"
#include "shell/PackageHost.h"
#include "shell/gui/GuiShellUi.h"
#include "shell/gui/ShellTexts.h"
#include "shell/gui/ShellWindow.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

int RunGui(PackageHost& package, bool openAtStart, int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    if (!ShellTexts::InstallQtTranslations()) {
        std::fprintf(stderr, "shell: Qt's translations (qt6-translations-l10n) are not installed; "
                             "Qt's own buttons and menus stay in English\n");
    }
    QApplication::setApplicationDisplayName(ShellTexts::Text(ShellTexts::kApplicationName));
    // Where QSettings keeps the main window's place.
    QApplication::setOrganizationName(QString::fromLatin1(ShellTexts::kSettingsOrganization));
    QApplication::setApplicationName(QString::fromLatin1(ShellTexts::kSettingsApplication));
    int status = 0;
    {
        ShellWindow window(&package);
        GuiShellUi ui(&window);
        if (TCustomForm* main = Application().MainForm()) {
            Application().Dispatch([main] { main->Show(); });
        }
        window.show();
        if (openAtStart) {
            QTimer::singleShot(0, &window, [&window] { window.OpenScreen(); });
        }
        status = app.exec();
        // The screens' windows go before the shell's windows and the
        // application; the model forms stay for the package to close.
    }
    return status;
}
