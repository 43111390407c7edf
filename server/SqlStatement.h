#pragma once
// A statement whose parameters are named (":CDFILIAL") rather than counted.
// The text the engines take, with '?' placeholders, and the names in their
// order are worked out once; values are bound by name, so a statement that
// takes one parameter more, or the same one twice, changes no call site.
//
// Names are letters, digits and '_' after a ':' that does not follow another
// ':' (PostgreSQL's casts, "::integer", stay as written). Quoted text is not
// parsed: a statement carries no values in its text.
//
// Failure behaviour: Bind throws std::logic_error naming a parameter the
// values lack; that is a fault of the program, not of the data.
#include "server/Database.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class SqlStatement {
public:
    // Values by parameter name; a name given twice takes its first value.
    using Values = std::vector<std::pair<std::string_view, SqlValue>>;

    explicit SqlStatement(std::string_view named);

    // The text with '?' placeholders, as Database runs it.
    const std::string& Text() const { return text_; }
    // The parameters' names in the order of their placeholders.
    const std::vector<std::string>& Names() const { return names_; }
    std::vector<SqlValue> Bind(const Values& values) const;

    // "INSERT INTO table (a, b) VALUES (:a, :b)": each column takes the
    // parameter of its own name.
    static std::string Insert(const std::string& table, const std::vector<std::string>& columns);

private:
    std::string text_;
    std::vector<std::string> names_;
};
