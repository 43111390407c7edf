#include "platform/forms/FormParser.h"

#include "platform/core/Exception.h"
#include "platform/forms/FormLexer.h"

#include <strings.h>

namespace {

// Deep enough for any real form; stops a hostile resource from exhausting the
// stack.
constexpr int kMaxDepth = 200;

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string Describe(const FormToken& token)
{
    if (token.kind == FormTokenKind::Identifier) {
        return "'" + token.text + "'";
    }
    return FormTokenKindName(token.kind);
}

} // namespace

FormObject FormParser::Parse(std::string_view utf8, const std::string& fileName)
{
    FormLexer lexer(utf8, fileName);
    FormParser parser(lexer.Tokenize(), fileName);
    if (!parser.PeekKeyword("object") && !parser.PeekKeyword("inherited")) {
        parser.Fail(parser.Peek(), "'object' or 'inherited' expected, found " + Describe(parser.Peek()));
    }
    FormObject root = parser.ParseBlock();
    if (parser.Peek().kind != FormTokenKind::EndOfFile) {
        parser.Fail(parser.Peek(), "nothing may follow the form's closing 'end', found " + Describe(parser.Peek()));
    }
    return root;
}

FormParser::FormParser(std::vector<FormToken> tokens, std::string fileName)
    : tokens_(std::move(tokens)), fileName_(std::move(fileName))
{}

const FormToken& FormParser::Advance()
{
    const FormToken& token = tokens_[pos_];
    if (token.kind != FormTokenKind::EndOfFile) {
        ++pos_;
    }
    return token;
}

bool FormParser::PeekKeyword(std::string_view keyword) const
{
    return Peek().kind == FormTokenKind::Identifier && SameText(Peek().text, keyword);
}

const FormToken& FormParser::Expect(FormTokenKind kind, const char* what)
{
    if (Peek().kind != kind) {
        Fail(Peek(), std::string(what) + " expected, found " + Describe(Peek()));
    }
    return Advance();
}

bool FormParser::PeekAnyKeyword() const
{
    return PeekKeyword("object") || PeekKeyword("inherited") || PeekKeyword("end") || PeekKeyword("item");
}

const FormToken& FormParser::ExpectName(const char* what)
{
    if (PeekAnyKeyword()) {
        Fail(Peek(), std::string(what) + " expected, found the keyword '" + Peek().text + "'");
    }
    return Expect(FormTokenKind::Identifier, what);
}

void FormParser::Fail(const FormToken& at, const std::string& what) const
{
    throw EResourceError(fileName_, at.position.line, at.position.column, what);
}

FormObject FormParser::ParseBlock()
{
    if (++depth_ > kMaxDepth) {
        Fail(Peek(), "objects are nested too deeply");
    }
    FormObject block;
    const FormToken& keyword = Advance();
    block.inherited = SameText(keyword.text, "inherited");
    block.position = keyword.position;
    const FormToken& name = ExpectName("component name");
    block.name = name.text;
    block.namePosition = name.position;
    Expect(FormTokenKind::Colon, "':'");
    const FormToken& cls = ExpectName("class name");
    block.className = cls.text;
    block.classPosition = cls.position;
    for (;;) {
        if (PeekKeyword("end")) {
            Advance();
            break;
        }
        if (PeekKeyword("object") || PeekKeyword("inherited")) {
            block.children.push_back(ParseBlock());
        } else if (Peek().kind == FormTokenKind::Identifier) {
            block.properties.push_back(ParseProperty());
        } else if (Peek().kind == FormTokenKind::EndOfFile) {
            Fail(keyword, "'" + block.name + "' is not closed with 'end'");
        } else {
            Fail(Peek(), "property name, 'object' or 'end' expected, found " + Describe(Peek()));
        }
    }
    --depth_;
    return block;
}

FormProperty FormParser::ParseProperty()
{
    FormProperty property;
    const FormToken& first = Advance();
    property.name = first.text;
    property.position = first.position;
    while (Peek().kind == FormTokenKind::Dot) {
        Advance();
        property.name += "." + Expect(FormTokenKind::Identifier, "property name after '.'").text;
    }
    Expect(FormTokenKind::Equals, "'='");
    property.value = ParseValue(false);
    return property;
}

FormValue FormParser::ParseValue(bool inList)
{
    const FormToken& token = Peek();
    FormValue value;
    value.position = token.position;
    switch (token.kind) {
    case FormTokenKind::Integer:
        Advance();
        value.kind = FormValue::Kind::Integer;
        value.integer = token.integer;
        return value;
    case FormTokenKind::String: return ParseString();
    case FormTokenKind::Binary:
        Advance();
        value.kind = FormValue::Kind::Binary;
        value.text = token.text;
        return value;
    case FormTokenKind::Identifier:
        if (PeekAnyKeyword()) {
            Fail(token, "value expected, found the keyword '" + token.text + "'");
        }
        Advance();
        value.kind = FormValue::Kind::Identifier;
        value.text = token.text;
        // A qualified name (a component of another form) reads as one value.
        while (Peek().kind == FormTokenKind::Dot) {
            Advance();
            value.text += "." + Expect(FormTokenKind::Identifier, "name after '.'").text;
        }
        return value;
    case FormTokenKind::LeftBracket: return ParseSet();
    case FormTokenKind::LeftParen:
        if (inList) {
            Fail(token, "a list cannot hold another list");
        }
        return ParseList();
    case FormTokenKind::LeftAngle: return ParseCollection();
    default: Fail(token, "value expected, found " + Describe(token));
    }
}

FormValue FormParser::ParseString()
{
    FormValue value;
    value.kind = FormValue::Kind::String;
    value.position = Peek().position;
    value.text = Advance().text;
    // Long texts are written as pieces joined with '+', often across lines.
    while (Peek().kind == FormTokenKind::Plus) {
        Advance();
        value.text += Expect(FormTokenKind::String, "string after '+'").text;
    }
    return value;
}

FormValue FormParser::ParseSet()
{
    FormValue value;
    value.kind = FormValue::Kind::Set;
    value.position = Advance().position;
    if (Peek().kind == FormTokenKind::RightBracket) {
        Advance();
        return value;
    }
    for (;;) {
        const FormToken& element = Expect(FormTokenKind::Identifier, "set element name");
        FormValue e;
        e.kind = FormValue::Kind::Identifier;
        e.position = element.position;
        e.text = element.text;
        value.elements.push_back(std::move(e));
        if (Peek().kind == FormTokenKind::Comma) {
            Advance();
            continue;
        }
        Expect(FormTokenKind::RightBracket, "',' or ']'");
        return value;
    }
}

FormValue FormParser::ParseList()
{
    FormValue value;
    value.kind = FormValue::Kind::List;
    const FormToken& open = Advance();
    value.position = open.position;
    while (Peek().kind != FormTokenKind::RightParen) {
        // A keyword here means the ')' was forgotten; say so where the list
        // opened rather than at the keyword.
        if (Peek().kind == FormTokenKind::EndOfFile || PeekAnyKeyword()) {
            Fail(open, "list is not closed with ')'");
        }
        value.elements.push_back(ParseValue(true));
    }
    Advance();
    return value;
}

FormValue FormParser::ParseCollection()
{
    FormValue value;
    value.kind = FormValue::Kind::Collection;
    const FormToken& open = Advance();
    value.position = open.position;
    while (Peek().kind != FormTokenKind::RightAngle) {
        if (!PeekKeyword("item")) {
            Fail(Peek(), "'item' or '>' expected, found " + Describe(Peek()));
        }
        FormItem item;
        const FormToken& itemToken = Advance();
        item.position = itemToken.position;
        for (;;) {
            if (PeekKeyword("end")) {
                Advance();
                break;
            }
            if (Peek().kind == FormTokenKind::EndOfFile) {
                Fail(itemToken, "'item' is not closed with 'end'");
            }
            if (Peek().kind != FormTokenKind::Identifier || PeekAnyKeyword()) {
                Fail(Peek(), "property name or 'end' expected, found " + Describe(Peek()));
            }
            item.properties.push_back(ParseProperty());
        }
        value.items.push_back(std::move(item));
    }
    Advance();
    return value;
}
