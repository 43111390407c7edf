#include "platform/forms/FormLexer.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <array>
#include <cstdio>
#include <optional>
#include <unordered_map>

namespace {

// Decodes one UTF-8 sequence at text[pos]; returns the code point and its byte
// length, or nullopt for a malformed sequence (overlong forms and surrogates
// included).
std::optional<std::pair<char32_t, size_t>> DecodeUtf8(std::string_view text, size_t pos)
{
    auto b0 = static_cast<unsigned char>(text[pos]);
    size_t length = 0;
    char32_t cp = 0;
    if (b0 < 0x80) {
        return std::pair<char32_t, size_t>(b0, 1);
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
    } else {
        return std::nullopt;
    }
    if (pos + length > text.size()) {
        return std::nullopt;
    }
    for (size_t i = 1; i < length; ++i) {
        auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    return std::pair<char32_t, size_t>(cp, length);
}

// The Windows-1252 byte of a code point, taken from the platform's own
// conversion so that both agree on every character.
std::optional<char> ToCp1252(char32_t cp)
{
    if (cp < 0x80) {
        return static_cast<char>(cp);
    }
    static const std::unordered_map<char32_t, char> table = [] {
        std::unordered_map<char32_t, char> t;
        for (int b = 0x80; b <= 0xFF; ++b) {
            std::string utf8;
            try {
                utf8 = Cp1252::ToUtf8(std::string(1, static_cast<char>(b)));
            } catch (const EConvertError&) {
                continue; // one of the bytes Windows-1252 leaves undefined
            }
            if (auto decoded = DecodeUtf8(utf8, 0)) {
                t.emplace(decoded->first, static_cast<char>(b));
            }
        }
        return t;
    }();
    auto it = table.find(cp);
    if (it == table.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string CodePointName(char32_t cp)
{
    std::array<char, 16> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "U+%04X", static_cast<unsigned>(cp));
    return buffer.data();
}

bool IsIdentStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

const char* FormTokenKindName(FormTokenKind kind)
{
    switch (kind) {
    case FormTokenKind::Identifier: return "a name";
    case FormTokenKind::Integer: return "an integer";
    case FormTokenKind::String: return "a string";
    case FormTokenKind::Binary: return "binary data";
    case FormTokenKind::Equals: return "'='";
    case FormTokenKind::Colon: return "':'";
    case FormTokenKind::Dot: return "'.'";
    case FormTokenKind::Comma: return "','";
    case FormTokenKind::Plus: return "'+'";
    case FormTokenKind::LeftBracket: return "'['";
    case FormTokenKind::RightBracket: return "']'";
    case FormTokenKind::LeftParen: return "'('";
    case FormTokenKind::RightParen: return "')'";
    case FormTokenKind::LeftAngle: return "'<'";
    case FormTokenKind::RightAngle: return "'>'";
    case FormTokenKind::EndOfFile: return "the end of the text";
    }
    return "a token";
}

FormLexer::FormLexer(std::string_view utf8, std::string fileName) : fileName_(std::move(fileName))
{
    ConvertToCp1252(utf8);
}

void FormLexer::ConvertToCp1252(std::string_view utf8)
{
    size_t pos = 0;
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") {
        pos = 3;
    }
    text_.reserve(utf8.size());
    FormPosition at;
    while (pos < utf8.size()) {
        auto decoded = DecodeUtf8(utf8, pos);
        if (!decoded) {
            Fail(at, "the text is not valid UTF-8");
        }
        auto [cp, length] = *decoded;
        auto c = ToCp1252(cp);
        if (!c) {
            Fail(at, "character " + CodePointName(cp) + " has no Windows-1252 form");
        }
        text_ += *c;
        pos += length;
        if (cp == '\n') {
            ++at.line;
            at.column = 1;
        } else {
            ++at.column;
        }
    }
}

void FormLexer::Fail(FormPosition at, const std::string& what) const
{
    throw EResourceError(fileName_, at.line, at.column, what);
}

char FormLexer::Peek(size_t ahead) const
{
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
}

char FormLexer::Advance()
{
    char c = text_[pos_++];
    if (c == '\n') {
        ++at_.line;
        at_.column = 1;
    } else {
        ++at_.column;
    }
    return c;
}

void FormLexer::SkipBlanks()
{
    while (pos_ < text_.size()) {
        char c = Peek();
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            Advance();
        } else if (c == '/' && Peek(1) == '/') {
            while (pos_ < text_.size() && Peek() != '\n') {
                Advance();
            }
        } else {
            break;
        }
    }
}

std::vector<FormToken> FormLexer::Tokenize()
{
    pos_ = 0;
    at_ = FormPosition{};
    std::vector<FormToken> tokens;
    for (;;) {
        tokens.push_back(Next());
        if (tokens.back().kind == FormTokenKind::EndOfFile) {
            return tokens;
        }
    }
}

FormToken FormLexer::Next()
{
    SkipBlanks();
    FormToken token;
    token.position = at_;
    if (pos_ >= text_.size()) {
        token.kind = FormTokenKind::EndOfFile;
        return token;
    }
    char c = Peek();
    if (IsIdentStart(c)) {
        return LexIdentifier();
    }
    if (IsDigit(c) || c == '$' || (c == '-' && (IsDigit(Peek(1)) || Peek(1) == '$'))) {
        return LexNumber();
    }
    if (c == '\'' || c == '#') {
        return LexString();
    }
    if (c == '{') {
        return LexBinary();
    }
    static constexpr std::pair<char, FormTokenKind> punctuation[] = {
        {'=', FormTokenKind::Equals},       {':', FormTokenKind::Colon},      {'.', FormTokenKind::Dot},
        {',', FormTokenKind::Comma},        {'+', FormTokenKind::Plus},       {'[', FormTokenKind::LeftBracket},
        {']', FormTokenKind::RightBracket}, {'(', FormTokenKind::LeftParen},  {')', FormTokenKind::RightParen},
        {'<', FormTokenKind::LeftAngle},    {'>', FormTokenKind::RightAngle},
    };
    for (auto [ch, kind] : punctuation) {
        if (c == ch) {
            Advance();
            token.kind = kind;
            return token;
        }
    }
    auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) {
        Fail(at_, std::string("unexpected character '") + c + "'");
    }
    Fail(at_, "unexpected control character " + std::to_string(u));
}

FormToken FormLexer::LexIdentifier()
{
    FormToken token;
    token.kind = FormTokenKind::Identifier;
    token.position = at_;
    while (IsIdentStart(Peek()) || IsDigit(Peek())) {
        token.text += Advance();
    }
    return token;
}

FormToken FormLexer::LexNumber()
{
    FormToken token;
    token.kind = FormTokenKind::Integer;
    token.position = at_;
    bool negative = false;
    if (Peek() == '-') {
        negative = true;
        Advance();
    }
    // Magnitudes are kept up to 2^63 so that the most negative 64-bit value
    // still reads; anything larger cannot fit any property.
    constexpr std::uint64_t limit = std::uint64_t(1) << 63;
    std::uint64_t magnitude = 0;
    bool tooLarge = false;
    int digits = 0;
    if (Peek() == '$') {
        Advance();
        for (int v = HexValue(Peek()); v >= 0; v = HexValue(Peek())) {
            Advance();
            ++digits;
            if (magnitude > (limit - static_cast<std::uint64_t>(v)) / 16) {
                tooLarge = true;
            } else {
                magnitude = magnitude * 16 + static_cast<std::uint64_t>(v);
            }
        }
    } else {
        while (IsDigit(Peek())) {
            int v = Advance() - '0';
            ++digits;
            if (magnitude > (limit - static_cast<std::uint64_t>(v)) / 10) {
                tooLarge = true;
            } else {
                magnitude = magnitude * 10 + static_cast<std::uint64_t>(v);
            }
        }
    }
    if (digits == 0) {
        Fail(at_, "digits expected");
    }
    if (IsIdentStart(Peek()) || Peek() == '.') {
        Fail(at_, "a number must end with a digit (decimals are not supported)");
    }
    if (tooLarge || (!negative && magnitude == limit)) {
        Fail(token.position, "number is too large");
    }
    token.integer = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return token;
}

char FormLexer::LexCharCode()
{
    FormPosition start = at_;
    Advance(); // '#'
    std::uint32_t cp = 0;
    int digits = 0;
    if (Peek() == '$') {
        Advance();
        for (int v = HexValue(Peek()); v >= 0; v = HexValue(Peek())) {
            Advance();
            if (cp <= 0x10FFFF) {
                cp = cp * 16 + static_cast<std::uint32_t>(v);
            }
            ++digits;
        }
    } else {
        while (IsDigit(Peek())) {
            auto v = static_cast<std::uint32_t>(Advance() - '0');
            if (cp <= 0x10FFFF) {
                cp = cp * 10 + v;
            }
            ++digits;
        }
    }
    if (digits == 0) {
        Fail(start, "'#' must be followed by a character code");
    }
    if (cp > 0x10FFFF) {
        Fail(start, "character code is beyond Unicode");
    }
    auto c = ToCp1252(cp);
    if (!c) {
        Fail(start, "character " + CodePointName(cp) + " has no Windows-1252 form");
    }
    return *c;
}

FormToken FormLexer::LexString()
{
    FormToken token;
    token.kind = FormTokenKind::String;
    token.position = at_;
    for (;;) {
        if (Peek() == '#') {
            token.text += LexCharCode();
        } else if (Peek() == '\'') {
            FormPosition start = at_;
            Advance();
            for (;;) {
                if (pos_ >= text_.size() || Peek() == '\n' || Peek() == '\r') {
                    Fail(start, "string is not closed on its line");
                }
                char c = Advance();
                if (c == '\'') {
                    if (Peek() == '\'') {
                        Advance();
                        token.text += '\'';
                    } else {
                        break;
                    }
                } else {
                    token.text += c;
                }
            }
        } else {
            return token;
        }
    }
}

FormToken FormLexer::LexBinary()
{
    FormToken token;
    token.kind = FormTokenKind::Binary;
    token.position = at_;
    Advance(); // '{'
    int high = -1;
    FormPosition highAt;
    for (;;) {
        if (pos_ >= text_.size()) {
            Fail(token.position, "binary data is not closed with '}'");
        }
        char c = Peek();
        if (c == '}') {
            if (high >= 0) {
                Fail(highAt, "binary data has an odd number of hex digits");
            }
            Advance();
            return token;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            Advance();
            continue;
        }
        int v = HexValue(c);
        if (v < 0) {
            Fail(at_, std::string("'") + c + "' is not a hex digit; binary data opened on line " +
                          std::to_string(token.position.line) + " must close with '}'");
        }
        if (high < 0) {
            high = v;
            highAt = at_;
        } else {
            token.text += static_cast<char>(high * 16 + v);
            high = -1;
        }
        Advance();
    }
}
