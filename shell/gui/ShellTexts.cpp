#include "shell/gui/ShellTexts.h"

#include "host/HostMessages.h"
#include "shell/gui/GuiConvert.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

bool ShellTexts::InstallQtTranslations()
{
    static QPointer<QTranslator> installed;
    if (installed != nullptr) {
        QCoreApplication::removeTranslator(installed);
        delete installed.data();
    }
    if (HostMessages::English()) {
        return true;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_pt_BR"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

QString ShellTexts::Text(const char* key, const std::vector<std::string>& args)
{
    return GuiConvert::ToQt(HostMessages::Text(key, args));
}
