#pragma once
// The text of one entry of the possible-services list: the service code, " - ",
// the service name. Readers take the code from characters 1 to 5 and the name
// from character 9, so the line keeps those fixed positions for the
// five-character codes the data sets define.
//
// A code shorter than five characters is filled out with blanks on the right
// to five when the line is built, so its separator and name stay at their
// positions; reading such a line back gives the code with the filling blanks
// dropped. A code longer than five characters cannot be represented and is
// refused.
#include <string>

class ServiceLine {
public:
    static constexpr size_t kCodeWidth = 5;
    static constexpr size_t kNameStart = 8; // 0-based: character 9
    static constexpr size_t kNameWidth = 40;

    // Throws EInvalidOperation for a code longer than five characters.
    static std::string Build(const std::string& code, const std::string& name);
    // Characters 1 to 5, without the blanks that filled out a short code.
    static std::string Code(const std::string& line);
    // Up to 40 characters from character 9; empty for a line of 8 characters
    // or fewer.
    static std::string Name(const std::string& line);
};
