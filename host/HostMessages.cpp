#include "host/HostMessages.h"

#include "host/Session.h"
#include "platform/core/Cp1252.h"
#include "platform/core/ResourceTable.h"

#include <map>

namespace {

using Table = std::map<std::string, std::string>;

Table Load(const char* resource)
{
    Table table;
    auto bytes = ResourceTable::Find(resource);
    if (!bytes) {
        return table;
    }
    std::string text(*bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        auto bar = line.find('|');
        if (bar != std::string::npos && bar > 0) {
            table.emplace(line.substr(0, bar), Cp1252::FromUtf8(line.substr(bar + 1)));
        }
    }
    return table;
}

const Table& Portuguese()
{
    static const Table table = Load("Mensagens.txt");
    return table;
}

const Table& EnglishTable()
{
    static const Table table = Load("Mensagens.en.txt");
    return table;
}

const Table& Current()
{
    return HostMessages::English() ? EnglishTable() : Portuguese();
}

} // namespace

bool HostMessages::English()
{
    const std::string& language = Session::Current().Language();
    return language.size() >= 2 && (language[0] == 'e' || language[0] == 'E') &&
           (language[1] == 'n' || language[1] == 'N');
}

bool HostMessages::Has(const std::string& key)
{
    return Current().count(key) != 0;
}

std::string HostMessages::Text(const std::string& key, const std::vector<std::string>& args)
{
    const Table& table = Current();
    auto found = table.find(key);
    if (found == table.end()) {
        std::string text = key;
        for (const auto& a : args) {
            text += " " + a;
        }
        return text;
    }
    const std::string& pattern = found->second;
    std::string text;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            size_t n = static_cast<size_t>(pattern[i + 1] - '1');
            text += n < args.size() ? args[n] : std::string();
            ++i;
            continue;
        }
        text += pattern[i];
    }
    return text;
}
