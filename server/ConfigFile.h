#pragma once
// Where a key of the server's configuration file (INI or TOML) is written,
// so that a key the server does not know is named with its file and line.
//
// Failure behaviour: LineOf never throws; a key it cannot find is line 0.
#include <optional>
#include <string>

class ConfigFile {
public:
    // The 1-based line of the first "key = value" (or bare "key") whose
    // section and key, joined by '.', are fullName ("listen",
    // "seed.local-db"), or, with anySection, whose key is fullName in any
    // section; 0 when none.
    static int LineOf(const std::string& text, const std::string& fullName, bool anySection = false);

    // A key given twice in one section, which would silently keep one of the
    // two values.
    struct Repeated {
        std::string fullName;
        int first = 0;
        int second = 0;
    };
    // The first key given again in text, if any.
    static std::optional<Repeated> FirstRepeated(const std::string& text);
};
