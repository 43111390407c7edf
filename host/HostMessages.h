#pragma once
// The texts the shell's libraries show the operator (connection failures,
// the application server's faults), in the session's language. Each language
// is a table of lines "key|text" carried inside the library: Mensagens.txt,
// Portuguese, the package's own, and Mensagens.<code>.txt for each translated
// language of cmake/Languages.txt. The session's Language takes the table of
// the longest code it begins with, ignoring case ("en_US" and "EN" English);
// a Language no code begins with takes Portuguese. %1, %2... in a text stand
// for the arguments. Texts are Windows-1252, as everything the operator reads.
//
// Failure behaviour: a key the table does not know gives the key itself
// followed by the arguments, so a message is never lost for a missing line.
#include <string>
#include <vector>

class HostMessages {
public:
    // Whether the session language's table knows the key.
    static bool Has(const std::string& key);
    static std::string Text(const std::string& key, const std::vector<std::string>& args = {});
    // The code of the session language's table ("en"), empty for Portuguese.
    static std::string Language();
};
