#include "host/TMessages.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/model/ClassRegistration.h"

namespace {

const ClassRegistration<TMessages> messagesClass("TMessages", "TComponent", [](ClassBuilder<TMessages>& c) {
    c.RegisterStringListProperty("Lines.Strings", &TMessages::Lines, &TMessages::SetLines);
});

std::string KeyOf(std::string_view key)
{
    std::size_t b = 0;
    std::size_t e = key.size();
    while (b < e && (key[b] == ' ' || key[b] == '\t')) {
        ++b;
    }
    while (e > b && (key[e - 1] == ' ' || key[e - 1] == '\t')) {
        --e;
    }
    return Cp1252::UpperCase(key.substr(b, e - b));
}

} // namespace

TMessages::TMessages(TComponent* AOwner) : TComponent(AOwner) {}

void TMessages::SetLines(std::vector<std::string> value)
{
    std::unordered_map<std::string, std::string> index;
    for (const auto& line : value) {
        auto bar = line.find('|');
        if (bar == std::string::npos) {
            continue;
        }
        std::string key = KeyOf(std::string_view(line).substr(0, bar));
        if (key.empty()) {
            continue;
        }
        index.emplace(std::move(key), line.substr(bar + 1));
    }
    lines_ = std::move(value);
    index_ = std::move(index);
    NotifyChanged();
}

bool TMessages::HasMsg(const std::string& key) const
{
    return index_.count(KeyOf(key)) != 0;
}

std::string TMessages::Msg(const std::string& key) const
{
    auto it = index_.find(KeyOf(key));
    if (it == index_.end()) {
        std::string table = Name().empty() ? std::string("the message table") : "message table '" + Name() + "'";
        throw EInvalidOperation("Message '" + key + "' not found in " + table);
    }
    return it->second;
}

std::string TMessages::Msg(const std::string& key, const std::vector<std::string>& args) const
{
    const std::string text = Msg(key);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '%' && next >= '1' && next <= '9' && static_cast<size_t>(next - '1') < args.size()) {
            out += args[static_cast<size_t>(next - '1')];
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}
