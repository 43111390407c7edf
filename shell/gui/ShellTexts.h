#pragma once
// The texts of the shell's own frame (its menu, status bar and window
// titles). Screens bring theirs in their form resources; these belong to the
// frame itself and are kept together here, in UTF-8.
namespace ShellTexts {

inline constexpr const char* kApplicationName = "Serviço por Cliente";
inline constexpr const char* kMenuModules = "&Cadastros";
inline constexpr const char* kOpenScreen = "&Serviço por Cliente";
inline constexpr const char* kQuit = "Sai&r";
inline constexpr const char* kMenuWindow = "&Janela";
inline constexpr const char* kCascade = "&Cascata";
inline constexpr const char* kTile = "&Lado a lado";
inline constexpr const char* kBranch = "Filial: %1";
inline constexpr const char* kServer = "Servidor: %1:%2";
inline constexpr const char* kErrorTitle = "Erro";
inline constexpr const char* kNoticeTitle = "Aviso";
inline constexpr const char* kSearchTitle = "Procurar";
inline constexpr const char* kSearchPrompt = "&Procurar:";
inline constexpr const char* kLookupPrompt = "&Filtrar:";
inline constexpr const char* kWaitTitle = "Aguarde";
// Names of the settings' folder and file, never shown.
inline constexpr const char* kSettingsOrganization = "servcliente";
inline constexpr const char* kSettingsApplication = "shell";

} // namespace ShellTexts
