#pragma once
// Splits the UTF-8 text of a form resource into tokens. The whole text is
// converted to Windows-1252 first, so every character of a string value has
// its run-time form; a character with no Windows-1252 form, or bytes that are
// not UTF-8, are refused with EResourceError at that character's line and
// column. A UTF-8 byte order mark at the start is skipped.
//
// Strings: 'text' with '' for a quote, and #nnn (a Unicode code point in
// decimal, or #$hh in hexadecimal) for one character; parts written without a
// gap form one string ('a'#13#10'b'). "//" starts a comment up to the end of
// the line.
#include "platform/forms/FormToken.h"

#include <string>
#include <string_view>
#include <vector>

class FormLexer {
public:
    FormLexer(std::string_view utf8, std::string fileName);

    // All tokens, ending with one EndOfFile token. Throws EResourceError.
    std::vector<FormToken> Tokenize();

    const std::string& FileName() const { return fileName_; }

private:
    void ConvertToCp1252(std::string_view utf8);
    FormToken Next();
    void SkipBlanks();
    char Peek(size_t ahead = 0) const;
    char Advance();
    [[noreturn]] void Fail(FormPosition at, const std::string& what) const;
    FormToken LexIdentifier();
    FormToken LexNumber();
    FormToken LexString();
    FormToken LexBinary();
    char LexCharCode();

    std::string fileName_;
    std::string text_; // Windows-1252, one byte per character
    size_t pos_ = 0;
    FormPosition at_;
};
