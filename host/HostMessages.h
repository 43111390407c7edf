#pragma once
// The texts the shell's libraries show the operator (connection failures,
// the application server's faults), in the session's language: Portuguese,
// the package's own, unless the session's Language names English. Each
// language is a table of lines "key|text" carried inside the library
// (Mensagens.txt, Mensagens.en.txt); %1, %2... in a text stand for the
// arguments. Texts are Windows-1252, as everything the operator reads.
//
// Failure behaviour: a key neither table knows gives the key itself followed
// by the arguments, so a message is never lost for a missing line.
#include <string>
#include <vector>

class HostMessages {
public:
    // Whether the tables know the key.
    static bool Has(const std::string& key);
    static std::string Text(const std::string& key, const std::vector<std::string>& args = {});
    // Whether the session asks for English.
    static bool English();
};
