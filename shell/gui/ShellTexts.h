#pragma once
// The texts of the shell's own frame (its menu, status bar and window
// titles), in the session's language. Screens bring theirs in their form
// resources; the frame's are lines of the shell libraries' message tables
// (host/forms/Mensagens.txt and Mensagens.<code>.txt), named by these keys.
#include <QString>

#include <string>
#include <vector>

namespace ShellTexts {

inline constexpr const char* kApplicationName = "shell.aplicacao";
inline constexpr const char* kMenuModules = "shell.menu_cadastros";
inline constexpr const char* kOpenScreen = "shell.abrir_tela";
inline constexpr const char* kQuit = "shell.sair";
inline constexpr const char* kMenuWindow = "shell.menu_janela";
inline constexpr const char* kCascade = "shell.cascata";
inline constexpr const char* kTile = "shell.lado_a_lado";
inline constexpr const char* kBranch = "shell.filial";
inline constexpr const char* kServer = "shell.servidor";
inline constexpr const char* kErrorTitle = "shell.erro";
inline constexpr const char* kNoticeTitle = "shell.aviso";
inline constexpr const char* kSearchTitle = "shell.procurar";
inline constexpr const char* kSearchPrompt = "shell.procurar_rotulo";
inline constexpr const char* kLookupPrompt = "shell.filtrar_rotulo";
inline constexpr const char* kWaitTitle = "shell.aguarde";
inline constexpr const char* kNotStored = "shell.nao_gravado";
inline constexpr const char* kInDoubt = "shell.em_duvida";
inline constexpr const char* kProgressCount = "shell.progresso";
inline constexpr const char* kCancel = "shell.cancelar";
inline constexpr const char* kListKeyHint = "shell.dica_lista";
inline constexpr const char* kLookupKeyHint = "shell.dica_pesquisa";
inline constexpr const char* kSearchNothing = "shell.procurar_nada";
inline constexpr const char* kCountOne = "shell.contagem_um";
inline constexpr const char* kCount = "shell.contagem";
inline constexpr const char* kCountFiltered = "shell.contagem_filtrada";
inline constexpr const char* kListFilter = "shell.filtro_lista";
// Not shown: the catalogue of Qt's translations for the language (Qt's own
// texts), empty for Qt's own English.
inline constexpr const char* kQtTranslations = "shell.traducoes_qt";
// Names of the settings' folder and file, never shown.
inline constexpr const char* kSettingsOrganization = "servcliente";
inline constexpr const char* kSettingsApplication = "shell";

// The text of a key in the session's language, %1, %2... filled from args.
QString Text(const char* key, const std::vector<std::string>& args = {});

// Makes Qt's own texts (the buttons of its dialogs, the edits' context menu,
// the document windows' system menu) follow the session's language: the
// catalogue its message table names (kQtTranslations), Qt's Brazilian
// Portuguese translations for a Portuguese session, none for an English one.
// Called again after the language changed, it replaces what it installed.
// Returns whether Qt's texts are in the session's language (false when the
// translations are not installed: Qt then speaks English).
bool InstallQtTranslations();

} // namespace ShellTexts
