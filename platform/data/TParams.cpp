#include "platform/data/TParams.h"

#include "platform/core/Exception.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

namespace {

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

} // namespace

TParam* TParams::FindParam(std::string_view name) const
{
    for (const auto& p : items_) {
        if (SameName(p->Name(), name)) {
            return p.get();
        }
    }
    return nullptr;
}

TParam* TParams::ParamByName(std::string_view name) const
{
    TParam* p = FindParam(name);
    if (p == nullptr) {
        throw EDatabaseError("Parameter '" + std::string(name) + "' not found");
    }
    return p;
}

TParam* TParams::CreateParam(TFieldType dataType, const std::string& name)
{
    if (TParam* p = FindParam(name)) {
        p->SetDataType(dataType);
        return p;
    }
    items_.push_back(std::make_unique<TParam>(name, dataType));
    return items_.back().get();
}

TParam* TParams::Add()
{
    items_.push_back(std::make_unique<TParam>());
    return items_.back().get();
}

std::vector<std::string> TParams::NamesInSQL(std::string_view sql)
{
    std::vector<std::string> names;
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            ++i;
            while (i < n && sql[i] != close) {
                ++i;
            }
            ++i;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') {
                ++i;
            }
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? n : end + 2;
        } else if (c == ':' && i + 1 < n && sql[i + 1] == ':') {
            i += 2; // a cast, not a parameter
        } else if (c == ':' && i + 1 < n && IsNameChar(sql[i + 1])) {
            size_t j = i + 1;
            while (j < n && IsNameChar(sql[j])) {
                ++j;
            }
            std::string name(sql.substr(i + 1, j - i - 1));
            if (std::none_of(names.begin(), names.end(), [&](const std::string& s) { return SameName(s, name); })) {
                names.push_back(std::move(name));
            }
            i = j;
        } else {
            ++i;
        }
    }
    return names;
}

void TParams::ParseSQL(std::string_view sql)
{
    std::vector<std::unique_ptr<TParam>> next;
    for (const std::string& name : NamesInSQL(sql)) {
        auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& p) { return SameName(p->Name(), name); });
        if (it != items_.end()) {
            next.push_back(std::move(*it));
            items_.erase(it);
        } else {
            next.push_back(std::make_unique<TParam>(name, TFieldType::ftString));
        }
    }
    items_ = std::move(next);
}
