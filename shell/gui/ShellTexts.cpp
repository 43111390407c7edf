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
    // The session language's table names Qt's catalogue; none means Qt's own English.
    std::string catalogue = HostMessages::Text(kQtTranslations);
    if (catalogue.empty()) {
        return true;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(GuiConvert::ToQt(catalogue), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
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
