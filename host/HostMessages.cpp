#include "host/HostMessages.h"

#include "host/Session.h"
#include "platform/core/Cp1252.h"
#include "platform/core/ResourceTable.h"

#include <cctype>
#include <map>
#include <mutex>

namespace {

using Table = std::map<std::string, std::string>;

Table Load(const std::string& resource)
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
        if (line.empty() || line[0] == '#') {
            continue;
        }
        auto bar = line.find('|');
        if (bar != std::string::npos && bar > 0) {
            table.emplace(line.substr(0, bar), Cp1252::FromUtf8(line.substr(bar + 1)));
        }
    }
    return table;
}

// The translated languages' codes, from the build's list of languages.
std::vector<std::string> Codes()
{
    std::vector<std::string> codes;
    std::string list = SERVCLIENTE_TRANSLATED_LANGUAGES;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        if (end > start) {
            codes.push_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return codes;
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

const Table& Current()
{
    static std::mutex mutex;
    static std::map<std::string, Table> tables;
    std::string code = HostMessages::Language();
    std::lock_guard<std::mutex> lock(mutex);
    auto found = tables.find(code);
    if (found == tables.end()) {
        found = tables.emplace(code, Load(code.empty() ? "Mensagens.txt" : ("Mensagens." + code + ".txt"))).first;
    }
    return found->second;
}

} // namespace

std::string HostMessages::Language()
{
    static const std::vector<std::string> codes = Codes();
    const std::string& language = Session::Current().Language();
    std::string chosen;
    for (const auto& code : codes) {
        if (code.size() > chosen.size() && StartsWithIgnoringCase(language, code)) {
            chosen = code;
        }
    }
    return chosen;
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
