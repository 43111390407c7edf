#include "screen/assign/ServiceLine.h"

#include "platform/core/Exception.h"

std::string ServiceLine::Build(const std::string& code, const std::string& name)
{
    if (code.size() > kCodeWidth) {
        throw EInvalidOperation("Service code '" + code + "' is longer than " + std::to_string(kCodeWidth) +
                                " characters");
    }
    std::string line;
    line.reserve(kNameStart + name.size());
    line = code;
    line.append(kCodeWidth - code.size(), ' ');
    line += " - ";
    line += name;
    return line;
}

std::string ServiceLine::Code(const std::string& line)
{
    std::string code = line.substr(0, kCodeWidth);
    while (!code.empty() && code.back() == ' ') {
        code.pop_back();
    }
    return code;
}

std::string ServiceLine::Name(const std::string& line)
{
    if (line.size() <= kNameStart) {
        return "";
    }
    return line.substr(kNameStart, kNameWidth);
}
