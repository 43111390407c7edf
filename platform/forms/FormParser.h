#pragma once
// Recursive-descent parser of form resources:
//
//   resource   := block EOF
//   block      := ("object" | "inherited") name ":" class member* "end"
//   member     := property | block
//   property   := name ("." name)* "=" value
//   value      := integer | string ("+" string)* | name | set | list
//               | collection | binary
//   set        := "[" [name ("," name)*] "]"
//   list       := "(" listValue* ")"           (values of any kind but list)
//   collection := "<" ("item" property* "end")* ">"
//
// Keywords are compared without regard to case. Errors are EResourceError
// with the file, line and column of the offending token.
#include "platform/forms/FormAst.h"

#include <string>
#include <string_view>
#include <vector>

class FormParser {
public:
    // Tokenizes and parses utf8; fileName only labels errors.
    static FormObject Parse(std::string_view utf8, const std::string& fileName);

private:
    FormParser(std::vector<FormToken> tokens, std::string fileName);
    FormObject ParseBlock();
    FormProperty ParseProperty();
    FormValue ParseValue(bool inList);
    FormValue ParseString();
    FormValue ParseSet();
    FormValue ParseList();
    FormValue ParseCollection();

    const FormToken& Peek() const { return tokens_[pos_]; }
    const FormToken& Advance();
    bool PeekKeyword(std::string_view keyword) const;
    bool PeekAnyKeyword() const;
    // An identifier that is not a keyword.
    const FormToken& ExpectName(const char* what);
    const FormToken& Expect(FormTokenKind kind, const char* what);
    [[noreturn]] void Fail(const FormToken& at, const std::string& what) const;

    std::vector<FormToken> tokens_;
    std::string fileName_;
    size_t pos_ = 0;
    int depth_ = 0;
};
