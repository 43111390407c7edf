#include "server/ConfigFile.h"

#include <map>
#include <sstream>

namespace {

std::string Trim(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) {
        return {};
    }
    const auto end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

std::string Unquoted(const std::string& text)
{
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

} // namespace

namespace {

// Calls visit(section, key, line) for each "key = value" of text, in order,
// until it answers true.
template <typename Visit>
void ForEachKey(const std::string& text, Visit visit)
{
    std::istringstream in(text);
    std::string line;
    std::string section;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string content = Trim(line);
        if (content.empty() || content[0] == '#' || content[0] == ';') {
            continue;
        }
        if (content[0] == '[') {
            const auto close = content.find(']');
            section = Trim(content.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            if (section == "default") {
                section.clear();
            }
            continue;
        }
        const std::string key = Unquoted(Trim(content.substr(0, content.find_first_of("=:"))));
        if (visit(section, key, number)) {
            return;
        }
    }
}

} // namespace

std::optional<ConfigFile::Repeated> ConfigFile::FirstRepeated(const std::string& text)
{
    std::map<std::string, int> seen;
    std::optional<Repeated> repeated;
    ForEachKey(text, [&](const std::string& section, const std::string& key, int line) {
        const std::string fullName = section.empty() ? key : section + "." + key;
        const auto [at, first] = seen.emplace(fullName, line);
        if (!first) {
            repeated = Repeated{fullName, at->second, line};
        }
        return repeated.has_value();
    });
    return repeated;
}

int ConfigFile::LineOf(const std::string& text, const std::string& fullName, bool anySection)
{
    int found = 0;
    ForEachKey(text, [&](const std::string& section, const std::string& key, int line) {
        if ((section.empty() ? key : section + "." + key) == fullName || (anySection && key == fullName)) {
            found = line;
        }
        return found != 0;
    });
    return found;
}
