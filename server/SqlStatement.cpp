#include "server/SqlStatement.h"

#include <stdexcept>

namespace {
bool NameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}
} // namespace

SqlStatement::SqlStatement(std::string_view named)
{
    text_.reserve(named.size());
    for (size_t i = 0; i < named.size(); ++i) {
        const char c = named[i];
        const bool starts =
            c == ':' && i + 1 < named.size() && NameChar(named[i + 1]) && (i == 0 || named[i - 1] != ':');
        if (!starts) {
            text_ += c;
            continue;
        }
        size_t end = i + 1;
        while (end < named.size() && NameChar(named[end])) {
            ++end;
        }
        names_.emplace_back(named.substr(i + 1, end - i - 1));
        text_ += '?';
        i = end - 1;
    }
}

std::vector<SqlValue> SqlStatement::Bind(const Values& values) const
{
    std::vector<SqlValue> bound;
    bound.reserve(names_.size());
    for (const std::string& name : names_) {
        auto found = values.begin();
        while (found != values.end() && found->first != name) {
            ++found;
        }
        if (found == values.end()) {
            throw std::logic_error("no value for the statement's parameter :" + name + " in " + text_);
        }
        bound.push_back(found->second);
    }
    return bound;
}

std::string SqlStatement::Insert(const std::string& table, const std::vector<std::string>& columns)
{
    std::string names;
    std::string params;
    for (const std::string& column : columns) {
        names += (names.empty() ? "" : ", ") + column;
        params += (params.empty() ? ":" : ", :") + column;
    }
    return "INSERT INTO " + table + " (" + names + ") VALUES (" + params + ")";
}
