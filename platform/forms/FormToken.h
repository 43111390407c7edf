#pragma once
// One token of a form resource, with the place where it starts. Lines and
// columns count from 1; a column counts characters, not bytes.
#include <cstdint>
#include <string>

struct FormPosition {
    int line = 1;
    int column = 1;
};

enum class FormTokenKind {
    Identifier, // letters, digits and underscores, not starting with a digit
    Integer,    // decimal, optionally negative, or hexadecimal after '$'
    String,     // quoted parts and #nnn codes written without a gap, decoded
    Binary,     // { hex digits }, decoded to bytes
    Equals,
    Colon,
    Dot,
    Comma,
    Plus,
    LeftBracket,
    RightBracket,
    LeftParen,
    RightParen,
    LeftAngle,
    RightAngle,
    EndOfFile,
};

struct FormToken {
    FormTokenKind kind = FormTokenKind::EndOfFile;
    FormPosition position;
    // Identifier: as written; String, Binary: decoded Windows-1252 text or bytes.
    std::string text;
    std::int64_t integer = 0;
};

// How a token kind is named in error messages.
const char* FormTokenKindName(FormTokenKind kind);
